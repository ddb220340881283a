// The collection the application ships: everything the loader, the renderer, the tutorial and
// the device preview rely on, checked on the real resource files.
#include "app/resource_bundle.h"
#include "media/image_source.h"
#include "media/media_processor.h"
#include "packs/starter_pack.h"

#include <QFile>
#include <QFontDatabase>
#include <QFontMetricsF>
#include <QRegularExpression>
#include <QSet>
#include <QXmlStreamReader>
#include <gtest/gtest.h>

using namespace tovi;

namespace {

const std::vector<StarterPack>& collection() {
    static const std::vector<StarterPack> packs = StarterPack::load(ResourceBundle::main());
    return packs;
}

// The caption font as the card renderer sets it up, in its 240-unit design space.
QFontMetricsF captionMetrics(int size) {
    static const QString family = [] {
        const int id = QFontDatabase::addApplicationFont(
            QStringLiteral("/usr/share/fonts/opentype/inter/Inter-Medium.otf"));
        return QFontDatabase::applicationFontFamilies(id).value(0, QStringLiteral("Inter"));
    }();
    QFont font(family);
    font.setPixelSize(size);
    font.setWeight(QFont::Medium);
    font.setHintingPreference(QFont::PreferNoHinting);
    return QFontMetricsF(font);
}

} // namespace

TEST(ShippedCollection, HoldsTenCompletePacksWithDistinctSimpleIds) {
    const auto& packs = collection();
    ASSERT_EQ(packs.size(), 10u);
    const QRegularExpression simpleId(QStringLiteral("^[a-z][a-z0-9-]*$"));
    QSet<QString> ids;
    for (const StarterPack& pack : packs) {
        SCOPED_TRACE(pack.id.toStdString());
        EXPECT_TRUE(simpleId.match(pack.id).hasMatch()) << "ids become file names and keys";
        ids.insert(pack.id);
        EXPECT_FALSE(pack.name.isEmpty());
        EXPECT_FALSE(pack.description.isEmpty());
        EXPECT_FALSE(pack.artDirection.isEmpty());
        EXPECT_FALSE(pack.styleNote.isEmpty());
        ASSERT_EQ(pack.cards.size(), 6u);
        ASSERT_EQ(pack.meanings.size(), 6);
        for (int slot = 0; slot < 6; ++slot) {
            const QStringList& card = pack.cards[static_cast<size_t>(slot)];
            ASSERT_GE(card.size(), 2);
            EXPECT_FALSE(card[0].isEmpty());
            EXPECT_FALSE(card[1].isEmpty());
            // The limits the packs model keeps for user edits hold for the defaults too.
            EXPECT_LE(card[0].size(), 40) << card[0].toStdString();
            EXPECT_LE(card[1].size(), 70) << card[1].toStdString();
            EXPECT_FALSE(pack.meanings[slot].isEmpty());
        }
    }
    EXPECT_EQ(ids.size(), 10);
    EXPECT_TRUE(ids.contains(QStringLiteral("listening"))) << "the tutorial shows this pack";
}

TEST(ShippedCollection, CaptionsFitTheCardWithoutBeingCut) {
    const QFontMetricsF title = captionMetrics(15);
    const QFontMetricsF subtitle = captionMetrics(10);
    for (const StarterPack& pack : collection())
        for (const QStringList& card : pack.cards) {
            EXPECT_LE(title.horizontalAdvance(card[0]), 190.0) << card[0].toStdString();
            EXPECT_LE(subtitle.horizontalAdvance(card[1]), 156.0) << card[1].toStdString();
        }
}

TEST(ShippedCollection, EveryCardHasADecodableArtwork) {
    const ResourceBundle bundle = ResourceBundle::main();
    for (const StarterPack& pack : collection())
        for (int slot = 0; slot < 6; ++slot) {
            SCOPED_TRACE(QStringLiteral("%1 slot %2").arg(pack.id).arg(slot).toStdString());
            const auto source = ImageSource::open(pack.artwork(slot, bundle));
            ASSERT_TRUE(source);
            const QImage frame = MediaProcessor::frame(*source, 0);
            ASSERT_FALSE(frame.isNull());
            // Smaller pictures would be blown up on the device and in the 600-pixel preview.
            EXPECT_GE(std::min(frame.width(), frame.height()), 600);
        }
}

// The preview lays the display over a 0.512 W × 0.472 H frame moved 0.09 W right and 0.085 H
// down, clipped to the largest circle of that frame; the picture's glass must be that circle.
TEST(DevicePictures, ShowTheWholeFrontWithTheDisplayWhereThePreviewPutsIt) {
    constexpr double width = 1946, height = 2104;
    const double frameWidth = width * 0.512, frameHeight = height * 0.472;
    const double cx = width * 0.09 + frameWidth / 2, cy = height * 0.085 + frameHeight / 2;
    const double r = std::min(frameWidth, frameHeight) / 2;

    for (const char* colour : {"silver", "black"}) {
        SCOPED_TRACE(colour);
        const auto path = ResourceBundle::main().url(
            QStringLiteral("tovi-") + QLatin1String(colour), QStringLiteral("svg"));
        ASSERT_TRUE(path);
        QFile file(*path);
        ASSERT_TRUE(file.open(QIODevice::ReadOnly));
        QXmlStreamReader xml(&file);
        QStringList viewBox;
        bool displayFound = false;
        while (!xml.atEnd()) {
            if (xml.readNext() != QXmlStreamReader::StartElement)
                continue;
            const QXmlStreamAttributes attributes = xml.attributes();
            if (xml.name() == QLatin1String("svg"))
                viewBox = attributes.value(QLatin1String("viewBox"))
                              .toString()
                              .split(QLatin1Char(' '), Qt::SkipEmptyParts);
            if (attributes.value(QLatin1String("id")) == QLatin1String("display")) {
                displayFound = true;
                EXPECT_EQ(xml.name(), QLatin1String("circle"));
                EXPECT_NEAR(attributes.value(QLatin1String("cx")).toDouble(), cx, 0.5);
                EXPECT_NEAR(attributes.value(QLatin1String("cy")).toDouble(), cy, 0.5);
                EXPECT_NEAR(attributes.value(QLatin1String("r")).toDouble(), r, 0.5);
            }
        }
        EXPECT_FALSE(xml.hasError()) << xml.errorString().toStdString();
        EXPECT_EQ(viewBox, QStringList({QStringLiteral("0"), QStringLiteral("0"),
                                        QStringLiteral("1946"), QStringLiteral("2104")}));
        EXPECT_TRUE(displayFound) << "no circle with id \"display\"";
    }
}
