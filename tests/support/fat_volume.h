#pragma once

#include <QString>
#include <QTemporaryDir>
#include <sys/types.h>

namespace tovi::test {

// A FAT disk image labelled "NO NAME" (mkfs.vfat), mounted with fusefat in a temporary folder
// for the object's lifetime; the destructor unmounts, also when a test failed.
class FatVolume {
public:
    // Empty when this machine can mount one; otherwise why not (tests skip with that text).
    static QString unavailable();

    // `kilobytes` is the image size; `serial` the volume serial (8 hexadecimal digits), random
    // when empty so that volumes of tests running side by side never look alike.
    explicit FatVolume(int kilobytes, QString serial = {});
    ~FatVolume();
    FatVolume(const FatVolume&) = delete;
    FatVolume& operator=(const FatVolume&) = delete;

    // Empty once mounted, otherwise the failure.
    const QString& error() const { return m_error; }
    QString root() const { return m_mountPoint; }
    QString image() const { return m_image; }

    bool mount(const QString& mountPoint);
    // Lets a frozen volume go on first.
    bool unmount();
    // fsck.fat's verdict on the (unmounted) image: empty when clean.
    QString check() const;
    // Stops (or lets go on) the FUSE daemon of this mount and returns once the kernel shows every
    // one of its threads stopped (or running): from then on each call that reaches the volume
    // waits, as on a device that stopped answering. False when not mounted or not confirmed.
    bool freeze(bool frozen);

private:
    QTemporaryDir m_dir;
    QString m_image;
    QString m_mountPoint;
    QString m_error;
    pid_t m_daemon = 0;
    bool m_frozen = false;
};

// A folder of the test's own served through FUSE (bindfs) for the object's lifetime: it holds
// whatever a local disk holds, and can stop answering as a network or USB folder does.
class FuseFolder {
public:
    // Empty when this machine can serve one; otherwise why not (tests skip with that text).
    static QString unavailable();

    FuseFolder();
    ~FuseFolder();
    FuseFolder(const FuseFolder&) = delete;
    FuseFolder& operator=(const FuseFolder&) = delete;

    // Empty once served, otherwise the failure.
    const QString& error() const { return m_error; }
    QString root() const { return m_mountPoint; }
    // As FatVolume::freeze. Thread-safe against the rest of the test.
    bool freeze(bool frozen);

private:
    QTemporaryDir m_dir;
    QString m_mountPoint;
    QString m_error;
    pid_t m_daemon = 0;
};

} // namespace tovi::test

// Skips the test where this machine cannot mount one; otherwise `volume`, mounted.
#define TOVI_FAT_VOLUME(volume, kilobytes)                                                         \
    if (const QString why = ::tovi::test::FatVolume::unavailable(); !why.isEmpty())                \
        GTEST_SKIP() << why.toStdString();                                                         \
    ::tovi::test::FatVolume volume(kilobytes);                                                     \
    ASSERT_TRUE((volume).error().isEmpty()) << (volume).error().toStdString()
