#pragma once
// char16_t and wchar_t are both UTF-16 units on Windows: text crosses from the
// logic to the real API by a cast, here and nowhere else.
#include "win32/platform_types.h"

static_assert(sizeof(wchar_t) == sizeof(char16_t), "UTF-16 wchar_t");

namespace win32 {
inline const wchar_t* AsWide(const char16_t* text) { return reinterpret_cast<const wchar_t*>(text); }
inline wchar_t* AsWide(char16_t* text) { return reinterpret_cast<wchar_t*>(text); }
}  // namespace win32
