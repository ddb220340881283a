#include "app/polish_count.h"

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
