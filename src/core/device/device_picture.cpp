#include "device_picture.h"

#include "app/file_descriptor.h"
#include "app/polish_count.h"
#include "app/polish_format.h"
#include "device/device_space.h"
#include "media/gif_reader.h"

#include <QFile>

#include <algorithm>
#include <array>
#include <cerrno>
#include <fcntl.h>
#include <sys/stat.h>
#include <unistd.h>

namespace tovi {

namespace {

using Kind = DevicePicture::Kind;

// A file read front to back through one buffer: a GIF is walked a sub-block at a time, and a
// seek per block would cost a system call for every 255 bytes.
class Input final : public GifReader::Input {
public:
    explicit Input(int fd)
        : m_fd(fd) {}
    // The next byte, or -1 at the end or on a read error.
    int byte() override {
        if (m_at == m_end && !fill())
            return -1;
        return static_cast<unsigned char>(m_buffer[size_t(m_at++)]);
    }
    int word() { // little-endian, as GIF has it
        const int low = byte(), high = byte();
        return low < 0 || high < 0 ? -1 : low | high << 8;
    }
    int bigWord() { // big-endian, as JPEG has it
        const int high = byte(), low = byte();
        return low < 0 || high < 0 ? -1 : high << 8 | low;
    }
    bool skip(qint64 count) override {
        while (count > 0) {
            if (m_at == m_end && !fill())
                return false;
            const qint64 step = std::min(count, m_end - m_at);
            m_at += step;
            count -= step;
        }
        return true;
    }
    qint64 offset() const override { return m_before + m_at; }
    // Back to the first byte: still in the buffer, unless a short read left it behind.
    void rewind() {
        if (m_before > 0 && ::lseek(m_fd, 0, SEEK_SET) == 0)
            m_before = m_end = 0;
        if (m_before == 0)
            m_at = 0;
    }

private:
    bool fill() {
        m_before += m_end;
        ssize_t got = 0;
        do
            got = ::read(m_fd, m_buffer.data(), m_buffer.size());
        while (got < 0 && errno == EINTR);
        m_at = 0;
        m_end = std::max<ssize_t>(got, 0);
        return got > 0;
    }

    int m_fd;
    std::array<char, 65536> m_buffer;
    qint64 m_at = 0, m_end = 0;
    qint64 m_before = 0; // bytes of the file before the buffer's
};

// Blocks only, no pixel beyond each frame's first: the import's reader, so a file is listed as
// it imports; the device wants the trailer too.
void readGif(Input& in, DevicePicture& picture) {
    picture.kind = Kind::broken;
    const auto gif = GifReader::walk(in, GifReader::Strictness::lenient);
    if (!gif || !gif->whole)
        return;
    long long centiseconds = 0; // summed as the file counts them, so that the sum is exact
    for (const GifReader::Frame& frame : gif->frames)
        centiseconds += frame.centiseconds();
    picture.size = gif->canvas;
    picture.frames = int(gif->frames.size());
    picture.seconds = double(centiseconds) / 100.0;
    picture.lastSeconds = gif->frames.back().delay();
    picture.kind = Kind::gif;
}

bool endsWithEndOfImage(int fd, qint64 bytes) {
    // The end-of-image marker cannot appear inside the compressed data, so a file cut off
    // lacks it; a little trailing padding after it is tolerated.
    std::array<char, 1024> tail;
    const qint64 from = std::max<qint64>(0, bytes - qint64(tail.size()));
    const ssize_t got = ::pread(fd, tail.data(), tail.size(), from);
    for (ssize_t i = 0; i + 1 < got; ++i)
        if (tail[size_t(i)] == '\xFF' && tail[size_t(i) + 1] == '\xD9')
            return true;
    return false;
}

void readJpeg(Input& in, int fd, DevicePicture& picture) {
    picture.kind = Kind::broken;
    // The start-of-image marker and the 0xFF of the next one are read.
    for (bool lead = true;; lead = false) {
        if (!lead && in.byte() != 0xFF)
            return;
        int marker = in.byte();
        while (marker == 0xFF) // fill bytes
            marker = in.byte();
        if (marker == 0x01 || (marker >= 0xD0 && marker <= 0xD7))
            continue; // markers without a segment
        if (marker < 0 || marker == 0xD8 || marker == 0xD9 || marker == 0xDA)
            return; // the image ends or its data starts before any frame header
        const int length = in.bigWord();
        if (length < 2)
            return;
        // Start of frame in any coding (C4, C8 and CC are tables and a reserved marker).
        if (marker >= 0xC0 && marker <= 0xCF && marker != 0xC4 && marker != 0xC8 &&
            marker != 0xCC) {
            const int precision = in.byte(), height = in.bigWord(), width = in.bigWord();
            if (precision < 0 || height <= 0 || width <= 0 ||
                !endsWithEndOfImage(fd, picture.bytes))
                return;
            picture.size = QSize(width, height);
            picture.frames = 1;
            picture.kind = Kind::jpeg;
            return;
        }
        if (!in.skip(length - 2))
            return;
    }
}

} // namespace

DevicePicture DevicePicture::read(const QString& path) {
    DevicePicture picture;
    picture.name = path.mid(path.lastIndexOf(QLatin1Char('/')) + 1);
    const FileDescriptor fd(
        ::open(QFile::encodeName(path).constData(), O_RDONLY | O_CLOEXEC | O_NOFOLLOW));
    if (!fd.valid())
        return picture;
    struct stat info {};
    if (::fstat(fd.get(), &info) != 0 || !S_ISREG(info.st_mode))
        return picture;
    picture.bytes = info.st_size;
    Input in(fd.get());
    const int first = in.byte(), second = in.byte(), third = in.byte();
    if (first == 'G' && second == 'I' && third == 'F') {
        in.rewind(); // the reader starts at the signature
        readGif(in, picture);
    } else if (first == 0xFF && second == 0xD8 && third == 0xFF) {
        readJpeg(in, fd.get(), picture);
    }
    if (!picture.showable()) { // what a broken file seemed to hold means nothing
        picture.frames = 0;
        picture.seconds = 0;
        picture.size = {};
    }
    return picture;
}

QString DevicePicture::kindText(Kind kind) {
    switch (kind) {
    case Kind::gif:
        return QStringLiteral("GIF");
    case Kind::jpeg:
        return QStringLiteral("JPEG");
    case Kind::unsupported:
        return QStringLiteral("nieobsługiwany");
    case Kind::broken:
        return QStringLiteral("uszkodzony");
    case Kind::missing:
        return QStringLiteral("brak");
    }
    return {};
}

QStringList DevicePicture::fields(Listing listing) const {
    QStringList parts{kindText(kind)};
    if (showable()) {
        parts.first() += QStringLiteral(" %1×%2").arg(size.width()).arg(size.height());
        if (listing == Listing::command) {
            parts << PolishCount::frames(frames);
            if (kind == Kind::gif)
                parts << PolishFormat::listedSeconds(seconds);
        } else if (kind == Kind::gif) {
            // A last picture held for a minute or more is a still end, not part of the motion.
            const bool holds = frames > 1 && lastSeconds >= 60;
            parts << PolishCount::frames(frames)
                  << PolishFormat::shownSeconds(holds ? seconds - lastSeconds : seconds) +
                         (holds ? QStringLiteral(", potem stoi") : QString());
        }
    }
    if (kind != Kind::missing)
        parts << DeviceSpace::fileSize(bytes);
    return parts;
}

} // namespace tovi
