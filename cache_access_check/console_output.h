#pragma once
// Writing to standard output, as wide text.
#include <string>
#include <string_view>

#include "win32/api.h"

namespace cache_access_check {

inline void Write(std::u16string_view text) { win32::WriteStandardOutput(text.data(), text.size()); }

// Ends the line and flushes, as std::endl does.
inline void WriteLine(std::u16string_view text) {
  Write(text);
  Write(u"\n");
  win32::FlushStandardOutput();
}

// Unsigned decimal: no sign, no leading zeros, no separators.
inline std::u16string DecimalText(unsigned long long number) {
  const std::string digits = std::to_string(number);
  return std::u16string(digits.begin(), digits.end());
}

}  // namespace cache_access_check
