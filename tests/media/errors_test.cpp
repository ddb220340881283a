#include "app/platform_error.h"
#include "device/pack_error.h"
#include "media/media_error.h"

#include <QSet>
#include <cerrno>
#include <gtest/gtest.h>

using namespace tovi;

TEST(Errors, EveryCaseHasItsOwnPolishSentence) {
    QSet<QString> seen;
    for (auto kind : {MediaError::unreadable, MediaError::encode, MediaError::empty,
                      MediaError::tooLarge, MediaError::invalidFolder})
        seen.insert(MediaError(kind).message());
    for (auto kind : {PackError::missingResource, PackError::folder, PackError::payload,
                      PackError::backupFailed, PackError::sourceChanged})
        seen.insert(PackError(kind).message());
    EXPECT_EQ(seen.size(), 10);
    for (const QString& message : seen)
        EXPECT_TRUE(message.endsWith(QLatin1Char('.'))) << message.toStdString();
    // The base class hands the same text to std::exception users.
    const MediaError error(MediaError::tooLarge);
    const std::exception& base = error;
    EXPECT_EQ(QString::fromUtf8(base.what()), error.message());
}

TEST(Errors, RollbackAppendsTheBackupPathDirectly) {
    EXPECT_EQ(PackError(PackError::rollbackFailed, QStringLiteral("/tmp/x")).message(),
              QStringLiteral("Zapis przerwano i nie udało się przywrócić wszystkich plików. "
                             "Kopia jest zachowana: /tmp/x"));
    EXPECT_TRUE(PackError(PackError::payload).message().contains(QStringLiteral("1.gif–6.gif")));
}

TEST(Errors, PlatformErrorsNameTheCauseAndThePath) {
    const PlatformError full = PlatformError::fromErrno(ENOSPC, QStringLiteral("/media/NO NAME"));
    EXPECT_EQ(full.kind(), PlatformError::outOfSpace);
    EXPECT_TRUE(full.message().startsWith(QStringLiteral("Brak miejsca na dysku")));
    EXPECT_TRUE(full.message().contains(QStringLiteral("/media/NO NAME")));
    EXPECT_EQ(PlatformError::fromErrno(ENOENT, {}).kind(), PlatformError::notFound);
    EXPECT_EQ(PlatformError::fromErrno(EROFS, {}).kind(), PlatformError::readOnly);
    EXPECT_EQ(PlatformError::fromErrno(EIO, {}).kind(), PlatformError::io);
}
