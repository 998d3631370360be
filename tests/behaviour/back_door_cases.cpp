// The model's own controls, which the tools' tests set their states up with
// and read them back through, agree with its seam: a state made through one
// door reads the same through the other, and is a state a real registry or
// file system can hold. On the model only.
#include "tests/behaviour/behaviour_case.h"
#include "tests/behaviour/file_steps.h"
#include "tests/behaviour/platform.h"
#include "tests/behaviour/registry_steps.h"
#include "win32/fake/fake_win32.h"

namespace behaviour {
namespace {

using win32::UniqueHkey;
using win32::fake::RegistryValue;
using Values = std::vector<RegistryValue>;

std::string Describe(const RegistryValue& value) {
  return "{" + DescribeText(value.name) + ", type " + std::to_string(value.type) + ", " +
         DescribeBytes(value.data.data(), value.data.size()) + "}";
}

BEHAVIOUR_CASE(BackDoor, SetTextReadsAsTheToolsWriteAText) {
  win32::fake::SetText(HKEY_CURRENT_USER, Scratch(u"K"), u"Backup", u"{}");
  UniqueHkey key;
  REQUIRE_EQ(Open(Scratch(u"K"), KEY_READ, key), ERROR_SUCCESS);
  const Enumerated made = Enumerate(key.get(), 0);
  REQUIRE_EQ(made.status, ERROR_SUCCESS);
  CHECK_EQ(made.name, u"Backup");
  CHECK_EQ(made.data, Bytes(std::u16string(u"{}\0", 3)));

  UniqueHkey written;
  REQUIRE_EQ(Create(Scratch(u"Written"), written), ERROR_SUCCESS);
  REQUIRE_EQ(SetText(written.get(), u"Backup", u"{}"), ERROR_SUCCESS);
  CHECK_TRUE(*win32::fake::KeyValues(HKEY_CURRENT_USER, Scratch(u"Written")) ==
             *win32::fake::KeyValues(HKEY_CURRENT_USER, Scratch(u"K")));
}

BEHAVIOUR_CASE(BackDoor, SetValueReadsAsStored) {
  const Values values = {
      {u"Unterminated", REG_SZ, win32::fake::TextBytes(u"abc", false)},
      {u"Binary", REG_BINARY, {1, 2, 3}},
      {u"", REG_SZ, win32::fake::TextBytes(u"unnamed")},
  };
  for (const RegistryValue& value : values) {
    win32::fake::SetValue(HKEY_CURRENT_USER, Scratch(u"K"), value);
  }
  UniqueHkey key;
  REQUIRE_EQ(Open(Scratch(u"K"), KEY_READ, key), ERROR_SUCCESS);
  CHECK_EQ(ValueCount(key.get()), values.size());
  for (DWORD index = 0; index < values.size(); ++index) {
    const Note note(Describe(values[index]));
    const Enumerated e = Enumerate(key.get(), index);
    CHECK_EQ(e.name, values[index].name);
    CHECK_EQ(e.data, values[index].data);
  }
}

BEHAVIOUR_CASE(BackDoor, CreateKeyMakesKeysTheSeamOpens) {
  win32::fake::CreateKey(HKEY_CURRENT_USER, Scratch(u"A\\B"));
  UniqueHkey key;
  CHECK_EQ(Open(Scratch(u"A"), KEY_READ, key), ERROR_SUCCESS);
  CHECK_EQ(Open(Scratch(u"a\\b"), KEY_READ, key), ERROR_SUCCESS);
  CHECK_EQ(ValueCount(key.get()), 0);
}

BEHAVIOUR_CASE(BackDoor, WhatTheSeamWritesIsWhatKeyValuesShows) {
  UniqueHkey key;
  REQUIRE_EQ(Create(Scratch(u"K"), key), ERROR_SUCCESS);
  CHECK_TRUE(win32::fake::KeyExists(HKEY_CURRENT_USER, Scratch(u"K")));
  REQUIRE_EQ(SetValue(key.get(), u"Text", REG_SZ, u"abc", 6), ERROR_SUCCESS);
  REQUIRE_EQ(SetValue(key.get(), u"Binary", REG_BINARY, u"abc", 6), ERROR_SUCCESS);
  const Values expected = {{u"Text", REG_SZ, Bytes(std::u16string(u"abc\0", 4))},
                           {u"Binary", REG_BINARY, Bytes(u"abc")}};
  CHECK_TRUE(*win32::fake::KeyValues(HKEY_CURRENT_USER, Scratch(u"K")) == expected);
  REQUIRE_EQ(win32::RegDeleteKeyW(key.get(), u""), ERROR_SUCCESS);
  CHECK_TRUE(!win32::fake::KeyExists(HKEY_CURRENT_USER, Scratch(u"K")));
  CHECK_TRUE(!win32::fake::KeyValues(HKEY_CURRENT_USER, Scratch(u"K")));
}

BEHAVIOUR_CASE(BackDoor, AddFileIsAFileInAFolderTheSeamUses) {
  win32::fake::AddFile(InScratch(u"Sub\\test_0_0.txt"), FILE_ATTRIBUTE_READONLY);
  CHECK_TRUE(win32::fake::FolderExists(InScratch(u"Sub")));
  CHECK_EQ(FileAttributesOf(InScratch(u"Sub\\test_0_0.txt")), FILE_ATTRIBUTE_READONLY);
  const HANDLE read = win32::CreateFileW(InScratch(u"Sub\\test_0_0.txt").c_str(), GENERIC_READ, 0, OPEN_EXISTING, 0);
  CHECK_TRUE(read != INVALID_HANDLE_VALUE);
  win32::CloseHandle(read);
  const HANDLE write = win32::CreateFileW(InScratch(u"Sub\\test_0_0.txt").c_str(), GENERIC_WRITE, 0, CREATE_ALWAYS, 0);
  CHECK_TRUE(write == INVALID_HANDLE_VALUE);
  CHECK_EQ(win32::GetLastError(), ERROR_ACCESS_DENIED);
  const HANDLE beside = win32::CreateFileW(InScratch(u"Sub\\test_2_0.txt").c_str(), GENERIC_WRITE, 0, CREATE_ALWAYS, 0);
  CHECK_TRUE(beside != INVALID_HANDLE_VALUE);
  win32::CloseHandle(beside);
}

BEHAVIOUR_CASE(BackDoor, WhatTheSeamCreatesIsWhatFilePathsShows) {
  const std::u16string path = InScratch(u"test_2_128.txt");
  const HANDLE made = win32::CreateFileW(path.c_str(), GENERIC_WRITE, FILE_SHARE_WRITE, CREATE_ALWAYS, 128);
  REQUIRE_TRUE(made != INVALID_HANDLE_VALUE);
  win32::CloseHandle(made);
  CHECK_TRUE(win32::fake::FileExists(path));
  CHECK_EQ(win32::fake::FilePaths(), std::vector<std::u16string>{path});
  CHECK_EQ(win32::fake::FileAttributes(path), std::optional<DWORD>(FILE_ATTRIBUTE_ARCHIVE));
  CHECK_TRUE(win32::DeleteFileW(path.c_str()));
  CHECK_TRUE(!win32::fake::FileExists(path));
}

BEHAVIOUR_CASE(BackDoor, AddFolderMakesEveryFolderAboveIt) {
  win32::fake::AddFolder(u"C:\\Users\\tester\\AppData\\Local\\Halvernik ODBC Driver\\Cache");
  CHECK_TRUE(win32::fake::FolderExists(u"C:\\Users\\tester\\AppData\\Local"));
  CHECK_TRUE(win32::fake::FolderExists(u"C:\\Users"));
  const HANDLE beside =
      win32::CreateFileW(u"C:\\Users\\tester\\AppData\\Local\\f.txt", GENERIC_WRITE, 0, CREATE_ALWAYS, 0);
  CHECK_TRUE(beside != INVALID_HANDLE_VALUE);
  win32::CloseHandle(beside);
}

BEHAVIOUR_CASE(BackDoor, SystemMessageIsWhatFormatMessageGives) {
  for (DWORD code = 0; code < 2000; ++code) {
    win32::UniqueLocalText text;
    const DWORD units = win32::FormatMessageW(0x1300, code, 0x0400, text.put());
    const std::u16string front = units == 0 ? std::u16string() : std::u16string(text.get(), units);
    if (front != win32::fake::SystemMessage(code)) {
      const Note note("code " + std::to_string(code));
      CHECK_EQ(front, win32::fake::SystemMessage(code));
    }
  }
}

}  // namespace
}  // namespace behaviour
