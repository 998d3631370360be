// A member name the registry would refuse, as its box shows it: cut after at
// most 40 UTF-16 units, never between the halves of a surrogate pair, and
// counted in characters only when every unit is ASCII. The names stand at
// each edge: the length of the cut, each end of both surrogate ranges on
// either side of the cut, lone halves, and the first unit past ASCII.
#include "dsn_restore/long_member_name.h"

#include <gtest/gtest.h>

#include "support/fake_platform_test.h"

namespace dsn_restore {
namespace {

std::u16string As(std::size_t count) { return std::u16string(count, u'a'); }

struct ShortenedCase {
  const char* name;
  std::u16string memberName;
  std::u16string shown;
};

void PrintTo(const ShortenedCase& c, std::ostream* os) { *os << c.name; }

class ShortenedNameTest : public ::testing::TestWithParam<ShortenedCase> {};

TEST_P(ShortenedNameTest, CutsAfterFortyUnitsAndNeverInsideAPair) {
  EXPECT_EQ(ShortenedName(GetParam().memberName), GetParam().shown)
      << win32::fake::Utf8ForPrinting(ShortenedName(GetParam().memberName));
}

constexpr char16_t kCut = u'\u2026';

INSTANTIATE_TEST_SUITE_P(
    Edges, ShortenedNameTest,
    ::testing::Values(
        ShortenedCase{"FortyUnitsStayWhole", As(40), As(40)},
        ShortenedCase{"FortyOneUnitsAreCut", As(41), As(40) + kCut},
        // A pair across the cut (units 40 and 41) goes whole: cut at 39. Each
        // end of each range, on its own side of the cut.
        ShortenedCase{"PairD800DC00AcrossTheCut", As(39) + u"\xD800\xDC00" + As(5), As(39) + kCut},
        ShortenedCase{"PairDBFFDFFFAcrossTheCut", As(39) + u"\xDBFF\xDFFF" + As(5), As(39) + kCut},
        ShortenedCase{"PairD800DFFFAcrossTheCut", As(39) + u"\xD800\xDFFF" + As(5), As(39) + kCut},
        ShortenedCase{"PairDBFFDC00AcrossTheCut", As(39) + u"\xDBFF\xDC00" + As(5), As(39) + kCut},
        // Pairs that the cut does not split: just before it, just after it.
        ShortenedCase{"PairEndingAtTheCut", As(38) + u"\xD800\xDC00" + As(5), As(38) + u"\xD800\xDC00" + kCut},
        ShortenedCase{"PairStartingAfterTheCut", As(40) + u"\xD800\xDC00", As(40) + kCut},
        // Lone halves are ordinary units: a high one last before the cut, a
        // low one first after it, and a low half before a high one.
        ShortenedCase{"LoneHighBeforeTheCut", As(39) + u"\xDBFF" + As(5), As(39) + u"\xDBFF" + kCut},
        ShortenedCase{"LoneLowAfterTheCut", As(40) + u"\xDC00" + As(5), As(40) + kCut},
        ShortenedCase{"LowThenHighAcrossTheCut", As(39) + u"\xDC00\xD800" + As(5), As(39) + u"\xDC00" + kCut},
        // Units just outside the surrogate ranges.
        ShortenedCase{"D7FFThenDC00AcrossTheCut", As(39) + u"\xD7FF\xDC00" + As(5), As(39) + u"\xD7FF" + kCut},
        ShortenedCase{"D800ThenE000AcrossTheCut", As(39) + u"\xD800\xE000" + As(5), As(39) + u"\xD800" + kCut}),
    [](const auto& info) { return std::string(info.param.name); });

struct LengthCase {
  const char* name;
  std::u16string memberName;
  std::u16string length;
};

void PrintTo(const LengthCase& c, std::ostream* os) { *os << c.name; }

class NameLengthTest : public ::testing::TestWithParam<LengthCase> {};

TEST_P(NameLengthTest, CountsCharactersOnlyWhenEveryUnitIsAscii) {
  EXPECT_EQ(NameLengthAgainstTheLimit(GetParam().memberName), GetParam().length);
}

const std::u16string kInUnits = u" UTF-16 units, and the registry takes value names of at most 16383 UTF-16 units";

INSTANTIATE_TEST_SUITE_P(
    Edges, NameLengthTest,
    ::testing::Values(
        LengthCase{"LastAsciiUnit", As(2) + u"\x7F",
                   u"has 3 characters, and the registry takes value names of at most 16383"},
        LengthCase{"FirstUnitPastAscii", As(2) + u"\x80", u"has 3" + kInUnits},
        LengthCase{"PairCountsTwo", u"a\xD800\xDC00", u"has 3" + kInUnits}),
    [](const auto& info) { return std::string(info.param.name); });

}  // namespace
}  // namespace dsn_restore
