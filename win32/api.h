#pragma once
// The one seam between the tools' logic and Win32. Each operation bears the
// platform's name and takes the platform's arguments, with text as UTF-16
// char16_t. The Windows builds forward to the real API (windows_*.cpp, one
// file per area); the Linux build runs on an in-memory model of it (fake/).
#include <cstddef>

#include "win32/platform_types.h"

namespace win32 {

// Registry (advapi32)
LSTATUS RegOpenKeyExW(HKEY key, const char16_t* subKey, DWORD options, REGSAM desired, PHKEY result);
LSTATUS RegQueryInfoKeyW(HKEY key, DWORD* valueCount);  // the other figures are not asked for
LSTATUS RegEnumValueW(HKEY key, DWORD index, char16_t* valueName, DWORD* valueNameUnits,
                      BYTE* data, DWORD* dataBytes);  // type is not asked for
LSTATUS RegDeleteKeyW(HKEY key, const char16_t* subKey);
LSTATUS RegCreateKeyExW(HKEY key, const char16_t* subKey, DWORD options, REGSAM desired, PHKEY result,
                        DWORD* disposition);  // no class, no security attributes
LSTATUS RegSetValueExW(HKEY key, const char16_t* valueName, DWORD type, const BYTE* data, DWORD dataBytes);
LSTATUS RegCloseKey(HKEY key);

// Message boxes (user32), always without an owner window
int MessageBoxW(const char16_t* text, const char16_t* caption, UINT type);

// System messages and the local heap (kernel32); FormatMessageW always lets
// the system allocate the buffer and takes no source and no arguments.
DWORD FormatMessageW(DWORD flags, DWORD messageId, DWORD languageId, char16_t** allocatedBuffer);
HLOCAL LocalFree(HLOCAL memory);
DWORD GetLastError();

// Files (kernel32): no security attributes, no template file.
HANDLE CreateFileW(const char16_t* fileName, DWORD desiredAccess, DWORD shareMode, DWORD creationDisposition,
                   DWORD flagsAndAttributes);
BOOL CloseHandle(HANDLE handle);
BOOL DeleteFileW(const char16_t* fileName);

// Shell folders (shell32), without an owner window; `path` holds MAX_PATH units.
HRESULT SHGetFolderPathW(int folder, HANDLE token, DWORD flags, char16_t* path);

// Text conversion (kernel32), with no default character.
int WideCharToMultiByte(UINT codePage, DWORD flags, const char16_t* text, int units, char* output,
                        int outputBytes);
// Compares two texts unit by unit (kernel32); with ignoreCase, through the
// upper-case table the registry compares names with. CSTR_LESS_THAN,
// CSTR_EQUAL or CSTR_GREATER_THAN.
int CompareStringOrdinal(const char16_t* first, int firstUnits, const char16_t* second, int secondUnits,
                         BOOL ignoreCase);

// The standard streams of a console program. Output is written as wide
// text; an end of line is u'\n'.
void WriteStandardOutput(const char16_t* text, std::size_t units);
void FlushStandardOutput();
// One character of standard input; a negative value at its end or on error.
int ReadStandardInputCharacter();

}  // namespace win32
