// The cases' platform on the model: the model's own controls stand in for
// what the user or another program does, and each case starts on a clean
// model with its scratch key and folder.
#include "tests/behaviour/platform.h"
#include "win32/api.h"
#include "win32/fake/fake_win32.h"
#include "win32/unique_handles.h"

namespace behaviour {

Platform ThisPlatform() { return Platform::kModel; }
const char* PlatformName() { return "the model"; }

void BeginCase() {
  win32::fake::Reset();
  win32::fake::AddFolder(kScratchFolder);
  win32::UniqueHkey key;
  win32::RegCreateKeyExW(HKEY_CURRENT_USER, kScratchKey, REG_OPTION_NON_VOLATILE, KEY_ALL_ACCESS, key.put(), nullptr);
}

std::vector<std::string> EndCase() {
  std::vector<std::string> left;
  if (win32::fake::OpenKeyCount() != 0) {
    left.push_back("a registry key was left open");
  }
  if (win32::fake::OpenFileCount() != 0) {
    left.push_back("a file was left open");
  }
  if (win32::fake::LocalAllocationCount() != 0) {
    left.push_back("a system text was not freed");
  }
  return left;
}

bool MakeFolder(const std::u16string& path) {
  win32::fake::AddFolder(path);
  return true;
}

bool SetFileAttributesOf(const std::u16string& path, DWORD attributes) {
  if (!win32::fake::FileExists(path)) {
    return false;
  }
  win32::fake::ChangeFileAttributes(path, attributes);
  return true;
}

DWORD FileAttributesOf(const std::u16string& path) {
  return win32::fake::FileAttributes(path).value_or(INVALID_FILE_ATTRIBUTES);
}

bool WithdrawKeyRights(const std::u16string& path, REGSAM rights) {
  if (!win32::fake::KeyExists(HKEY_CURRENT_USER, path)) {
    return false;
  }
  win32::fake::DenyAccess(HKEY_CURRENT_USER, path, rights);
  return true;
}

std::optional<Converted> PlatformToUtf8(std::u16string_view, DWORD) { return std::nullopt; }
std::optional<Converted> PlatformFromUtf8(std::string_view, DWORD) { return std::nullopt; }
std::optional<char16_t> PlatformUpcase(char16_t) { return std::nullopt; }

}  // namespace behaviour
