#include "media/media_types.h"

#include <QJsonDocument>
#include <gtest/gtest.h>

using namespace tovi;

TEST(CropSettingsJson, HasExactlyThreeRequiredNumbers) {
    const CropSettings crop{2.5, -0.25, 1};
    const QJsonObject json = crop.toJson();
    EXPECT_EQ(json.keys(),
              (QStringList{QStringLiteral("x"), QStringLiteral("y"), QStringLiteral("zoom")}));
    EXPECT_EQ(CropSettings::fromJson(json), crop);

    const auto parse = [](const char* text) {
        return CropSettings::fromJson(QJsonDocument::fromJson(QByteArray(text)).object());
    };
    EXPECT_EQ(parse(R"({"zoom": 1, "x": 0, "y": -0.5, "extra": true})"),
              (CropSettings{1, 0, -0.5}));
    // Out-of-range values are stored as they are; users clamp.
    EXPECT_EQ(parse(R"({"zoom": 9, "x": -4, "y": 0})"), (CropSettings{9, -4, 0}));
    EXPECT_FALSE(parse(R"({"zoom": 1, "x": 0})"));
    EXPECT_FALSE(parse(R"({"zoom": 1, "x": 0, "y": "0"})"));
    EXPECT_FALSE(parse(R"({"zoom": null, "x": 0, "y": 0})"));
}
