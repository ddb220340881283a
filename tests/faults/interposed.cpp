#include "faults/interposed.h"

#include <QFile>
#include <atomic>
#include <dlfcn.h>
#include <libimagequant.h>
#include <limits.h>
#include <mutex>
#include <unistd.h>

namespace tovi::test {
namespace {

std::mutex logMutex;
bool logging = false;
QStringList logged;

void record(const QString& call) {
    std::lock_guard lock(logMutex);
    if (logging)
        logged << call;
}

QString pathOf(int fd) {
    char target[PATH_MAX];
    const QByteArray link = "/proc/self/fd/" + QByteArray::number(fd);
    const ssize_t length = ::readlink(link.constData(), target, sizeof target);
    return length < 0 ? QStringLiteral("?") : QFile::decodeName(QByteArray(target, length));
}

std::atomic<bool> corrupting = false;
QString corruptedFolder;

std::atomic<bool> counting = false;
std::atomic<int> quantizations = 0;
std::atomic<int> failingQuantization = 0;

template <typename F> F next(const char* name) {
    return reinterpret_cast<F>(::dlsym(RTLD_NEXT, name));
}

} // namespace

SyscallLog::SyscallLog() {
    std::lock_guard lock(logMutex);
    logged.clear();
    logging = true;
}

SyscallLog::~SyscallLog() {
    std::lock_guard lock(logMutex);
    logging = false;
}

QStringList SyscallLog::calls() const {
    std::lock_guard lock(logMutex);
    return logged;
}

CorruptWrites::CorruptWrites(const QString& folder) {
    corruptedFolder = folder + QLatin1Char('/');
    corrupting = true;
}

CorruptWrites::~CorruptWrites() {
    corrupting = false;
}

QuantizerFault::QuantizerFault(int failing) {
    quantizations = 0;
    failingQuantization = failing;
    counting = true;
}

QuantizerFault::~QuantizerFault() {
    counting = false;
    failingQuantization = 0;
}

int QuantizerFault::calls() const {
    return quantizations;
}

} // namespace tovi::test

using tovi::test::pathOf;
using tovi::test::record;

extern "C" int fsync(int fd) {
    static const auto real = tovi::test::next<int (*)(int)>("fsync");
    record(QStringLiteral("fsync ") + pathOf(fd));
    return real(fd);
}

extern "C" int rename(const char* from, const char* to) {
    static const auto real = tovi::test::next<int (*)(const char*, const char*)>("rename");
    record(QStringLiteral("rename ") + QFile::decodeName(from) + QStringLiteral(" → ") +
           QFile::decodeName(to));
    return real(from, to);
}

extern "C" ssize_t write(int fd, const void* data, size_t size) {
    static const auto real = tovi::test::next<ssize_t (*)(int, const void*, size_t)>("write");
    if (tovi::test::corrupting && size > 0 && pathOf(fd).startsWith(tovi::test::corruptedFolder)) {
        QByteArray altered(static_cast<const char*>(data), qsizetype(size));
        altered[0] = char(altered[0] ^ 0x5A);
        return real(fd, altered.constData(), size);
    }
    return real(fd, data, size);
}

extern "C" liq_error liq_image_quantize(liq_image* image, liq_attr* options, liq_result** result) {
    static const auto real =
        tovi::test::next<liq_error (*)(liq_image*, liq_attr*, liq_result**)>("liq_image_quantize");
    if (tovi::test::counting) {
        const int call = ++tovi::test::quantizations;
        const int failing = tovi::test::failingQuantization;
        if (failing > 0 && call >= failing)
            return LIQ_OUT_OF_MEMORY;
    }
    return real(image, options, result);
}
