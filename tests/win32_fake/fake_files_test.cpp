// The fake file system answers as Windows (and Wine) do for what the check
// relies on.
#include <gmock/gmock.h>

#include "support/fake_platform_test.h"
#include "win32/api.h"

namespace {

using namespace win32::fake;

class FakeFilesTest : public FakePlatformTest {
 protected:
  // The last error after a failed create or open, or 0 when it opened (and is closed again).
  static DWORD Open(const char16_t* name, DWORD access, DWORD share, DWORD disposition, DWORD attributes = 0) {
    const HANDLE handle = win32::CreateFileW(name, access, share, disposition, attributes);
    if (handle == INVALID_HANDLE_VALUE) {
      return win32::GetLastError();
    }
    win32::CloseHandle(handle);
    return 0;
  }
};

TEST_F(FakeFilesTest, CreateOpenAndDeleteFollowTheDisposition) {
  EXPECT_EQ(Open(u".\\a.txt", GENERIC_READ, 0, OPEN_EXISTING), ERROR_FILE_NOT_FOUND);
  EXPECT_EQ(Open(u".\\a.txt", GENERIC_WRITE, 0, CREATE_ALWAYS), 0u);
  EXPECT_EQ(win32::GetLastError(), ERROR_SUCCESS);
  EXPECT_EQ(Open(u".\\A.TXT", GENERIC_WRITE, 0, CREATE_ALWAYS), 0u);
  EXPECT_EQ(win32::GetLastError(), ERROR_ALREADY_EXISTS);  // replaced
  EXPECT_EQ(Open(u".\\\\a.txt", GENERIC_READ, 0, OPEN_EXISTING), 0u);
  EXPECT_TRUE(win32::DeleteFileW(u".\\a.txt"));
  EXPECT_FALSE(win32::DeleteFileW(u".\\a.txt"));
  EXPECT_EQ(win32::GetLastError(), ERROR_FILE_NOT_FOUND);
}

TEST_F(FakeFilesTest, MissingFoldersFoldersAsFilesAndReadOnlyFilesAreRefused) {
  EXPECT_EQ(Open(u"C:\\Missing\\a.txt", GENERIC_WRITE, 0, CREATE_ALWAYS), ERROR_PATH_NOT_FOUND);
  EXPECT_FALSE(win32::DeleteFileW(u"C:\\Missing\\a.txt"));
  EXPECT_EQ(win32::GetLastError(), ERROR_PATH_NOT_FOUND);

  AddFolder(u".\\dir.txt");
  EXPECT_EQ(Open(u".\\dir.txt", GENERIC_WRITE, 0, CREATE_ALWAYS), ERROR_ACCESS_DENIED);
  EXPECT_EQ(Open(u".\\dir.txt", GENERIC_READ, 0, OPEN_EXISTING), ERROR_ACCESS_DENIED);
  EXPECT_FALSE(win32::DeleteFileW(u".\\dir.txt"));
  EXPECT_EQ(win32::GetLastError(), ERROR_ACCESS_DENIED);

  AddFile(u".\\ro.txt", FILE_ATTRIBUTE_READONLY);
  EXPECT_EQ(Open(u".\\ro.txt", GENERIC_WRITE, 0, CREATE_ALWAYS), ERROR_ACCESS_DENIED);
  EXPECT_EQ(Open(u".\\ro.txt", GENERIC_READ, 0, OPEN_EXISTING), 0u);
  EXPECT_FALSE(win32::DeleteFileW(u".\\ro.txt"));
}

TEST_F(FakeFilesTest, ShareModesOfOpenHandlesAreHonoured) {
  AddFile(u".\\a.txt");
  const HANDLE reader = win32::CreateFileW(u".\\a.txt", GENERIC_READ, FILE_SHARE_READ, OPEN_EXISTING, 0);
  EXPECT_EQ(Open(u".\\a.txt", GENERIC_READ, FILE_SHARE_READ, OPEN_EXISTING), 0u);
  EXPECT_EQ(Open(u".\\a.txt", GENERIC_WRITE, FILE_SHARE_READ, OPEN_EXISTING), ERROR_SHARING_VIOLATION);
  EXPECT_EQ(Open(u".\\a.txt", GENERIC_READ, 0, OPEN_EXISTING), ERROR_SHARING_VIOLATION);
  EXPECT_FALSE(win32::DeleteFileW(u".\\a.txt"));
  EXPECT_EQ(win32::GetLastError(), ERROR_SHARING_VIOLATION);
  EXPECT_TRUE(win32::CloseHandle(reader));
  EXPECT_FALSE(win32::CloseHandle(reader));
  EXPECT_EQ(win32::GetLastError(), ERROR_INVALID_HANDLE);
}

TEST_F(FakeFilesTest, FolderLookupAndUtf8ProbeGiveWhatTheTestSet) {
  char16_t path[MAX_PATH] = {};
  SetLocalAppData(S_OK, u"C:\\Users\\Jos\u00e9\\AppData\\Local");
  EXPECT_EQ(win32::SHGetFolderPathW(CSIDL_LOCAL_APPDATA, nullptr, SHGFP_TYPE_CURRENT, path), S_OK);
  EXPECT_EQ(std::u16string(path), u"C:\\Users\\Jos\u00e9\\AppData\\Local");
  // 27 characters, one of them two bytes in UTF-8, and the NUL.
  EXPECT_EQ(win32::WideCharToMultiByte(CP_UTF8, 0, path, -1, nullptr, 0), 29);
  FailUtf8Conversion();
  EXPECT_EQ(win32::WideCharToMultiByte(CP_UTF8, 0, path, -1, nullptr, 0), 0);
  SetLocalAppData(E_FAIL, u"ignored");
  EXPECT_EQ(win32::SHGetFolderPathW(CSIDL_LOCAL_APPDATA, nullptr, SHGFP_TYPE_CURRENT, path), E_FAIL);
  EXPECT_EQ(path[0], u'\0');
}

}  // namespace
