#include "app/atomic_write.h"
#include "app/platform_error.h"
#include "app/settings.h"
#include "device/bookmark.h"
#include "device/device_layout.h"
#include "device/game1_installer.h"
#include "device/pack_error.h"
#include "device/tovi_connection_store.h"
#include "media/media_error.h"
#include "support/device_fixtures.h"

#include <QDir>
#include <QFile>
#include <QTemporaryDir>
#include <gtest/gtest.h>

using namespace tovi;
using namespace tovi::test;

namespace {

class Layout : public ::testing::Test {
protected:
    QString path(const QString& relative) const { return m_dir.filePath(relative); }
    QTemporaryDir m_dir;
};

template <typename Error, typename Call> void expectKind(Call call, int kind) {
    try {
        call();
        ADD_FAILURE() << "no error";
    } catch (const Error& error) {
        EXPECT_EQ(error.kind(), kind) << error.message().toStdString();
    }
}

} // namespace

TEST_F(Layout, Game1FolderFromRootOrItself) {
    makeDevice(path(QStringLiteral("root")));
    EXPECT_EQ(Game1Installer::folder(path(QStringLiteral("root"))),
              path(QStringLiteral("root/Game1")));
    EXPECT_EQ(Game1Installer::folder(path(QStringLiteral("root/")) + QLatin1Char('/')),
              path(QStringLiteral("root/Game1")));
    // A folder named Game1 is taken as it is, with no siblings needed.
    makeFolder(path(QStringLiteral("lonely/Game1")));
    EXPECT_EQ(Game1Installer::folder(path(QStringLiteral("lonely/Game1"))),
              path(QStringLiteral("lonely/Game1")));
}

TEST_F(Layout, Game1FolderRefusals) {
    const auto refused = [this](const QString& relative) {
        expectKind<PackError>([&] { Game1Installer::folder(path(relative)); }, PackError::folder);
    };
    makeFolder(path(QStringLiteral("lower/game1")));
    refused(QStringLiteral("lower/game1"));

    makeFolder(path(QStringLiteral("twoGames/Game1")));
    makeFolder(path(QStringLiteral("twoGames/Game2")));
    refused(QStringLiteral("twoGames"));

    makeFolder(path(QStringLiteral("fileGame/Game2")));
    makeFolder(path(QStringLiteral("fileGame/Game3")));
    writeFile(path(QStringLiteral("fileGame/Game1")), "x");
    refused(QStringLiteral("fileGame"));

    makeFolder(path(QStringLiteral("elsewhere")));
    makeFolder(path(QStringLiteral("linked/Game2")));
    makeFolder(path(QStringLiteral("linked/Game3")));
    ASSERT_TRUE(
        QFile::link(path(QStringLiteral("elsewhere")), path(QStringLiteral("linked/Game1"))));
    refused(QStringLiteral("linked"));
    refused(QStringLiteral("linked/Game1"));

    makeDevice(path(QStringLiteral("root")));
    refused(QStringLiteral("root/Game2"));
    refused(QStringLiteral("root/Photo1"));
}

TEST_F(Layout, PhotoFolderChoices) {
    const QString root = path(QStringLiteral("root"));
    makeDevice(root);
    EXPECT_EQ(DeviceLayout::photoFolder(root, QStringLiteral("Photo3")),
              root + QStringLiteral("/Photo3"));
    // The chosen album wins over the selected one.
    EXPECT_EQ(DeviceLayout::photoFolder(root + QStringLiteral("/Photo2"), QStringLiteral("Photo1")),
              root + QStringLiteral("/Photo2"));

    const auto refused = [](const QString& in, const QString& album) {
        expectKind<MediaError>([&] { DeviceLayout::photoFolder(in, album); },
                               MediaError::invalidFolder);
    };
    // An unknown album name is refused before the folder is looked at (it does not even exist).
    refused(path(QStringLiteral("missing")), QStringLiteral("Photo4"));
    refused(root + QStringLiteral("/Photo1"), QStringLiteral("photo1"));
    refused(root + QStringLiteral("/Game1"), QStringLiteral("Photo1"));

    makeFolder(path(QStringLiteral("fileAlbum/Photo2")));
    makeFolder(path(QStringLiteral("fileAlbum/Photo3")));
    writeFile(path(QStringLiteral("fileAlbum/Photo1")), "x");
    refused(path(QStringLiteral("fileAlbum")), QStringLiteral("Photo1"));
    EXPECT_THROW(
        DeviceLayout::photoFolder(path(QStringLiteral("gone/Photo1")), QStringLiteral("Photo1")),
        PlatformError);
}

TEST_F(Layout, RootIsRememberedOnlyWhenAllSixFoldersExist) {
    Settings settings(path(QStringLiteral("settings.ini")));
    const QString full = path(QStringLiteral("full"));
    makeDevice(full);
    const QString partial = path(QStringLiteral("partial"));
    for (const char* name : {"Photo1", "Photo2", "Photo3", "Game1", "Game2"})
        makeFolder(partial + QLatin1Char('/') + QLatin1String(name));

    // Good enough for single graphics, yet not a device root.
    EXPECT_NO_THROW(DeviceLayout::photoFolder(partial, QStringLiteral("Photo1")));
    ToviConnectionStore::rememberRoot(partial, "partial", settings);
    EXPECT_FALSE(settings.contains(Settings::rootPermission));
    ToviConnectionStore::rememberRoot(full + QStringLiteral("/Game1"), "game1", settings);
    EXPECT_FALSE(settings.contains(Settings::rootPermission));

    ToviConnectionStore::rememberRoot(full, "first", settings);
    ToviConnectionStore::rememberRoot(full, "second", settings);
    EXPECT_EQ(Settings(path(QStringLiteral("settings.ini"))).bytes(Settings::rootPermission),
              QByteArray("second"));
}

TEST_F(Layout, SettingsPersistUnderTheirKeys) {
    const QString file = path(QStringLiteral("conf/ToviStudio.ini"));
    {
        Settings settings(file);
        EXPECT_EQ(settings.string(Settings::album, QStringLiteral("Photo1")),
                  QStringLiteral("Photo1"));
        EXPECT_EQ(settings.integer(Settings::tutorialVersion), 0);
        settings.setString(Settings::album, QStringLiteral("Photo3"));
        settings.setInteger(Settings::tutorialVersion, 1);
        settings.setBytes(Settings::packsDestination, QByteArray("\0\x01\xff", 3));
    }
    Settings again(file);
    EXPECT_EQ(again.string(Settings::album), QStringLiteral("Photo3"));
    EXPECT_EQ(again.integer(Settings::tutorialVersion), 1);
    EXPECT_EQ(again.bytes(Settings::packsDestination), QByteArray("\0\x01\xff", 3));
    again.remove(Settings::album);
    EXPECT_FALSE(Settings(file).contains(Settings::album));

    const QByteArray text = readFile(file);
    EXPECT_TRUE(text.contains("tutorial.factory-to-yours.version=1")) << text.toStdString();
    EXPECT_TRUE(text.contains("packs.destination=")) << text.toStdString();
}

TEST_F(Layout, BookmarkOfLocalFolder) {
    const QString folder = path(QStringLiteral("NO NAME"));
    makeFolder(folder);
    const QByteArray bookmark = Bookmark::make(folder);
    Bookmark::Resolved resolved = Bookmark::resolve(bookmark);
    EXPECT_EQ(resolved.status, Bookmark::Status::fresh);
    EXPECT_EQ(resolved.path, folder);

    // Another folder now stands at the path: stale, and the connection store ignores it.
    ASSERT_TRUE(QDir().rename(folder, path(QStringLiteral("old"))));
    makeFolder(folder);
    resolved = Bookmark::resolve(bookmark);
    EXPECT_EQ(resolved.status, Bookmark::Status::stale);
    EXPECT_EQ(resolved.path, folder);
    Settings settings(path(QStringLiteral("settings.ini")));
    settings.setBytes(Settings::rootPermission, bookmark);
    EXPECT_FALSE(ToviConnectionStore::resolve(settings, Settings::rootPermission));
    EXPECT_EQ(settings.bytes(Settings::rootPermission), bookmark);

    ASSERT_TRUE(QDir(folder).removeRecursively());
    EXPECT_EQ(Bookmark::resolve(bookmark).status, Bookmark::Status::unresolvable);
    EXPECT_EQ(Bookmark::resolve("garbage").status, Bookmark::Status::unresolvable);
    EXPECT_EQ(Bookmark::resolve(bookmark.left(bookmark.size() / 2)).status,
              Bookmark::Status::unresolvable);
    EXPECT_THROW(Bookmark::make(path(QStringLiteral("missing"))), PlatformError);

    ASSERT_TRUE(QDir().rename(path(QStringLiteral("old")), folder));
    EXPECT_EQ(ToviConnectionStore::resolve(bookmark), std::optional<QString>(folder));
}
