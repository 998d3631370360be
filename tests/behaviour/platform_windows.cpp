// The cases' platform on a real Win32: the scratch key and folder made and
// removed with the real API, what the user or another program does done the
// way they do it, and the platform's own conversions and upper case.
#include "tests/behaviour/platform.h"
// After <windows.h>, which platform.h brings in.
#include <sddl.h>

#include <cstdio>
#include <string>

#include "win32/windows_text.h"

namespace behaviour {
namespace {

using win32::AsWide;

std::vector<std::u16string>& KeysWithRightsWithdrawn() {
  static std::vector<std::u16string> keys;
  return keys;
}

// The files another program holds open until the case ends.
std::vector<HANDLE>& HeldFiles() {
  static std::vector<HANDLE> held;
  return held;
}

void ReleaseHeldFiles() {
  for (const HANDLE file : HeldFiles()) {
    ::CloseHandle(file);
  }
  HeldFiles().clear();
}

bool SetKeySecurity(const std::u16string& path, const std::u16string& sddl) {
  HKEY key = nullptr;
  if (::RegOpenKeyExW(HKEY_CURRENT_USER, AsWide(path.c_str()), 0, READ_CONTROL | WRITE_DAC, &key) != 0) {
    return false;
  }
  PSECURITY_DESCRIPTOR descriptor = nullptr;
  bool set = ::ConvertStringSecurityDescriptorToSecurityDescriptorW(AsWide(sddl.c_str()), SDDL_REVISION_1, &descriptor,
                                                                    nullptr) &&
             ::RegSetKeySecurity(key, DACL_SECURITY_INFORMATION, descriptor) == ERROR_SUCCESS;
  ::LocalFree(descriptor);
  ::RegCloseKey(key);
  return set;
}

// Empties a folder and removes it; false when something in it stays.
bool RemoveFolder(const std::u16string& folder) {
  WIN32_FIND_DATAW found;
  const HANDLE search = ::FindFirstFileW(AsWide((folder + u"\\*").c_str()), &found);
  bool removed = true;
  if (search != INVALID_HANDLE_VALUE) {
    do {
      const std::u16string name(reinterpret_cast<const char16_t*>(found.cFileName));
      if (name == u"." || name == u"..") {
        continue;
      }
      const std::u16string path = folder + u"\\" + name;
      if (found.dwFileAttributes & FILE_ATTRIBUTE_DIRECTORY) {
        removed &= RemoveFolder(path);
      } else {
        ::SetFileAttributesW(AsWide(path.c_str()), FILE_ATTRIBUTE_NORMAL);
        removed &= ::DeleteFileW(AsWide(path.c_str())) != FALSE;
      }
    } while (::FindNextFileW(search, &found));
    ::FindClose(search);
  }
  return ::RemoveDirectoryW(AsWide(folder.c_str())) != FALSE && removed;
}

void RemoveScratchKey() {
  for (const std::u16string& path : KeysWithRightsWithdrawn()) {
    SetKeySecurity(path, u"D:(A;;KA;;;WD)");
  }
  KeysWithRightsWithdrawn().clear();
  ::RegDeleteTreeW(HKEY_CURRENT_USER, AsWide(kScratchKey));
  ::RegDeleteKeyW(HKEY_CURRENT_USER, AsWide(kScratchKey));
}

}  // namespace

Platform ThisPlatform() {
  // Wine's ntdll says which Wine it is; Windows' has no such export.
  static const bool wine = ::GetProcAddress(::GetModuleHandleW(L"ntdll.dll"), "wine_get_version") != nullptr;
  return wine ? Platform::kWine : Platform::kWindows;
}

const char* PlatformName() { return ThisPlatform() == Platform::kWine ? "Wine" : "Windows"; }

void BeginCase() {
  // What an interrupted run may have left.
  ReleaseHeldFiles();
  RemoveScratchKey();
  RemoveFolder(kScratchFolder);
  HKEY key = nullptr;
  if (::RegCreateKeyExW(HKEY_CURRENT_USER, AsWide(kScratchKey), 0, nullptr, 0, KEY_ALL_ACCESS, nullptr, &key,
                        nullptr) == ERROR_SUCCESS) {
    ::RegCloseKey(key);
  }
  ::CreateDirectoryW(AsWide(kScratchFolder), nullptr);
}

std::vector<std::string> EndCase() {
  std::vector<std::string> left;
  ReleaseHeldFiles();
  RemoveScratchKey();
  if (!RemoveFolder(kScratchFolder)) {
    left.push_back("the scratch folder could not be emptied: a file of the case is still open");
  }
  return left;
}

bool MakeFolder(const std::u16string& path) { return ::CreateDirectoryW(AsWide(path.c_str()), nullptr) != FALSE; }

bool SetFileAttributesOf(const std::u16string& path, DWORD attributes) {
  return ::SetFileAttributesW(AsWide(path.c_str()), attributes) != FALSE;
}

DWORD FileAttributesOf(const std::u16string& path) { return ::GetFileAttributesW(AsWide(path.c_str())); }

namespace other_program {

void DeleteKey(const std::u16string& path) { ::RegDeleteTreeW(HKEY_CURRENT_USER, AsWide(path.c_str())); }

void MakeKey(const std::u16string& path, const std::vector<TextValue>& values) {
  HKEY key = nullptr;
  if (::RegCreateKeyExW(HKEY_CURRENT_USER, AsWide(path.c_str()), 0, nullptr, 0, KEY_ALL_ACCESS, nullptr, &key,
                        nullptr) != ERROR_SUCCESS) {
    return;
  }
  for (const TextValue& value : values) {
    ::RegSetValueExW(key, AsWide(value.name.c_str()), 0, REG_SZ, reinterpret_cast<const BYTE*>(value.text.c_str()),
                     static_cast<DWORD>((value.text.size() + 1) * sizeof(char16_t)));
  }
  ::RegCloseKey(key);
}

void SetValueOf(const std::u16string& path, const TextValue& value) {
  HKEY key = nullptr;
  if (::RegOpenKeyExW(HKEY_CURRENT_USER, AsWide(path.c_str()), 0, KEY_SET_VALUE, &key) == ERROR_SUCCESS) {
    ::RegSetValueExW(key, AsWide(value.name.c_str()), 0, REG_SZ, reinterpret_cast<const BYTE*>(value.text.c_str()),
                     static_cast<DWORD>((value.text.size() + 1) * sizeof(char16_t)));
    ::RegCloseKey(key);
  }
}

void DeleteValueOf(const std::u16string& path, const std::u16string& name) {
  HKEY key = nullptr;
  if (::RegOpenKeyExW(HKEY_CURRENT_USER, AsWide(path.c_str()), 0, KEY_SET_VALUE, &key) == ERROR_SUCCESS) {
    ::RegDeleteValueW(key, AsWide(name.c_str()));
    ::RegCloseKey(key);
  }
}

void WithdrawRights(const std::u16string& path, REGSAM rights) {
  char sddl[64];
  std::snprintf(sddl, sizeof sddl, "D:(D;;0x%lX;;;WD)(A;;KA;;;WD)", static_cast<unsigned long>(rights));
  if (SetKeySecurity(path, std::u16string(sddl, sddl + std::char_traits<char>::length(sddl)))) {
    KeysWithRightsWithdrawn().push_back(path);
  }
}

void MakeFile(const std::u16string& path) {
  const HANDLE file =
      ::CreateFileW(AsWide(path.c_str()), GENERIC_WRITE, 0, nullptr, CREATE_NEW, FILE_ATTRIBUTE_NORMAL, nullptr);
  if (file != INVALID_HANDLE_VALUE) {
    ::CloseHandle(file);
  }
}

void HoldOpen(const std::u16string& path, DWORD shareMode) {
  const HANDLE file = ::CreateFileW(AsWide(path.c_str()), GENERIC_READ, shareMode, nullptr, OPEN_ALWAYS,
                                    FILE_ATTRIBUTE_NORMAL, nullptr);
  if (file != INVALID_HANDLE_VALUE) {
    HeldFiles().push_back(file);
  }
}

void MakeReadOnly(const std::u16string& path) {
  const DWORD attributes = ::GetFileAttributesW(AsWide(path.c_str()));
  if (attributes != INVALID_FILE_ATTRIBUTES) {
    ::SetFileAttributesW(AsWide(path.c_str()), (attributes & ~FILE_ATTRIBUTE_NORMAL) | FILE_ATTRIBUTE_READONLY);
  }
}

void RemoveFile(const std::u16string& path) { ::DeleteFileW(AsWide(path.c_str())); }

void RemoveFolder(const std::u16string& path) {
  WIN32_FIND_DATAW found;
  const HANDLE search = ::FindFirstFileW(AsWide((path + u"\\*").c_str()), &found);
  if (search != INVALID_HANDLE_VALUE) {
    do {
      if (!(found.dwFileAttributes & FILE_ATTRIBUTE_DIRECTORY)) {
        const std::u16string name(reinterpret_cast<const char16_t*>(found.cFileName));
        ::DeleteFileW(AsWide((path + u"\\" + name).c_str()));
      }
    } while (::FindNextFileW(search, &found));
    ::FindClose(search);
  }
  ::RemoveDirectoryW(AsWide(path.c_str()));
}

}  // namespace other_program

std::optional<Converted> PlatformToUtf8(std::u16string_view text, DWORD flags) {
  Converted converted;
  const int units = static_cast<int>(text.size());
  const int bytes = ::WideCharToMultiByte(CP_UTF8, flags, AsWide(text.data()), units, nullptr, 0, nullptr, nullptr);
  if (bytes > 0) {
    converted.bytes.resize(static_cast<std::size_t>(bytes));
    converted.result = ::WideCharToMultiByte(CP_UTF8, flags, AsWide(text.data()), units, converted.bytes.data(), bytes,
                                             nullptr, nullptr);
  }
  converted.error = converted.result == 0 ? ::GetLastError() : 0;
  return converted;
}

std::optional<Converted> PlatformFromUtf8(std::string_view bytes, DWORD flags) {
  Converted converted;
  const int count = static_cast<int>(bytes.size());
  const int units = ::MultiByteToWideChar(CP_UTF8, flags, bytes.data(), count, nullptr, 0);
  if (units > 0) {
    converted.units.resize(static_cast<std::size_t>(units));
    converted.result =
        ::MultiByteToWideChar(CP_UTF8, flags, bytes.data(), count, AsWide(converted.units.data()), units);
  }
  converted.error = converted.result == 0 ? ::GetLastError() : 0;
  return converted;
}

std::optional<char16_t> PlatformUpcase(char16_t unit) {
  // The table the kernel upcases names with (RtlUpcaseUnicodeChar, ntdll).
  using Upcase = WCHAR(NTAPI*)(WCHAR);
  static const auto upcase = reinterpret_cast<Upcase>(
      reinterpret_cast<void*>(::GetProcAddress(::GetModuleHandleW(L"ntdll.dll"), "RtlUpcaseUnicodeChar")));
  if (upcase == nullptr) {
    return std::nullopt;
  }
  return static_cast<char16_t>(upcase(static_cast<WCHAR>(unit)));
}

}  // namespace behaviour
