// The seam's Windows side for the registry: the real API, no decisions.
#include "win32/api.h"
#include "win32/windows_text.h"

namespace win32 {

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

LSTATUS RegCreateKeyExW(HKEY key, const char16_t* subKey, DWORD options, REGSAM desired, PHKEY result,
                        DWORD* disposition) {
  return ::RegCreateKeyExW(key, AsWide(subKey), 0, nullptr, options, desired, nullptr, result, disposition);
}

LSTATUS RegSetValueExW(HKEY key, const char16_t* valueName, DWORD type, const BYTE* data, DWORD dataBytes) {
  return ::RegSetValueExW(key, AsWide(valueName), 0, type, data, dataBytes);
}

LSTATUS RegCloseKey(HKEY key) { return ::RegCloseKey(key); }

}  // namespace win32
