#include "app/atomic_write.h"
#include "device/album_removal.h"
#include "device/album_writer.h"
#include "device/device_picture.h"
#include "device/device_space.h"
#include "device/device_space_error.h"
#include "device/game_backup.h"
#include "device/removal_error.h"
#include "support/cli_runner.h"
#include "support/device_fixtures.h"
#include "support/fat_volume.h"
#include "support/gif_builder.h"

#include <QBuffer>
#include <QDir>
#include <QFile>
#include <QFileInfo>
#include <QImage>
#include <QJsonArray>
#include <QJsonDocument>
#include <QJsonObject>
#include <QProcess>
#include <QRegularExpression>
#include <QTemporaryDir>
#include <QThread>
#include <atomic>
#include <cerrno>
#include <cstring>
#include <gtest/gtest.h>
#include <sys/mount.h>
#include <thread>

using namespace tovi;
using namespace tovi::test;
using Kind = DevicePicture::Kind;

namespace {

QByteArray jpeg(QSize size) {
    QImage image(size, QImage::Format_RGB32);
    image.fill(Qt::darkCyan);
    QByteArray bytes;
    QBuffer buffer(&bytes);
    buffer.open(QIODevice::WriteOnly);
    image.save(&buffer, "JPEG");
    return bytes;
}

class OnTheTovi : public ::testing::Test {
protected:
    void SetUp() override {
        if (const QString why = FatVolume::unavailable(); !why.isEmpty())
            GTEST_SKIP() << why.toStdString();
        ASSERT_TRUE(m_volume.error().isEmpty()) << m_volume.error().toStdString();
        makeDevice(m_volume.root());
    }
    QString root() const { return m_volume.root(); }
    QString on(const QString& path) const { return root() + QLatin1Char('/') + path; }
    // Takes `name` off the Tovi, keeping its verified copy.
    AlbumRemoval::Removed take(const QString& album, const QString& name,
                               const AlbumRemoval::Observer& observe = {}) const {
        return AlbumRemoval::remove(root(), album, name, kept(), observe);
    }
    QString kept() const { return m_local.filePath(QStringLiteral("Usunięte z Tovi")); }
    QTemporaryDir m_local;
    FatVolume m_volume{4096};
};

// Pulls the device out: new calls find no folder, and a call under way ends as the driver answers.
void pull(FatVolume& volume) {
    QProcess::execute(QStringLiteral("fusermount"),
                      {QStringLiteral("-u"), QStringLiteral("-z"), volume.root()});
}

// Plugs it in again once the driver of the pulled mount has written everything and ended.
bool plugIn(FatVolume& volume, const QString& at) {
    for (int waited = 0; volume.freeze(false); waited += 50) {
        if (waited > 10000)
            return false;
        QThread::msleep(50);
    }
    return volume.mount(at);
}

// A tmpfs of `kilobytes`: a driver in the kernel, which answers a full volume with ENOSPC as the
// kernel's FAT driver does (fusefat says EPERM). Mounting it needs root.
class KernelVolume {
public:
    explicit KernelVolume(int kilobytes) {
        const QByteArray size = "size=" + QByteArray::number(kilobytes) + 'k';
        if (::mount("tovi", QFile::encodeName(m_dir.path()).constData(), "tmpfs",
                    MS_NOSUID | MS_NODEV, size.constData()) != 0)
            m_error = QString::fromLocal8Bit(std::strerror(errno));
    }
    ~KernelVolume() {
        if (m_error.isEmpty())
            ::umount2(QFile::encodeName(m_dir.path()).constData(), MNT_DETACH);
    }
    KernelVolume(const KernelVolume&) = delete;
    KernelVolume& operator=(const KernelVolume&) = delete;
    const QString& error() const { return m_error; }
    QString root() const { return m_dir.path(); }

private:
    QTemporaryDir m_dir;
    QString m_error;
};

} // namespace

TEST(DevicePicture, TellsByContentWhatTheToviCanShow) {
    const std::vector<QRgb> palette{qRgb(0, 0, 0), qRgb(255, 0, 0)};
    GifFrameSpec uncontrolled = solidFrame({0, 0, 8, 8}, 1);
    uncontrolled.control = false;
    uncontrolled.localPalette = palette;
    const QByteArray gif =
        buildGif({8, 6}, palette,
                 {solidFrame({0, 0, 8, 6}, 0, 0), solidFrame({2, 2, 4, 4}, 1, 250), uncontrolled});
    const QByteArray photo = jpeg({300, 200});
    const struct {
        const char* name;
        QByteArray bytes;
        Kind kind;
        QSize size;
        int frames;
        double seconds;
    } cases[] = {
        // Delays of 0 count as 0.02 s and a missing control as 0.1 s, as every reader plays them.
        {"delays.gif", gif, Kind::gif, {8, 6}, 3, 2.62},
        {"card.jpg", photo, Kind::jpeg, {300, 200}, 1, 0},
        {"named-as-jpeg.jpg", gif, Kind::gif, {8, 6}, 3, 2.62},
        {"no-trailer.gif", gif.chopped(1), Kind::broken, {}, 0, 0},
        {"cut.gif", gif.left(gif.size() / 2), Kind::broken, {}, 0, 0},
        {"header.gif", gif.left(13), Kind::broken, {}, 0, 0},
        {"cut.jpg", photo.left(photo.size() / 2), Kind::broken, {}, 0, 0},
        {"headers-only.jpg", photo.left(20), Kind::broken, {}, 0, 0},
        {"picture.png", QByteArray::fromHex("89504e470d0a1a0a"), Kind::unsupported, {}, 0, 0},
        {"notes.txt", "hello", Kind::unsupported, {}, 0, 0},
        {"empty.gif", "", Kind::unsupported, {}, 0, 0},
    };
    QTemporaryDir dir;
    for (const auto& test : cases) {
        const QString path = dir.filePath(QString::fromLatin1(test.name));
        writeFile(path, test.bytes);
        const DevicePicture picture = DevicePicture::read(path);
        SCOPED_TRACE(test.name);
        EXPECT_EQ(picture.name, QString::fromLatin1(test.name));
        EXPECT_EQ(picture.kind, test.kind);
        EXPECT_EQ(picture.bytes, test.bytes.size());
        EXPECT_EQ(picture.size, test.size);
        EXPECT_EQ(picture.frames, test.frames);
        EXPECT_DOUBLE_EQ(picture.seconds, test.seconds);
    }
    EXPECT_DOUBLE_EQ(DevicePicture::read(dir.filePath("delays.gif")).lastSeconds, 0.1);
    EXPECT_EQ(DevicePicture::read(dir.path()).kind, Kind::unsupported);
}

// The one line after a picture's name, as "Na Tovi" and `tovi ls` give it: only the window says
// that a card holding its last picture for a minute or more stands still after its motion.
TEST(DevicePicture, IsDescribedOnOneLineForTheWindowAndTheCommand) {
    using Listing = DevicePicture::Listing;
    const auto line = [](const DevicePicture& picture, Listing listing) {
        return picture.fields(listing).join(QLatin1Char('|'));
    };
    const QString size = DeviceSpace::fileSize(3000);
    const DevicePicture moving{QStringLiteral("a.gif"), Kind::gif, 3000, {240, 240}, 24, 2.4, 0.1};
    EXPECT_EQ(line(moving, Listing::window), "GIF 240×240|24 klatki|2,4 s|" + size);
    EXPECT_EQ(line(moving, Listing::command), "GIF 240×240|24 klatki|2,40 s|" + size);
    const DevicePicture held{QStringLiteral("1.gif"), Kind::gif, 3000, {240, 240}, 3, 600.2, 600};
    EXPECT_EQ(line(held, Listing::window), "GIF 240×240|3 klatki|0,2 s, potem stoi|" + size);
    EXPECT_EQ(line(held, Listing::command), "GIF 240×240|3 klatki|600,20 s|" + size);
    const DevicePicture still{QStringLiteral("s.gif"), Kind::gif, 3000, {240, 240}, 1, 60, 60};
    EXPECT_EQ(line(still, Listing::window), "GIF 240×240|1 klatka|60,0 s|" + size);
    const DevicePicture photo{QStringLiteral("p.jpg"), Kind::jpeg, 3000, {300, 200}, 1, 0, 0};
    EXPECT_EQ(line(photo, Listing::window), "JPEG 300×200|" + size);
    EXPECT_EQ(line(photo, Listing::command), "JPEG 300×200|1 klatka|" + size);
    const DevicePicture notes{QStringLiteral("n.txt"), Kind::unsupported, 3000, {}, 0, 0, 0};
    EXPECT_EQ(line(notes, Listing::window), "nieobsługiwany|" + size);
    const DevicePicture missing{QStringLiteral("6.gif"), Kind::missing, 0, {}, 0, 0, 0};
    EXPECT_EQ(line(missing, Listing::command), QStringLiteral("brak"));
}

TEST_F(OnTheTovi, ListsRemovesAndPutsBackLeavingTheAlbumsAsTheyWere) {
    const QByteArray card = makeGif(3, {240, 240}, 4);
    writeFile(on("Photo1/tovi-1.gif"), card);
    writeFile(on("Photo1/10.jpg"), jpeg({240, 240}));
    writeFile(on("Photo1/._tovi-1.gif"), "companion");
    writeFile(on("Photo1/.tovi-1.gif.tovi-0a1b2c3d.tmp"), "torn");
    writeFile(on("Photo3/notes.txt"), "hello");
    writeFile(root() + QStringLiteral("/Game1/2.gif"), card);
    const auto before = tree(root());

    const QString data = m_local.filePath(QStringLiteral("data"));
    CliResult result = runToviOk(args("ls", "--device", on("Photo2"), "--json"), data);
    const QJsonObject listed = QJsonDocument::fromJson(result.out.toUtf8()).object();
    const QJsonArray albums = listed[QStringLiteral("albums")].toArray();
    ASSERT_EQ(albums.size(), 3);
    const QJsonArray photo1 = albums[0][QStringLiteral("pictures")].toArray();
    ASSERT_EQ(photo1.size(), 2) << "hidden files are the system's";
    EXPECT_EQ(photo1[0][QStringLiteral("name")], QStringLiteral("10.jpg"));
    EXPECT_EQ(photo1[1].toObject(),
              (QJsonObject{{QStringLiteral("name"), QStringLiteral("tovi-1.gif")},
                           {QStringLiteral("kind"), QStringLiteral("gif")},
                           {QStringLiteral("bytes"), card.size()},
                           {QStringLiteral("width"), 240},
                           {QStringLiteral("height"), 240},
                           {QStringLiteral("frames"), 4},
                           {QStringLiteral("duration"), 0.4}}));
    EXPECT_EQ(albums[2][QStringLiteral("pictures")][0][QStringLiteral("kind")],
              QStringLiteral("unsupported"));
    const QJsonArray cards = listed[QStringLiteral("game1")].toArray();
    ASSERT_EQ(cards.size(), 6);
    EXPECT_EQ(cards[0][QStringLiteral("kind")], QStringLiteral("missing"));
    EXPECT_EQ(cards[1][QStringLiteral("kind")], QStringLiteral("gif"));
    const double free = listed[QStringLiteral("free")].toDouble();
    EXPECT_GT(free, 3e6);
    EXPECT_LT(free, listed[QStringLiteral("total")].toDouble());

    // Taken off, the picture is kept verified on the computer; put back, the album is as it was.
    result = runToviOk(args("rm", "--device", root(), "photo1/tovi-1.gif"), data);
    const QString copy = data + QStringLiteral("/ToviStudio/Usunięte z Tovi/Photo1/tovi-1.gif");
    EXPECT_EQ(result.out, QStringLiteral("Photo1/tovi-1.gif: usunięto z Tovi; sprawdzona kopia: ") +
                              copy + QLatin1Char('\n'));
    EXPECT_EQ(readFile(copy), card);
    EXPECT_FALSE(QFile::exists(on("Photo1/tovi-1.gif")));
    const AlbumRemoval::Removed removed{QStringLiteral("Photo1"), QStringLiteral("tovi-1.gif"),
                                        copy};
    EXPECT_EQ(AlbumRemoval::undo(root(), removed), QStringLiteral("tovi-1.gif"));
    auto expected = before;
    expected.erase(QStringLiteral("Photo1/.tovi-1.gif.tovi-0a1b2c3d.tmp")); // our torn write
    EXPECT_EQ(tree(root()), expected);
    EXPECT_FALSE(QFile::exists(copy));

    // A move and its way back; the name is kept where it is free, nothing is replaced, and the
    // picture taken out of an album is kept verified on the computer as by a removal.
    const auto move = [&](const char* from, const char* name, const char* to) {
        return AlbumRemoval::move(root(), QString::fromLatin1(from), QString::fromLatin1(name),
                                  QString::fromLatin1(to), kept());
    };
    const AlbumRemoval::Moved there = move("Photo1", "10.jpg", "Photo2");
    EXPECT_EQ(there.name, QStringLiteral("10.jpg"));
    EXPECT_EQ(readFile(there.removed.copy), readFile(on("Photo2/10.jpg")));
    EXPECT_EQ(move("Photo2", "10.jpg", "Photo1").removed.copy, kept() + "/Photo2/10.jpg");
    EXPECT_EQ(tree(root()), expected);
    writeFile(on("Photo2/tovi-1.gif"), "another");
    const QString renamed = move("Photo1", "tovi-1.gif", "Photo2").name;
    EXPECT_NE(renamed, QStringLiteral("tovi-1.gif"));
    EXPECT_EQ(readFile(on("Photo2/" + renamed)), card);
    EXPECT_EQ(readFile(on("Photo2/tovi-1.gif")), "another");
}

// A move taken back leaves the albums as they were and no copy behind, even after a first try
// stopped once the picture was back; a picture changed where it went stays, nothing written.
TEST_F(OnTheTovi, AMoveTakenBackLeavesTheAlbumsAsTheyWere) {
    const QByteArray card = makeGif(3, {240, 240}, 4);
    const QString original = on("Photo1/tovi-1.gif");
    writeFile(original, card);
    writeFile(on("Photo2/tovi-1.gif"), "another");
    const auto before = tree(root());
    for (const bool changed : {true, false}) {
        const AlbumRemoval::Moved moved =
            AlbumRemoval::move(root(), QStringLiteral("Photo1"), QStringLiteral("tovi-1.gif"),
                               QStringLiteral("Photo2"), kept());
        ASSERT_NE(moved.name, QStringLiteral("tovi-1.gif")) << "renamed where the name is taken";
        const QString there = on(moved.to + QLatin1Char('/') + moved.name);
        if (changed) {
            atomicWrite(there, padGif(card, card.size() + 100));
            EXPECT_THROW(AlbumRemoval::undoMove(root(), moved), RemovalError);
            EXPECT_FALSE(QFile::exists(original));
            atomicWrite(there, card);
            writeFile(original, card); // as a try stopped after the add leaves it
        }
        EXPECT_EQ(AlbumRemoval::undoMove(root(), moved), QStringLiteral("tovi-1.gif"));
        EXPECT_EQ(tree(root()), before);
        EXPECT_FALSE(QFile::exists(moved.removed.copy));
    }
}

// Pulled out at each step of a removal, or frozen there and then pulled out, the device never
// loses the picture: it is still in its album, or a verified copy is on the computer.
TEST_F(OnTheTovi, PulledOutAtAnyStepOfARemovalItLosesNothing) {
    using AlbumRemoval::Stage;
    const QByteArray bytes = makeGif(5, {240, 240}, 3, {}, true);
    const struct {
        Stage stage;
        bool frozen;
    } cases[] = {{Stage::read, false},   {Stage::copied, false}, {Stage::deleted, false},
                 {Stage::synced, false}, {Stage::read, true},    {Stage::copied, true},
                 {Stage::deleted, true}};
    int mounts = 0;
    for (const auto& test : cases) {
        SCOPED_TRACE(testing::Message() << int(test.stage) << (test.frozen ? " frozen" : ""));
        const auto picture = [this] { return on("Photo2/tovi-2.gif"); }; // the mount moves
        writeFile(picture(), bytes);
        std::atomic<bool> reached = false;
        QString copy;
        std::thread removing([&] {
            try {
                copy = take("Photo2", "tovi-2.gif", [&](const AlbumRemoval::Progress& at) {
                           if (at.stage == test.stage) {
                               if (test.frozen)
                                   m_volume.freeze(true);
                               else
                                   pull(m_volume);
                               reached = true;
                           }
                           return true;
                       }).copy;
            } catch (const RemovalError& error) {
                EXPECT_EQ(error.kind(), RemovalError::interrupted);
                copy = error.copy();
            } catch (const std::exception& error) {
                ADD_FAILURE() << error.what();
            }
        });
        while (!reached)
            QThread::msleep(10);
        if (test.frozen) {
            QThread::msleep(300); // the removal now waits for the device
            pull(m_volume);
            m_volume.freeze(false);
        }
        removing.join();
        ASSERT_TRUE(plugIn(m_volume, m_local.filePath(QStringLiteral("again %1").arg(++mounts))));
        const bool onDevice = QFile::exists(picture()) && readFile(picture()) == bytes;
        EXPECT_TRUE(onDevice || (QFileInfo::exists(copy) && readFile(copy) == bytes));
        if (test.stage == Stage::synced) {
            EXPECT_FALSE(QFile::exists(picture()));
        }
        if (!copy.isEmpty())
            QFile::remove(copy);
        QFile::remove(picture());
    }
    ASSERT_TRUE(m_volume.unmount());
    EXPECT_EQ(m_volume.check(), QString());
}

// A picture that changed since it was read stays, and nothing of it is kept; a second removal of
// the same name keeps its own copy beside the first.
TEST_F(OnTheTovi, ChangedPicturesStayAndEveryRemovalKeepsItsOwnCopy) {
    const QString picture = on("Photo1/tovi-1.gif");
    const QByteArray first = makeGif(1), newer = padGif(first, first.size() + 100);
    writeFile(picture, first);
    const auto rewrite = [&](const AlbumRemoval::Progress& at) {
        if (at.stage == AlbumRemoval::Stage::copied)
            atomicWrite(picture, newer);
        return true;
    };
    EXPECT_EQ(kindThrown<RemovalError>([&] { take("Photo1", "tovi-1.gif", rewrite); }),
              RemovalError::changed);
    EXPECT_EQ(readFile(picture), newer);
    EXPECT_EQ(tree(kept()), (std::map<QString, QByteArray>{{QStringLiteral("Photo1/"), {}}}));

    const QString copy = take("Photo1", "tovi-1.gif").copy;
    writeFile(picture, first);
    const QString second = take("Photo1", "tovi-1.gif").copy;
    EXPECT_EQ(second, kept() + QStringLiteral("/Photo1/tovi-1 (2).gif"));
    EXPECT_EQ(readFile(copy), newer);
    EXPECT_EQ(readFile(second), first);
}

// "Cofnij" onto a full Tovi fails and keeps the copy, from which it later succeeds.
TEST_F(OnTheTovi, AnUndoThatFailsKeepsTheCopy) {
    const QByteArray bytes = makeGif(4, {240, 240}, 3, {}, true);
    writeFile(on("Photo2/tovi-2.gif"), bytes);
    const AlbumRemoval::Removed removed = take("Photo2", "tovi-2.gif");
    const QString filler = on("Photo3/filler");
    fillUp(filler);
    EXPECT_THROW(AlbumRemoval::undo(root(), removed), DeviceSpaceError);
    EXPECT_EQ(readFile(removed.copy), bytes);
    ASSERT_TRUE(QFile::remove(filler));
    EXPECT_EQ(AlbumRemoval::undo(root(), removed), QStringLiteral("tovi-2.gif"));
    EXPECT_EQ(readFile(on("Photo2/tovi-2.gif")), bytes);
    EXPECT_FALSE(QFile::exists(removed.copy));
}

// A picture that does not fit is refused before anything is written, with what is needed and
// what is free; so is a write that meets a volume filled meanwhile.
TEST_F(OnTheTovi, AFullVolumeRefusesAnAlbumWriteWithTheRoomItNeeds) {
    const QByteArray big = padGif(makeGif(1), 1850000);
    const QString filler = on("Photo3/filler");
    writeFile(filler, QByteArray(3600000, 'f'));
    const auto fill = [&](const QByteArray& bytes, const QString& target) {
        fillUp(filler, true);
        atomicWrite(target, bytes);
    };
    const QByteArray small = makeGif(2);
    const struct {
        QByteArray bytes;
        FileWriter write;
    } cases[] = {{big, [](const QByteArray&, const QString&) { ADD_FAILURE() << "written"; }},
                 {small, fill}};
    for (const auto& test : cases) {
        const auto before = tree(root());
        try {
            AlbumWriter::add(root(), QStringLiteral("Photo1"), QStringLiteral("tovi-3.gif"),
                             test.bytes, test.write);
            ADD_FAILURE() << "written";
        } catch (const DeviceSpaceError& error) {
            EXPECT_GE(error.needed(), test.bytes.size());
            EXPECT_LT(error.free(), error.needed());
            EXPECT_TRUE(QRegularExpression(QStringLiteral("^Na Tovi brakuje miejsca: potrzeba "
                                                          "%1 MB, wolne 0,[0-9] MB\\.$")
                                               .arg(test.bytes == big ? QStringLiteral("1,9")
                                                                      : QStringLiteral("0,[0-9]")))
                            .match(error.message())
                            .hasMatch())
                << error.message().toStdString();
        }
        auto after = tree(root());
        after[QStringLiteral("Photo3/filler")] = before.at(QStringLiteral("Photo3/filler"));
        EXPECT_EQ(after, before);
    }
    ASSERT_TRUE(m_volume.unmount());
    EXPECT_EQ(m_volume.check(), QString());
}

// A kernel driver's ENOSPC is a full Tovi too, whatever the free space said before the write.
TEST(FullTovi, TheKernelsNoSpaceIsToldAsAFullTovi) {
    KernelVolume volume(512);
    if (!volume.error().isEmpty())
        GTEST_SKIP() << "no tmpfs here: " << volume.error().toStdString();
    makeDevice(volume.root());
    const auto fill = [&](const QByteArray& bytes, const QString& target) {
        fillUp(volume.root() + QStringLiteral("/Photo3/filler"));
        atomicWrite(target, bytes);
    };
    try {
        AlbumWriter::add(volume.root(), QStringLiteral("Photo1"), QStringLiteral("tovi-3.gif"),
                         padGif(makeGif(2), 64 * 1024), fill);
        ADD_FAILURE() << "written";
    } catch (const DeviceSpaceError&) {
    }
    EXPECT_TRUE(QDir(volume.root() + QStringLiteral("/Photo1"))
                    .entryList(QDir::Files | QDir::Hidden)
                    .isEmpty());
}

// Putting back a chosen set is an installation: the set on the device is backed up first, and
// the listing shows every backup, newest first, with its manifest check.
TEST_F(OnTheTovi, RestoringABackupBacksUpTheCurrentSetFirst) {
    const QString backups = m_local.filePath(QStringLiteral("Backups"));
    const Game1Installer::Files first = cardSet(1), second = cardSet(2), third = cardSet(3);
    makeDevice(root(), first);
    const QString holdsFirst = Game1Installer::install(second, root(), backups);
    const QString holdsSecond = Game1Installer::install(third, root(), backups);
    const QString holdsThird = GameBackup::restore(holdsFirst, root(), backups);
    EXPECT_EQ(Game1Installer::snapshot(root() + QStringLiteral("/Game1")), first);
    EXPECT_EQ(Game1Installer::snapshot(holdsThird + QStringLiteral("/Game1")), third);
    EXPECT_TRUE(GameBackup::verify(holdsThird).installed);

    QFile::remove(holdsSecond + QStringLiteral("/Game1/4.gif"));
    const CliResult result = runToviOk(args("backups", "--backups", backups, "--json"));
    const QJsonArray listed = QJsonDocument::fromJson(result.out.toUtf8()).array();
    ASSERT_EQ(listed.size(), 3);
    const QString newestFirst[] = {holdsThird, holdsSecond, holdsFirst};
    for (int i = 0; i < 3; ++i) {
        EXPECT_EQ(listed[i][QStringLiteral("folder")], newestFirst[i]);
        EXPECT_EQ(listed[i][QStringLiteral("intact")], i != 1);
        EXPECT_EQ(listed[i][QStringLiteral("files")].toArray().size(), 6);
    }
    EXPECT_EQ(listed[1][QStringLiteral("problems")],
              QJsonArray{QStringLiteral("4.gif: brak kopii tego pliku.")});
}
