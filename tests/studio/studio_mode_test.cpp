#include "app/settings.h"
#include "app/studio_mode.h"

#include <QTemporaryDir>
#include <gtest/gtest.h>

using namespace tovi;

TEST(StudioModes, RawValuesAreTheTitlesAndNothingElseMakesAMode) {
    EXPECT_EQ(studioModeFromRaw(QStringLiteral("Grafika")), StudioMode::artwork);
    EXPECT_EQ(studioModeFromRaw(QStringLiteral("Losowane karty")), StudioMode::cards);
    EXPECT_FALSE(studioModeFromRaw(QStringLiteral("grafika")));
    EXPECT_FALSE(studioModeFromRaw(QString()));
    EXPECT_EQ(subtitle(StudioMode::cards),
              QStringLiteral("Sześć grafik. Każde kliknięcie Tovi losuje jedną."));
}

TEST(StudioModes, OnlyABlackCaseMakesTheThemeDark) {
    QTemporaryDir dir;
    Settings settings(dir.filePath(QStringLiteral("settings.ini")));
    const auto dark = [&] {
        return StudioAppearance::isDark(
            settings.string(Settings::caseColor, QStringLiteral("silver")));
    };
    EXPECT_FALSE(dark());
    for (const char* stored : {"silver", "Black", "gold", ""}) {
        settings.setString(Settings::caseColor, QString::fromLatin1(stored));
        EXPECT_FALSE(dark()) << stored;
    }
    settings.setString(Settings::caseColor, QStringLiteral("black"));
    EXPECT_TRUE(dark());
    EXPECT_NEAR(StudioAppearance::background(true).redF(), 0.12, 0.002);
    EXPECT_NEAR(StudioAppearance::background(false).greenF(), 0.95, 0.002);
    EXPECT_EQ(StudioAppearance::accent().alphaF(), 1.0f);
}
