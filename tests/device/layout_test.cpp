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
    QString path(const char* relative) const { return m_dir.filePath(QString::fromUtf8(relative)); }
    void folders(std::initializer_list<const char*> relatives) const {
        for (const char* relative : relatives)
            makeFolder(path(relative));
    }
    QTemporaryDir m_dir;
};

} // namespace

TEST_F(Layout, Game1FolderFromRootOrItself) {
    makeDevice(path("root"));
    EXPECT_EQ(Game1Installer::folder(path("root")), path("root/Game1"));
    EXPECT_EQ(Game1Installer::folder(path("root/") + QLatin1Char('/')), path("root/Game1"));
    // A folder named Game1 is taken as it is, with no siblings needed.
    makeFolder(path("lonely/Game1"));
    EXPECT_EQ(Game1Installer::folder(path("lonely/Game1")), path("lonely/Game1"));
}

TEST_F(Layout, Game1FolderRefusals) {
    folders({"lower/game1", "twoGames/Game1", "twoGames/Game2", "fileGame/Game2", "fileGame/Game3",
             "elsewhere", "linked/Game2", "linked/Game3"});
    writeFile(path("fileGame/Game1"), "x");
    ASSERT_TRUE(QFile::link(path("elsewhere"), path("linked/Game1")));
    makeDevice(path("root"));
    for (const char* refused : {"lower/game1", "twoGames", "fileGame", "linked", "linked/Game1",
                                "root/Game2", "root/Photo1"}) {
        SCOPED_TRACE(refused);
        EXPECT_EQ(kindThrown<PackError>([&] { Game1Installer::folder(path(refused)); }),
                  PackError::folder);
    }
}

TEST_F(Layout, PhotoFolderChoices) {
    const QString root = path("root");
    makeDevice(root);
    EXPECT_EQ(DeviceLayout::photoFolder(root, QStringLiteral("Photo3")),
              root + QStringLiteral("/Photo3"));
    // The chosen album wins over the selected one.
    EXPECT_EQ(DeviceLayout::photoFolder(root + QStringLiteral("/Photo2"), QStringLiteral("Photo1")),
              root + QStringLiteral("/Photo2"));

    const auto refused = [](const QString& in, const QString& album) {
        EXPECT_EQ(kindThrown<MediaError>([&] { DeviceLayout::photoFolder(in, album); }),
                  MediaError::invalidFolder)
            << in.toStdString() << " " << album.toStdString();
    };
    // An unknown album name is refused before the folder is looked at (it does not even exist).
    refused(path("missing"), QStringLiteral("Photo4"));
    refused(root + QStringLiteral("/Photo1"), QStringLiteral("photo1"));
    refused(root + QStringLiteral("/Game1"), QStringLiteral("Photo1"));

    folders({"fileAlbum/Photo2", "fileAlbum/Photo3"});
    writeFile(path("fileAlbum/Photo1"), "x");
    refused(path("fileAlbum"), QStringLiteral("Photo1"));
    EXPECT_THROW(DeviceLayout::photoFolder(path("gone/Photo1"), QStringLiteral("Photo1")),
                 PlatformError);
}

TEST_F(Layout, RootIsRememberedOnlyWhenAllSixFoldersExist) {
    Settings settings(path("settings.ini"));
    const QString full = path("full");
    makeDevice(full);
    const QString partial = path("partial");
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
    EXPECT_EQ(Settings(path("settings.ini")).bytes(Settings::rootPermission), QByteArray("second"));
}

TEST_F(Layout, SettingsPersistUnderTheirKeys) {
    const QString file = path("conf/ToviStudio.ini");
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
    const QString folder = path("NO NAME");
    makeFolder(folder);
    const QByteArray bookmark = Bookmark::make(folder);
    Bookmark::Resolved resolved = Bookmark::resolve(bookmark);
    EXPECT_EQ(resolved.status, Bookmark::Status::fresh);
    EXPECT_EQ(resolved.path, folder);

    // Another folder now stands at the path: stale, and the connection store ignores it.
    ASSERT_TRUE(QDir().rename(folder, path("old")));
    makeFolder(folder);
    resolved = Bookmark::resolve(bookmark);
    EXPECT_EQ(resolved.status, Bookmark::Status::stale);
    EXPECT_EQ(resolved.path, folder);
    Settings settings(path("settings.ini"));
    settings.setBytes(Settings::rootPermission, bookmark);
    EXPECT_FALSE(ToviConnectionStore::resolve(settings, Settings::rootPermission));
    EXPECT_EQ(settings.bytes(Settings::rootPermission), bookmark);

    ASSERT_TRUE(QDir(folder).removeRecursively());
    EXPECT_EQ(Bookmark::resolve(bookmark).status, Bookmark::Status::unresolvable);
    EXPECT_EQ(Bookmark::resolve("garbage").status, Bookmark::Status::unresolvable);
    EXPECT_EQ(Bookmark::resolve(bookmark.left(bookmark.size() / 2)).status,
              Bookmark::Status::unresolvable);
    EXPECT_THROW(Bookmark::make(path("missing")), PlatformError);

    ASSERT_TRUE(QDir().rename(path("old"), folder));
    EXPECT_EQ(ToviConnectionStore::resolve(bookmark), std::optional<QString>(folder));
}
