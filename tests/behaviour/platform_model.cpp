// The cases' platform on the model: the model's own controls stand in for
// what the user does, another program is the one the interference sweep
// runs, and each case starts on a clean model with its scratch key and folder.
#include "tests/behaviour/platform.h"
#include "win32/api.h"
#include "win32/fake/fake_win32.h"
#include "win32/fake/other_program.h"
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

namespace other_program {

namespace other = win32::fake::other_program;

void DeleteKey(const std::u16string& path) { other::DeleteKey(HKEY_CURRENT_USER, path); }

void MakeKey(const std::u16string& path, const std::vector<TextValue>& values) {
  std::vector<win32::fake::RegistryValue> stored;
  for (const TextValue& value : values) {
    stored.push_back({value.name, REG_SZ, win32::fake::TextBytes(value.text)});
  }
  other::MakeKey(HKEY_CURRENT_USER, path, stored);
}

void SetValueOf(const std::u16string& path, const TextValue& value) {
  other::SetValueOf(HKEY_CURRENT_USER, path, {value.name, REG_SZ, win32::fake::TextBytes(value.text)});
}

void DeleteValueOf(const std::u16string& path, const std::u16string& name) {
  other::DeleteValueOf(HKEY_CURRENT_USER, path, name);
}

void WithdrawRights(const std::u16string& path, REGSAM rights) {
  other::WithdrawRights(HKEY_CURRENT_USER, path, rights);
}

void MakeFile(const std::u16string& path) { other::MakeFile(path); }
void HoldOpen(const std::u16string& path, DWORD shareMode) { other::HoldOpen(path, shareMode); }
void MakeReadOnly(const std::u16string& path) { other::MakeReadOnly(path); }
void RemoveFile(const std::u16string& path) { other::RemoveFile(path); }
void RemoveFolder(const std::u16string& path) { other::RemoveFolder(path); }

}  // namespace other_program

std::optional<Converted> PlatformToUtf8(std::u16string_view, DWORD) { return std::nullopt; }
std::optional<Converted> PlatformFromUtf8(std::string_view, DWORD) { return std::nullopt; }
std::optional<char16_t> PlatformUpcase(char16_t) { return std::nullopt; }

}  // namespace behaviour
