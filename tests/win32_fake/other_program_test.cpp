// Another program acting between two calls of the tool: the calls that follow
// answer from the state it left, as Windows' do, and what it does is never
// counted as the tool's.
#include "win32/fake/other_program.h"

#include <gmock/gmock.h>

#include "support/fake_platform_test.h"
#include "win32/api.h"
#include "win32/unique_handles.h"

namespace {

using namespace win32::fake;
using ::testing::ElementsAre;
using win32::UniqueHkey;
namespace other = win32::fake::other_program;

RegistryValue Text(const std::u16string& name, const std::u16string& text) {
  return {name, REG_SZ, TextBytes(text)};
}

class OtherProgramTest : public FakePlatformTest {
 protected:
  static LSTATUS Open(const std::u16string& path, REGSAM access, UniqueHkey& key) {
    return win32::RegOpenKeyExW(HKEY_CURRENT_USER, path.c_str(), 0, access, key.put());
  }
  static LSTATUS Set(HKEY key, const char16_t* name) {
    const BYTE data[2] = {};
    return win32::RegSetValueExW(key, name, REG_SZ, data, 2);
  }
};

TEST_F(OtherProgramTest, ActsJustBeforeTheChosenCallWhichAnswersFromWhatItLeft) {
  SetText(HKEY_CURRENT_USER, u"K", u"Mine", u"1");
  other::ActBeforeCall(2, [] { other::DeleteKey(HKEY_CURRENT_USER, u"K"); });
  other::ActBefore(Call::RegOpenKeyExW, 3, [] { other::MakeKey(HKEY_CURRENT_USER, u"K", {Text(u"Theirs", u"2")}); });
  UniqueHkey key;
  EXPECT_EQ(Open(u"K", KEY_READ, key), ERROR_SUCCESS);
  EXPECT_EQ(other::ActionsPerformed(), 0);
  EXPECT_EQ(Open(u"K", KEY_READ, key), static_cast<LSTATUS>(ERROR_FILE_NOT_FOUND));  // calls 2 (close) and 3
  EXPECT_EQ(other::ActionsPerformed(), 1);
  EXPECT_EQ(Open(u"K", KEY_READ, key), ERROR_SUCCESS);
  EXPECT_EQ(other::ActionsPerformed(), 2);
  EXPECT_THAT(*KeyValues(HKEY_CURRENT_USER, u"K"), ElementsAre(Text(u"Theirs", u"2")));
  // Its own calls are not the tool's, and leave the tool's last error alone.
  EXPECT_EQ(TotalCallCount(), 4);
  AddFile(u".\\a.txt", FILE_ATTRIBUTE_READONLY);
  EXPECT_FALSE(win32::DeleteFileW(u".\\a.txt"));
  other::MakeFile(u".\\b.txt");
  other::RemoveFile(u".\\missing.txt");
  EXPECT_EQ(win32::GetLastError(), ERROR_ACCESS_DENIED);
  EXPECT_EQ(TotalCallCount(), 6);
  EXPECT_EQ(FailedFileOpenCount(), 0);
}

// RegDeleteTreeW removes the key with its subkeys: a handle the tool holds on
// any of them answers ERROR_KEY_DELETED, an open by path ERROR_FILE_NOT_FOUND.
// https://learn.microsoft.com/windows/win32/api/winreg/nf-winreg-regdeletetreew
TEST_F(OtherProgramTest, KeyItDeletesIsMissingByPathAndDeletedThroughTheToolsHandles) {
  SetText(HKEY_CURRENT_USER, u"T\\K", u"Backup", u"{}");
  CreateKey(HKEY_CURRENT_USER, u"T\\K\\Sub");
  UniqueHkey key;
  UniqueHkey sub;
  ASSERT_EQ(Open(u"T\\K", KEY_ALL_ACCESS, key), ERROR_SUCCESS);
  ASSERT_EQ(Open(u"T\\K\\Sub", KEY_ALL_ACCESS, sub), ERROR_SUCCESS);
  other::DeleteKey(HKEY_CURRENT_USER, u"T\\K");

  DWORD count = 0;
  EXPECT_EQ(win32::RegQueryInfoKeyW(key.get(), &count), static_cast<LSTATUS>(ERROR_KEY_DELETED));
  char16_t name[8];
  DWORD nameUnits = 8;
  BYTE data[8];
  DWORD dataBytes = 8;
  EXPECT_EQ(win32::RegEnumValueW(key.get(), 0, name, &nameUnits, data, &dataBytes),
            static_cast<LSTATUS>(ERROR_KEY_DELETED));
  EXPECT_EQ(Set(key.get(), u"v"), static_cast<LSTATUS>(ERROR_KEY_DELETED));
  EXPECT_EQ(win32::RegDeleteKeyW(key.get(), u""), static_cast<LSTATUS>(ERROR_KEY_DELETED));
  EXPECT_EQ(Set(sub.get(), u"v"), static_cast<LSTATUS>(ERROR_KEY_DELETED));
  UniqueHkey again;
  EXPECT_EQ(Open(u"T\\K", KEY_ALL_ACCESS, again), static_cast<LSTATUS>(ERROR_FILE_NOT_FOUND));

  // Made again: a new key, which the old handle does not reach, and which a create finds.
  other::MakeKey(HKEY_CURRENT_USER, u"T\\K", {Text(u"Theirs", u"1")});
  EXPECT_EQ(Set(key.get(), u"v"), static_cast<LSTATUS>(ERROR_KEY_DELETED));
  DWORD disposition = 0;
  ASSERT_EQ(win32::RegCreateKeyExW(HKEY_CURRENT_USER, u"T\\K", 0, KEY_ALL_ACCESS, again.put(), &disposition),
            ERROR_SUCCESS);
  EXPECT_EQ(disposition, REG_OPENED_EXISTING_KEY);
  EXPECT_THAT(*KeyValues(HKEY_CURRENT_USER, u"T\\K"), ElementsAre(Text(u"Theirs", u"1")));
  EXPECT_FALSE(KeyExists(HKEY_CURRENT_USER, u"T\\K\\Sub"));
}

TEST_F(OtherProgramTest, ValueItRemovesMidEnumerationEndsTheEnumerationEarly) {
  SetText(HKEY_CURRENT_USER, u"K", u"A", u"1");
  SetText(HKEY_CURRENT_USER, u"K", u"B", u"2");
  UniqueHkey key;
  ASSERT_EQ(Open(u"K", KEY_READ, key), ERROR_SUCCESS);
  DWORD count = 0;
  ASSERT_EQ(win32::RegQueryInfoKeyW(key.get(), &count), ERROR_SUCCESS);
  other::DeleteValueOf(HKEY_CURRENT_USER, u"K", u"a");
  char16_t name[8];
  DWORD nameUnits = 8;
  EXPECT_EQ(win32::RegEnumValueW(key.get(), count - 1, name, &nameUnits, nullptr, nullptr),
            static_cast<LSTATUS>(ERROR_NO_MORE_ITEMS));
}

// Access is checked when a key is opened, and a delete or a create below a
// key asks the key's own security again: a right withdrawn after the open
// does not reach the handle's own reads and writes, but refuses those.
TEST_F(OtherProgramTest, RightItWithdrawsRefusesLaterOpensDeletesAndCreatesButNotTheHandlesGranted) {
  CreateKey(HKEY_CURRENT_USER, u"T\\K");
  UniqueHkey tree;
  UniqueHkey key;
  ASSERT_EQ(Open(u"T", KEY_ALL_ACCESS, tree), ERROR_SUCCESS);
  ASSERT_EQ(Open(u"T\\K", KEY_ALL_ACCESS, key), ERROR_SUCCESS);
  other::WithdrawRights(HKEY_CURRENT_USER, u"T\\K", DELETE);
  other::WithdrawRights(HKEY_CURRENT_USER, u"T", KEY_CREATE_SUB_KEY);
  other::WithdrawRights(HKEY_CURRENT_USER, u"T\\Missing", DELETE);

  EXPECT_EQ(Set(key.get(), u"v"), ERROR_SUCCESS);
  EXPECT_EQ(win32::RegDeleteKeyW(key.get(), u""), static_cast<LSTATUS>(ERROR_ACCESS_DENIED));
  UniqueHkey again;
  EXPECT_EQ(Open(u"T\\K", KEY_ALL_ACCESS, again), static_cast<LSTATUS>(ERROR_ACCESS_DENIED));
  EXPECT_EQ(win32::RegCreateKeyExW(tree.get(), u"New", 0, KEY_ALL_ACCESS, again.put(), nullptr),
            static_cast<LSTATUS>(ERROR_ACCESS_DENIED));
  EXPECT_FALSE(KeyExists(HKEY_CURRENT_USER, u"T\\Missing"));
}

TEST_F(OtherProgramTest, ValuesOfAMissingKeyAreLeftAloneAndAMadeKeyHoldsItsOwn) {
  other::SetValueOf(HKEY_CURRENT_USER, u"K", Text(u"A", u"1"));
  other::DeleteValueOf(HKEY_CURRENT_USER, u"K", u"A");
  other::DeleteKey(HKEY_CURRENT_USER, u"K");
  EXPECT_FALSE(KeyExists(HKEY_CURRENT_USER, u"K"));
  other::MakeKey(HKEY_CURRENT_USER, u"K\\Sub");
  EXPECT_THAT(*KeyValues(HKEY_CURRENT_USER, u"K"), ::testing::IsEmpty());
  EXPECT_TRUE(KeyExists(HKEY_CURRENT_USER, u"K\\Sub"));
}

// A file it holds open, against the tool's opens and deletes: an open must be
// allowed by the holder's share mode and allow the holder's own access
// (GENERIC_READ); a delete needs FILE_SHARE_DELETE.
// https://learn.microsoft.com/windows/win32/fileio/creating-and-opening-files
struct HeldCase {
  const char* name;
  DWORD holderShare;
  DWORD access;
  DWORD share;
  DWORD disposition;
  DWORD code;  // 0: opened
};

void PrintTo(const HeldCase& c, std::ostream* os) { *os << c.name; }

class FileHeldOpen : public OtherProgramTest, public ::testing::WithParamInterface<HeldCase> {};

TEST_P(FileHeldOpen, RefusesWhatItsShareModeAndAccessRefuse) {
  const HeldCase& c = GetParam();
  other::HoldOpen(u".\\held.txt", c.holderShare);
  EXPECT_EQ(OpenFileCount(), 0) << "the holder's handle is not the tool's";
  const HANDLE file = win32::CreateFileW(u".\\held.txt", c.access, c.share, c.disposition, FILE_ATTRIBUTE_NORMAL);
  EXPECT_EQ(file == INVALID_HANDLE_VALUE ? win32::GetLastError() : 0u, c.code);
  if (file != INVALID_HANDLE_VALUE) {
    win32::CloseHandle(file);
  }
  const bool deleted = win32::DeleteFileW(u".\\held.txt");
  EXPECT_EQ(deleted, (c.holderShare & FILE_SHARE_DELETE) != 0);
  EXPECT_EQ(deleted ? 0u : win32::GetLastError(), deleted ? 0u : ERROR_SHARING_VIOLATION);
}

INSTANTIATE_TEST_SUITE_P(
    EachShareMode, FileHeldOpen,
    ::testing::Values(
        HeldCase{"NoSharingRefusesAWrite", 0, GENERIC_WRITE, FILE_SHARE_WRITE, CREATE_ALWAYS, ERROR_SHARING_VIOLATION},
        HeldCase{"NoSharingRefusesARead", 0, GENERIC_READ, FILE_SHARE_READ, OPEN_EXISTING, ERROR_SHARING_VIOLATION},
        HeldCase{"ReadSharingLetsAReadThatSharesReading", FILE_SHARE_READ, GENERIC_READ, FILE_SHARE_READ,
                 OPEN_EXISTING, 0},
        HeldCase{"ReadSharingRefusesAReadThatDoesNotShareReading", FILE_SHARE_READ, GENERIC_READ, FILE_SHARE_WRITE,
                 OPEN_EXISTING, ERROR_SHARING_VIOLATION},
        HeldCase{"WriteSharingRefusesAWriteThatDoesNotShareReading", FILE_SHARE_WRITE, GENERIC_WRITE,
                 FILE_SHARE_WRITE, CREATE_ALWAYS, ERROR_SHARING_VIOLATION},
        HeldCase{"WriteSharingLetsAWriteThatSharesReading", FILE_SHARE_WRITE, GENERIC_WRITE, FILE_SHARE_READ,
                 CREATE_ALWAYS, 0},
        HeldCase{"DeleteSharingRefusesARead", FILE_SHARE_DELETE, GENERIC_READ, FILE_SHARE_READ, OPEN_EXISTING,
                 ERROR_SHARING_VIOLATION},
        HeldCase{"FullSharingLetsAWriteThatSharesReading", FILE_SHARE_READ | FILE_SHARE_WRITE | FILE_SHARE_DELETE,
                 GENERIC_WRITE, FILE_SHARE_READ, CREATE_ALWAYS, 0}),
    [](const auto& info) { return std::string(info.param.name); });

TEST_F(OtherProgramTest, FilesItMakesReadOnlyDeletesOrRemovesWithTheirFolderAnswerAsOnWindows) {
  AddFolder(u"C:\\Cache");
  other::MakeFile(u"C:\\Cache\\a.txt");
  other::MakeFile(u"C:\\Missing\\a.txt");
  EXPECT_TRUE(FileExists(u"C:\\Cache\\a.txt"));
  EXPECT_FALSE(FileExists(u"C:\\Missing\\a.txt"));

  other::MakeReadOnly(u"C:\\Cache\\a.txt");
  EXPECT_EQ(win32::CreateFileW(u"C:\\Cache\\a.txt", GENERIC_WRITE, 0, CREATE_ALWAYS, 0), INVALID_HANDLE_VALUE);
  EXPECT_EQ(win32::GetLastError(), ERROR_ACCESS_DENIED);
  other::RemoveFile(u"C:\\Cache\\a.txt");
  EXPECT_TRUE(FileExists(u"C:\\Cache\\a.txt")) << "a read-only file is not deleted";

  // The tool holds b.txt open without sharing its delete: that file, and so
  // the folder, stay; once it is closed, the folder goes with its files.
  const HANDLE held = win32::CreateFileW(u"C:\\Cache\\b.txt", GENERIC_WRITE, FILE_SHARE_WRITE, CREATE_ALWAYS, 0);
  ChangeFileAttributes(u"C:\\Cache\\a.txt", FILE_ATTRIBUTE_NORMAL);
  other::RemoveFolder(u"C:\\Cache");
  EXPECT_THAT(FilesIn(u"C:\\Cache"), ElementsAre(u"C:\\Cache\\b.txt"));
  EXPECT_TRUE(FolderExists(u"C:\\Cache"));
  win32::CloseHandle(held);
  other::RemoveFolder(u"C:\\Cache");
  EXPECT_FALSE(FolderExists(u"C:\\Cache"));
  EXPECT_EQ(win32::CreateFileW(u"C:\\Cache\\b.txt", GENERIC_WRITE, 0, CREATE_ALWAYS, 0), INVALID_HANDLE_VALUE);
  EXPECT_EQ(win32::GetLastError(), ERROR_PATH_NOT_FOUND);
  EXPECT_EQ(FailedFileOpenCount(), 2);
}

}  // namespace
