// The model's upper-case table, which it folds registry and file names with,
// against the platform's own, unit by unit over the whole BMP.
#include "tests/behaviour/behaviour_case.h"
#include "tests/behaviour/platform.h"
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

}  // namespace
}  // namespace behaviour
