#include "dsn_restore/long_member_name.h"

#include <algorithm>

#include "dsn_restore/backup_document.h"
#include "dsn_restore/text_conversion.h"

namespace dsn_restore {
namespace {

bool IsHighSurrogate(char16_t unit) { return unit >= 0xD800 && unit <= 0xDBFF; }
bool IsLowSurrogate(char16_t unit) { return unit >= 0xDC00 && unit <= 0xDFFF; }

}  // namespace

std::u16string ShortenedName(const std::u16string& name) {
  constexpr std::size_t kShown = 40;
  if (name.size() <= kShown) {
    return name;
  }
  const bool splitsAPair = IsHighSurrogate(name[kShown - 1]) && IsLowSurrogate(name[kShown]);
  return name.substr(0, splitsAPair ? kShown - 1 : kShown) + u"\u2026";
}

std::u16string NameLengthAgainstTheLimit(const std::u16string& name) {
  const std::u16string units = DecimalText(static_cast<long long>(name.size()));
  const std::u16string limit = DecimalText(static_cast<long long>(kMaxValueNameUnits));
  if (std::all_of(name.begin(), name.end(), [](char16_t unit) { return unit < 0x80; })) {
    return u"has " + units + u" characters, and the registry takes value names of at most " + limit;
  }
  return u"has " + units + u" UTF-16 units, and the registry takes value names of at most " + limit +
         u" UTF-16 units";
}

}  // namespace dsn_restore
