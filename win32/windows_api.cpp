// The seam's Windows side: forwards each operation to the real API, with no
// decisions of its own. char16_t and wchar_t are both UTF-16 units on Windows,
// so text crosses the boundary by a cast, here and nowhere else.
#include "win32/api.h"

static_assert(sizeof(wchar_t) == sizeof(char16_t), "UTF-16 wchar_t");

namespace win32 {
namespace {
const wchar_t* AsWide(const char16_t* text) { return reinterpret_cast<const wchar_t*>(text); }
wchar_t* AsWide(char16_t* text) { return reinterpret_cast<wchar_t*>(text); }
}  // namespace

LSTATUS RegOpenKeyExW(HKEY key, const char16_t* subKey, DWORD options, REGSAM desired, PHKEY result) {
  return ::RegOpenKeyExW(key, AsWide(subKey), options, desired, result);
}

LSTATUS RegQueryInfoKeyW(HKEY key, DWORD* valueCount) {
  return ::RegQueryInfoKeyW(key, nullptr, nullptr, nullptr, nullptr, nullptr, nullptr, valueCount, nullptr,
                            nullptr, nullptr, nullptr);
}

LSTATUS RegEnumValueW(HKEY key, DWORD index, char16_t* valueName, DWORD* valueNameUnits, BYTE* data,
                      DWORD* dataBytes) {
  return ::RegEnumValueW(key, index, AsWide(valueName), valueNameUnits, nullptr, nullptr, data, dataBytes);
}

LSTATUS RegDeleteKeyW(HKEY key, const char16_t* subKey) { return ::RegDeleteKeyW(key, AsWide(subKey)); }

LSTATUS RegCreateKeyExW(HKEY key, const char16_t* subKey, DWORD options, REGSAM desired, PHKEY result) {
  return ::RegCreateKeyExW(key, AsWide(subKey), 0, nullptr, options, desired, nullptr, result, nullptr);
}

LSTATUS RegSetValueExW(HKEY key, const char16_t* valueName, DWORD type, const BYTE* data, DWORD dataBytes) {
  return ::RegSetValueExW(key, AsWide(valueName), 0, type, data, dataBytes);
}

LSTATUS RegCloseKey(HKEY key) { return ::RegCloseKey(key); }

int MessageBoxW(const char16_t* text, const char16_t* caption, UINT type) {
  return ::MessageBoxW(nullptr, AsWide(text), AsWide(caption), type);
}

DWORD FormatMessageW(DWORD flags, DWORD messageId, DWORD languageId, char16_t** allocatedBuffer) {
  // With FORMAT_MESSAGE_ALLOCATE_BUFFER the buffer argument receives the
  // address of the text that the system allocates.
  return ::FormatMessageW(flags, nullptr, messageId, languageId, reinterpret_cast<LPWSTR>(allocatedBuffer), 0,
                          nullptr);
}

HLOCAL LocalFree(HLOCAL memory) { return ::LocalFree(memory); }

}  // namespace win32
