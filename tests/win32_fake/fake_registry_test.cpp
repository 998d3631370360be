// The fake registry answers as Windows does for what the tools rely on.
#include <gmock/gmock.h>

#include "support/fake_platform_test.h"
#include "win32/api.h"
#include "win32/unique_handles.h"

namespace {

using namespace win32::fake;
using ::testing::ElementsAre;
using win32::UniqueHkey;

class FakeRegistryTest : public FakePlatformTest {
 protected:
  LSTATUS Open(const std::u16string& path, REGSAM access, UniqueHkey& key) {
    return win32::RegOpenKeyExW(HKEY_CURRENT_USER, path.c_str(), 0, access, key.put());
  }
  LSTATUS Enum(HKEY key, DWORD index, DWORD nameUnits, DWORD dataBytes, std::u16string* name = nullptr) {
    std::vector<char16_t> nameBuffer(nameUnits + 1);
    std::vector<BYTE> data(dataBytes + 1);
    const LSTATUS status = win32::RegEnumValueW(key, index, nameBuffer.data(), &nameUnits, data.data(), &dataBytes);
    if (status == ERROR_SUCCESS && name != nullptr) {
      *name = std::u16string(nameBuffer.data(), nameUnits);
    }
    return status;
  }
};

TEST_F(FakeRegistryTest, MissingKeyIsFileNotFoundAndHandlesOutOfNothing) {
  UniqueHkey key;
  EXPECT_EQ(Open(u"SOFTWARE\\Nothing", KEY_READ, key), static_cast<LSTATUS>(ERROR_FILE_NOT_FOUND));
  EXPECT_FALSE(key);
  EXPECT_EQ(win32::RegCloseKey(reinterpret_cast<HKEY>(0x42)), static_cast<LSTATUS>(ERROR_INVALID_HANDLE));
}

TEST_F(FakeRegistryTest, NamesIgnoreLetterCaseAndRewritesKeepTheirPlace) {
  SetText(HKEY_CURRENT_USER, u"Software\\A", u"First", u"1");
  SetText(HKEY_CURRENT_USER, u"Software\\A", u"Second", u"2");
  SetText(HKEY_CURRENT_USER, u"SOFTWARE\\a", u"FIRST", u"3");
  EXPECT_THAT(*KeyValues(HKEY_CURRENT_USER, u"software\\A"),
              ElementsAre(RegistryValue{u"First", REG_SZ, TextBytes(u"3")},
                          RegistryValue{u"Second", REG_SZ, TextBytes(u"2")}));
}

TEST_F(FakeRegistryTest, EnumerationNeedsRoomForTheNameAndItsNulAndForAllTheData) {
  SetValue(HKEY_CURRENT_USER, u"K", {std::u16string(4, u'n'), REG_BINARY, std::vector<BYTE>(8)});
  UniqueHkey key;
  ASSERT_EQ(Open(u"K", KEY_READ, key), ERROR_SUCCESS);
  std::u16string name;
  EXPECT_EQ(Enum(key.get(), 0, 5, 8, &name), ERROR_SUCCESS);
  EXPECT_EQ(name, u"nnnn");
  EXPECT_EQ(Enum(key.get(), 0, 4, 8), static_cast<LSTATUS>(ERROR_MORE_DATA));
  EXPECT_EQ(Enum(key.get(), 0, 5, 7), static_cast<LSTATUS>(ERROR_MORE_DATA));
  EXPECT_EQ(Enum(key.get(), 1, 5, 8), static_cast<LSTATUS>(ERROR_NO_MORE_ITEMS));
}

TEST_F(FakeRegistryTest, AccessRightsOfTheHandleAndOfTheKeyAreChecked) {
  CreateKey(HKEY_CURRENT_USER, u"K");
  UniqueHkey readOnly;
  ASSERT_EQ(Open(u"K", KEY_READ, readOnly), ERROR_SUCCESS);
  const BYTE data[2] = {};
  EXPECT_EQ(win32::RegSetValueExW(readOnly.get(), u"v", REG_SZ, data, 2), static_cast<LSTATUS>(ERROR_ACCESS_DENIED));
  // Creating a subkey asks the key itself, whatever the handle's rights.
  UniqueHkey created;
  EXPECT_EQ(win32::RegCreateKeyExW(readOnly.get(), u"Sub", 0, KEY_ALL_ACCESS, created.put(), nullptr), ERROR_SUCCESS);
  DenyAccess(HKEY_CURRENT_USER, u"K", KEY_CREATE_SUB_KEY);
  EXPECT_EQ(win32::RegCreateKeyExW(readOnly.get(), u"Other", 0, KEY_ALL_ACCESS, created.put(), nullptr),
            static_cast<LSTATUS>(ERROR_ACCESS_DENIED));

  DenyAccess(HKEY_CURRENT_USER, u"K", DELETE);
  UniqueHkey full;
  EXPECT_EQ(Open(u"K", KEY_ALL_ACCESS, full), static_cast<LSTATUS>(ERROR_ACCESS_DENIED));
  EXPECT_EQ(Open(u"K", KEY_READ, full), ERROR_SUCCESS);
}

TEST_F(FakeRegistryTest, KeyWithSubkeysCannotBeDeletedAndADeletedKeyRefusesWork) {
  CreateKey(HKEY_CURRENT_USER, u"K\\Sub");
  UniqueHkey key;
  ASSERT_EQ(Open(u"K", KEY_ALL_ACCESS, key), ERROR_SUCCESS);
  EXPECT_EQ(win32::RegDeleteKeyW(key.get(), u""), static_cast<LSTATUS>(ERROR_ACCESS_DENIED));
  EXPECT_EQ(win32::RegDeleteKeyW(key.get(), u"Sub"), ERROR_SUCCESS);
  EXPECT_EQ(win32::RegDeleteKeyW(key.get(), u""), ERROR_SUCCESS);
  EXPECT_FALSE(KeyExists(HKEY_CURRENT_USER, u"K"));

  const BYTE data[2] = {};
  EXPECT_EQ(win32::RegSetValueExW(key.get(), u"v", REG_SZ, data, 2), static_cast<LSTATUS>(ERROR_KEY_DELETED));
  UniqueHkey sub;
  EXPECT_EQ(win32::RegCreateKeyExW(key.get(), u"New", 0, KEY_ALL_ACCESS, sub.put(), nullptr),
            static_cast<LSTATUS>(ERROR_KEY_DELETED));
}

TEST_F(FakeRegistryTest, CreateMakesMissingParentsAndOpensAnExistingKey) {
  UniqueHkey key;
  DWORD disposition = 0;
  ASSERT_EQ(win32::RegCreateKeyExW(HKEY_CURRENT_USER, u"A\\B\\C", 0, KEY_ALL_ACCESS, key.put(), &disposition),
            ERROR_SUCCESS);
  EXPECT_EQ(disposition, REG_CREATED_NEW_KEY);
  const BYTE data[4] = {'x', 0, 0, 0};
  ASSERT_EQ(win32::RegSetValueExW(key.get(), u"", REG_SZ, data, 4), ERROR_SUCCESS);
  UniqueHkey again;
  ASSERT_EQ(win32::RegCreateKeyExW(HKEY_CURRENT_USER, u"a\\b\\c", 0, KEY_READ, again.put(), &disposition),
            ERROR_SUCCESS);
  EXPECT_EQ(disposition, REG_OPENED_EXISTING_KEY);
  DWORD count = 0;
  ASSERT_EQ(win32::RegQueryInfoKeyW(again.get(), &count), ERROR_SUCCESS);
  EXPECT_EQ(count, 1u);
  // REG_SZ data is stored exactly as given: no NUL is added.
  EXPECT_THAT(*KeyValues(HKEY_CURRENT_USER, u"A\\B\\C"), ElementsAre(RegistryValue{u"", REG_SZ, {'x', 0, 0, 0}}));
}

TEST_F(FakeRegistryTest, InjectedFailuresHitTheChosenCalls) {
  CreateKey(HKEY_CURRENT_USER, u"K");
  // A refusal, which leaves the key as it is: a code that says the key is
  // missing would contradict it.
  FailCall(Call::RegOpenKeyExW, ERROR_NOT_ENOUGH_MEMORY, 2);
  UniqueHkey key;
  EXPECT_EQ(Open(u"K", KEY_READ, key), ERROR_SUCCESS);
  EXPECT_EQ(Open(u"K", KEY_READ, key), static_cast<LSTATUS>(ERROR_NOT_ENOUGH_MEMORY));
  EXPECT_FALSE(key);
  EXPECT_EQ(Open(u"K", KEY_READ, key), ERROR_SUCCESS);

  // Reopening into the same owner first closes the key it holds, then opens.
  FailNthCall(TotalCallCount() + 2, ERROR_NOT_ENOUGH_MEMORY);
  EXPECT_EQ(Open(u"K", KEY_READ, key), static_cast<LSTATUS>(ERROR_NOT_ENOUGH_MEMORY));
  EXPECT_EQ(CallCount(Call::RegCloseKey), 2);
  EXPECT_EQ(Open(u"K", KEY_READ, key), ERROR_SUCCESS);
  EXPECT_EQ(InjectedFailureCount(), 2);
}

TEST_F(FakeRegistryTest, PersistingFailureHitsTheChosenOccurrenceAndEveryLaterOne) {
  CreateKey(HKEY_CURRENT_USER, u"K");
  FailCallFrom(Call::RegOpenKeyExW, ERROR_ACCESS_DENIED, 2);
  UniqueHkey key;
  EXPECT_EQ(Open(u"K", KEY_READ, key), ERROR_SUCCESS);
  DWORD count = 0;
  EXPECT_EQ(win32::RegQueryInfoKeyW(key.get(), &count), ERROR_SUCCESS);  // other kinds are spared
  for (int i = 0; i < 3; ++i) {
    EXPECT_EQ(Open(u"K", KEY_READ, key), static_cast<LSTATUS>(ERROR_ACCESS_DENIED));
  }
  EXPECT_EQ(InjectedFailureCount(), 3);
}

}  // namespace
