#pragma once
// The one seam between the tools' logic and Win32. Each operation bears the
// platform's name and takes the platform's arguments, with text as UTF-16
// char16_t. The Windows builds forward to the real API (windows_api.cpp); the
// Linux build runs on an in-memory model of it (fake/).
#include "win32/platform_types.h"

namespace win32 {

// Registry (advapi32)
LSTATUS RegOpenKeyExW(HKEY key, const char16_t* subKey, DWORD options, REGSAM desired, PHKEY result);
LSTATUS RegQueryInfoKeyW(HKEY key, DWORD* valueCount);  // the other figures are not asked for
LSTATUS RegEnumValueW(HKEY key, DWORD index, char16_t* valueName, DWORD* valueNameUnits,
                      BYTE* data, DWORD* dataBytes);  // type is not asked for
LSTATUS RegDeleteKeyW(HKEY key, const char16_t* subKey);
LSTATUS RegCreateKeyExW(HKEY key, const char16_t* subKey, DWORD options, REGSAM desired,
                        PHKEY result);  // no class, no security attributes, no disposition
LSTATUS RegSetValueExW(HKEY key, const char16_t* valueName, DWORD type, const BYTE* data, DWORD dataBytes);
LSTATUS RegCloseKey(HKEY key);

// Message boxes (user32), always without an owner window
int MessageBoxW(const char16_t* text, const char16_t* caption, UINT type);

// System messages and the local heap (kernel32); FormatMessageW always lets
// the system allocate the buffer and takes no source and no arguments.
DWORD FormatMessageW(DWORD flags, DWORD messageId, DWORD languageId, char16_t** allocatedBuffer);
HLOCAL LocalFree(HLOCAL memory);

}  // namespace win32
