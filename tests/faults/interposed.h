#pragma once

// Calls the code under test makes into the C library and libimagequant, seen from inside this
// test program: its own definitions of fsync, rename and liq_image_quantize take the place of the
// libraries' for everything linked into it, record what is asked and pass it on (or fail it).

#include <QStringList>

namespace tovi::test {

// While alive, every fsync (as "fsync <path>") and rename (as "rename <from> → <to>") in order.
class SyscallLog {
public:
    SyscallLog();
    ~SyscallLog();
    SyscallLog(const SyscallLog&) = delete;
    SyscallLog& operator=(const SyscallLog&) = delete;
    QStringList calls() const;
};

// While alive, every write into a file below `folder` stores its first byte altered, as a disk
// that writes wrong and says nothing.
class CorruptWrites {
public:
    explicit CorruptWrites(const QString& folder);
    ~CorruptWrites();
    CorruptWrites(const CorruptWrites&) = delete;
    CorruptWrites& operator=(const CorruptWrites&) = delete;
};

// While alive, counts palette quantisations; the `failing`-th one (1-based; 0 for none) and all
// after it fail as libimagequant fails when memory runs out.
class QuantizerFault {
public:
    explicit QuantizerFault(int failing = 0);
    ~QuantizerFault();
    QuantizerFault(const QuantizerFault&) = delete;
    QuantizerFault& operator=(const QuantizerFault&) = delete;
    int calls() const;
};

} // namespace tovi::test
