// CompareStringOrdinal on the fake: unit by unit, through the same upper-case
// table as the registry's names when letter case is to be ignored.
#include <string>

#include "win32/api.h"
#include "win32/fake/fake_state.h"
#include "win32/fake/upcase_table.h"

namespace win32 {

int CompareStringOrdinal(const char16_t* first, int firstUnits, const char16_t* second, int secondUnits,
                         BOOL ignoreCase) {
  fake::CountCall(fake::Call::CompareStringOrdinal);
  const auto text = [](const char16_t* units, int count) {
    return count < 0 ? std::u16string_view(units) : std::u16string_view(units, static_cast<std::size_t>(count));
  };
  const std::u16string_view a = text(first, firstUnits);
  const std::u16string_view b = text(second, secondUnits);
  for (std::size_t i = 0; i < a.size() && i < b.size(); ++i) {
    const char16_t x = ignoreCase ? fake::UpcaseUnit(a[i]) : a[i];
    const char16_t y = ignoreCase ? fake::UpcaseUnit(b[i]) : b[i];
    if (x != y) {
      return x < y ? CSTR_LESS_THAN : CSTR_GREATER_THAN;
    }
  }
  return a.size() == b.size() ? CSTR_EQUAL : a.size() < b.size() ? CSTR_LESS_THAN : CSTR_GREATER_THAN;
}

}  // namespace win32
