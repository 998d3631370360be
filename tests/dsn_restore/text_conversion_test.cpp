#include "dsn_restore/text_conversion.h"

#include <gtest/gtest.h>

namespace dsn_restore {
namespace {

struct RoundTrip {
  const char* name;
  std::u16string utf16;
  std::string utf8;
};

void PrintTo(const RoundTrip& c, std::ostream* os) { *os << c.name; }

class TextConversionRoundTrip : public ::testing::TestWithParam<RoundTrip> {};

TEST_P(TextConversionRoundTrip, NarrowsToUtf8AndWidensBack) {
  const RoundTrip& c = GetParam();
  const Utf8Text narrow = NarrowText(c.utf16);
  EXPECT_FALSE(narrow.unpairedSurrogateAt);
  EXPECT_EQ(narrow.bytes, c.utf8);
  EXPECT_EQ(WidenText(c.utf8.c_str()), c.utf16);
}

INSTANTIATE_TEST_SUITE_P(
    Texts, TextConversionRoundTrip,
    ::testing::Values(RoundTrip{"Empty", u"", ""},
                      RoundTrip{"Ascii", u"Server=db1;Port=5432", "Server=db1;Port=5432"},
                      RoundTrip{"LatinSmallEAcute", u"caf\u00e9", "caf\xC3\xA9"},
                      RoundTrip{"ULowByteZero", u"\u0100", "\xC4\x80"},
                      RoundTrip{"Euro", u"\u20ac", "\xE2\x82\xAC"},
                      RoundTrip{"Cjk", u"\u6570\u636e", "\xE6\x95\xB0\xE6\x8D\xAE"},
                      RoundTrip{"EmojiBeyondBmp", u"\U0001F600", "\xF0\x9F\x98\x80"},
                      RoundTrip{"LastBmpUnit", u"\uFFFF", "\xEF\xBF\xBF"},
                      RoundTrip{"LastCodePoint", u"\U0010FFFF", "\xF4\x8F\xBF\xBF"}),
    [](const auto& info) { return std::string(info.param.name); });

TEST(NarrowText, StopsAtAnUnpairedSurrogateAndSaysWhere) {
  struct Case {
    std::u16string text;
    std::size_t at;
  };
  const Case cases[] = {
      {u"ab\xD800", 2},         // high surrogate at the end
      {u"ab\xD800x", 2},        // high surrogate followed by a non-surrogate
      {u"\u00e9\xDC00", 2},     // low surrogate without a high one, after two bytes
      {u"\xDBFF\xDBFF", 0},     // two high surrogates
  };
  for (const Case& c : cases) {
    const Utf8Text narrow = NarrowText(c.text);
    ASSERT_TRUE(narrow.unpairedSurrogateAt);
    EXPECT_EQ(*narrow.unpairedSurrogateAt, c.at);
  }
}

TEST(WidenText, EndsAtTheFirstZeroByte) {
  const char text[] = "Port\0Secret";
  EXPECT_EQ(WidenText(text), u"Port");
}

TEST(WidenText, MalformedSequencesBecomeReplacementCharacters) {
  EXPECT_EQ(WidenText("a\xE9z"), u"a\uFFFDz");          // a lone Latin-1 byte
  EXPECT_EQ(WidenText("\xC3"), u"\uFFFD");              // cut short by the end
  EXPECT_EQ(WidenText("\xC0\xAFz"), u"\uFFFDz");      // overlong form
  EXPECT_EQ(WidenText("\xED\xA0\x80z"), u"\uFFFDz");  // encoded surrogate
}

TEST(DecimalText, WritesPlainDigits) {
  EXPECT_EQ(DecimalText(0), u"0");
  EXPECT_EQ(DecimalText(1234567), u"1234567");
}

}  // namespace
}  // namespace dsn_restore
