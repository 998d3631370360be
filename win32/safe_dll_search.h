#pragma once
// The first call of each program's entry. Windows looks for a DLL that is not
// a KnownDLL in the program's own folder first, and system code loads such
// DLLs by name (the themed message box brings in uxtheme, for one). An
// elevated tool run from a Downloads folder would load whatever was planted
// there. From here on, DLLs load from System32 only.
//
// Reached through GetProcAddress: a Windows 7 without KB2533623 has no
// SetDefaultDllDirectories, and the program must still start there.
#include <windows.h>

namespace win32 {

// Where DLLs load from for the rest of the run: `flags` as
// SetDefaultDllDirectories takes them.
inline void RestrictDllSearch(DWORD flags) {
  using SetDefaultDllDirectoriesFunction = BOOL(WINAPI*)(DWORD);
  const HMODULE kernel32 = ::GetModuleHandleW(L"kernel32.dll");
  if (kernel32 == nullptr) {
    return;
  }
  const auto setDefaultDllDirectories = reinterpret_cast<SetDefaultDllDirectoriesFunction>(
      reinterpret_cast<void*>(::GetProcAddress(kernel32, "SetDefaultDllDirectories")));
  if (setDefaultDllDirectories != nullptr) {
    setDefaultDllDirectories(flags);
  }
}

inline void RestrictDllSearchToSystem32() { RestrictDllSearch(LOAD_LIBRARY_SEARCH_SYSTEM32); }

}  // namespace win32
