#include "app/polish_count.h"
#include "app/polish_format.h"

#include <gtest/gtest.h>

using namespace tovi;

TEST(PolishCount, TheNounAgreesWithTheNumber) {
    const std::pair<qint64, const char*> cases[] = {
        {0, "0 klatek"},     {1, "1 klatka"},     {2, "2 klatki"},       {4, "4 klatki"},
        {5, "5 klatek"},     {12, "12 klatek"},   {14, "14 klatek"},     {21, "21 klatek"},
        {22, "22 klatki"},   {24, "24 klatki"},   {25, "25 klatek"},     {101, "101 klatek"},
        {112, "112 klatek"}, {113, "113 klatek"}, {1002, "1002 klatki"},
    };
    for (const auto& [n, text] : cases)
        EXPECT_EQ(PolishCount::frames(n), QString::fromUtf8(text)) << n;
    EXPECT_EQ(PolishCount::bytes(1024), QStringLiteral("1024 bajty"));
    EXPECT_EQ(PolishCount::bytes(2'097'152), QStringLiteral("2097152 bajty"));
    EXPECT_EQ(PolishCount::bytes(1'000'115), QStringLiteral("1000115 bajtów"));
    // After "z" the genitive: one frame is "klatki", any other number "klatek".
    EXPECT_EQ(PolishCount::framesDone(1, 1), QStringLiteral("1 z 1 klatki"));
    EXPECT_EQ(PolishCount::framesDone(3, 22), QStringLiteral("3 z 22 klatek"));
}

// A size beside its limit is rounded towards the limit's side it is on: a GIF that fits never
// reads as over, one over never as fitting, and a small one never as nothing.
TEST(PolishFormat, ASizeAgainstItsLimitStaysOnItsSide) {
    const qint64 limit = 2 << 20;
    EXPECT_EQ(PolishFormat::sizeOfLimit(2'034'252, limit), QStringLiteral("1,94 MB z 2 MB"));
    EXPECT_EQ(PolishFormat::sizeOfLimit(limit, limit), QStringLiteral("2 MB z 2 MB"));
    EXPECT_EQ(PolishFormat::sizeOfLimit(limit + 1, limit),
              QStringLiteral("Za duży: 2,01 MB z 2 MB"));
    EXPECT_EQ(PolishFormat::sizeOfLimit(2'747'000, limit),
              QStringLiteral("Za duży: 2,62 MB z 2 MB"));
    EXPECT_EQ(PolishFormat::sizeOfLimit(9'000, limit), QStringLiteral("0,01 MB z 2 MB"));
    EXPECT_EQ(PolishFormat::sizeOfLimit(0, limit), QStringLiteral("0 MB z 2 MB"));
}
