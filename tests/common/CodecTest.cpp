#include "common/Codec.h"

#include <gtest/gtest.h>

namespace zorva {
namespace {

TEST(Codec, RoundTripsJapaneseAndAscii) {
    const std::string text = "バックアップセット：DAILY ～①";
    std::string cp = ToCp932(text);
    EXPECT_EQ(FromCp932(cp), text);
    // "バ" is 0x83 0x6F in CP932; the wave dash is the CP932 one (0x81 0x60), whichever of
    // the two Unicode tildes the text holds.
    EXPECT_EQ(cp.substr(0, 2), "\x83\x6F");
    EXPECT_NE(cp.find("\x81\x60"), std::string::npos);
    EXPECT_EQ(ToCp932("〜"), "\x81\x60");
}

TEST(Codec, UnrepresentableCharacterBecomesQuestionMark) {
    EXPECT_EQ(ToCp932("a😀b"), "a?b");
    EXPECT_EQ(ToCp932("a\xFF"
                      "b"),
              "a?b");  // broken UTF-8
    EXPECT_EQ(FromCp932("a\xA0"
                        "b"),
              "a?b");                     // not a CP932 byte
    EXPECT_EQ(FromCp932("a\x83"), "a?");  // lead byte at the end
}

struct CutCase {
    std::string utf8;
    std::size_t width;
    std::string expected;
};

class CutToWidth : public ::testing::TestWithParam<CutCase> {};

TEST_P(CutToWidth, CutsOnCharacterBoundary) {
    const auto& c = GetParam();
    EXPECT_EQ(CutToCp932Width(c.utf8, c.width), c.expected);
}

INSTANTIATE_TEST_SUITE_P(Widths, CutToWidth,
                         ::testing::Values(CutCase{"ABCDEF", 4, "ABCD"}, CutCase{"AB", 10, "AB"},
                                           CutCase{"Aあい", 4, "Aあ"},  // 1 + 2 fits, 1 + 2 + 2 not
                                           CutCase{"Aあい", 5, "Aあい"},
                                           CutCase{"ｱｲｳ", 2, "ｱｲ"},  // half-width kana: 1 byte
                                           CutCase{"あ", 1, ""}));

TEST(Codec, Cp932PrefixLengthNeverSplitsACharacter) {
    std::string cp = ToCp932("あいう");
    EXPECT_EQ(Cp932PrefixLength(cp, 5), 4u);
    EXPECT_EQ(Cp932PrefixLength(cp, 6), 6u);
    EXPECT_EQ(Cp932PrefixLength(cp, 100), 6u);
}

}  // namespace
}  // namespace zorva
