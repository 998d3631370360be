// The model's upper-case table, which it folds registry and file names with,
// against the platform's own, unit by unit over the whole BMP; and
// CompareStringOrdinal, with which dsn-restore tells which of a backup's
// member names the registry takes for one.
#include "tests/behaviour/behaviour_case.h"
#include "tests/behaviour/platform.h"
#include "win32/api.h"
#include "win32/fake/upcase_table.h"

namespace behaviour {
namespace {

BEHAVIOUR_CASE(LetterCase, ModelTableIsThePlatformsForEveryUnit) {
  if (!PlatformUpcase(u'a')) {
    NotHere("the model's table is what it folds names with; Registry.NamesFoldLetterCaseUnitByUnit shows it");
    return;
  }
  int differing = 0;
  for (char32_t unit = 0; unit <= 0xFFFF; ++unit) {
    const auto u = static_cast<char16_t>(unit);
    const char16_t platform = *PlatformUpcase(u);
    if (platform != win32::fake::UpcaseUnit(u) && ++differing <= 20) {
      const Note note("unit " + Describe(u));
      CHECK_EQ(win32::fake::UpcaseUnit(u), platform);
    }
  }
  CHECK_EQ(differing, 0);
}

// Ignoring letter case, two names compare equal exactly where the registry
// takes them for one (Registry.NamesFoldLetterCaseUnitByUnit); otherwise, and
// with letter case, units compare by their values, a shorter text first.
BEHAVIOUR_CASE(LetterCase, CompareStringOrdinalFoldsAsTheRegistryDoes) {
  struct Row {
    const char* name;
    std::u16string first;
    std::u16string second;
    BOOL ignoreCase;
    int expected;
  };
  const Row rows[] = {
      {"ASCII, ignoring case", u"Server", u"SERVER", TRUE, CSTR_EQUAL},
      {"ASCII, with case", u"Server", u"SERVER", FALSE, CSTR_GREATER_THAN},
      {"Latin-1", u"\u00C9t\u00E9", u"\u00E9T\u00C9", TRUE, CSTR_EQUAL},
      {"Greek", u"\u0391\u039B\u03A6\u0391", u"\u03B1\u03BB\u03C6\u03B1", TRUE, CSTR_EQUAL},
      {"Cyrillic", u"\u0414\u0410\u041D", u"\u0434\u0430\u043D", TRUE, CSTR_EQUAL},
      {"Deseret, outside the BMP", u"\U00010400", u"\U00010428", TRUE, CSTR_LESS_THAN},
      {"final sigma", u"\u03A3", u"\u03C2", TRUE, CSTR_LESS_THAN},
      {"dotless i", u"I", u"\u0131", TRUE, CSTR_LESS_THAN},
      {"a shorter text first", u"Port", u"PORTS", TRUE, CSTR_LESS_THAN},
      {"empty names", u"", u"", TRUE, CSTR_EQUAL},
  };
  for (const Row& row : rows) {
    const Note note(row.name);
    CHECK_EQ(win32::CompareStringOrdinal(row.first.data(), static_cast<int>(row.first.size()), row.second.data(),
                                         static_cast<int>(row.second.size()), row.ignoreCase),
             row.expected);
  }
}

}  // namespace
}  // namespace behaviour
