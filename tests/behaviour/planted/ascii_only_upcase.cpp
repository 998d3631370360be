// Planted for the suite to fail on: a model that folds ASCII letters only,
// as it once did for all but Latin-1.
#include "win32/fake/upcase_table.h"

namespace win32::fake {

char16_t UpcaseUnit(char16_t unit) { return unit >= u'a' && unit <= u'z' ? static_cast<char16_t>(unit - 0x20) : unit; }

}  // namespace win32::fake
