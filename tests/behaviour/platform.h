#pragma once
// What the cases need besides the seam, with one implementation for the
// model (platform_model.cpp) and one for a real Win32 (platform_windows.cpp):
// where they run, their scratch key and folder, and what the user or another
// program does that the seam does not offer. A case sets its state up through
// the seam or through these, never through the model's own controls, so that
// it means the same on both sides.
#include <optional>
#include <string>
#include <string_view>
#include <vector>

#include "win32/platform_types.h"

namespace behaviour {

enum class Platform { kModel, kWindows, kWine };
Platform ThisPlatform();
inline bool OnWine() { return ThisPlatform() == Platform::kWine; }
const char* PlatformName();

// Below HKEY_CURRENT_USER: the case's key, empty when it starts.
inline constexpr char16_t kScratchKey[] = u"Software\\Halvernik behaviour cases";
// Below the current directory: the case's folder, empty when it starts.
inline constexpr char16_t kScratchFolder[] = u".\\behaviour cases";

// Before each case: the scratch key and folder, made anew.
void BeginCase();
// After each case: removes them, and says what the case left behind that
// it should not have (a key or file still open, a text not freed).
std::vector<std::string> EndCase();

// The user or another program makes a folder (mkdir).
bool MakeFolder(const std::u16string& path);
// The user or another program changes a file's attributes (attrib).
bool SetFileAttributesOf(const std::u16string& path, DWORD attributes);
// GetFileAttributesW: INVALID_FILE_ATTRIBUTES when the file is missing.
DWORD FileAttributesOf(const std::u16string& path);

// Another program at work while a case runs: each action is one the
// interference sweep has another program take (win32/fake/other_program.h).
// On the model they are those very functions; on a real Win32, the calls
// such a program makes. As there, an action that meets a missing key or file
// does nothing, and a call of it that is refused leaves the rest done. Keys
// are below HKEY_CURRENT_USER.
namespace other_program {

// A REG_SZ value, stored with its NUL.
struct TextValue {
  std::u16string name;
  std::u16string text;
};

// Deletes the key with its values and subkeys (RegDeleteTreeW).
void DeleteKey(const std::u16string& path);
// Makes the key and any parent missing (RegCreateKeyExW), then sets the values in it.
void MakeKey(const std::u16string& path, const std::vector<TextValue>& values = {});
void SetValueOf(const std::u16string& path, const TextValue& value);
// RegDeleteValueW.
void DeleteValueOf(const std::u16string& path, const std::u16string& name);
// An administrator withdraws rights from every user: the key's security
// descriptor denies them.
void WithdrawRights(const std::u16string& path, REGSAM rights);

// Creates the file if it is not there (CREATE_NEW), and closes it.
void MakeFile(const std::u16string& path);
// Opens the file for reading with the share mode, creating it if it is not
// there (OPEN_ALWAYS), and holds it open until the case ends.
void HoldOpen(const std::u16string& path, DWORD shareMode);
// attrib +r: the file keeps its other attributes.
void MakeReadOnly(const std::u16string& path);
// DeleteFileW.
void RemoveFile(const std::u16string& path);
// rd /s: deletes what it can of the folder's files, then the folder if
// nothing is left in it.
void RemoveFolder(const std::u16string& path);

}  // namespace other_program

// Only where a real Win32 runs the cases: its own conversions and upper
// case, to hold the tools' and the model's against. Nothing on the model.
struct Converted {
  int result = 0;  // what the call returned: units or bytes, 0 when it failed
  std::u16string units;
  std::string bytes;
  DWORD error = 0;  // GetLastError after a failure
};
std::optional<Converted> PlatformToUtf8(std::u16string_view text, DWORD flags);
std::optional<Converted> PlatformFromUtf8(std::string_view bytes, DWORD flags);
std::optional<char16_t> PlatformUpcase(char16_t unit);

}  // namespace behaviour
