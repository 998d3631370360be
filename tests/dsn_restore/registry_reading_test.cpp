#include "dsn_restore/registry_reading.h"

#include <gmock/gmock.h>

#include "support/odbc_fixture.h"

namespace dsn_restore {
namespace {

using namespace odbc_fixture;
using ::testing::ElementsAre;
using ::testing::IsEmpty;
using win32::fake::RegistryValue;
using win32::fake::SetValue;
using win32::fake::ShownBoxes;
using win32::fake::TextBytes;

const std::u16string kEnumCaption = u"Cannot parse a Windows registry";

TEST(ValueText, EndsAtTheFirstNulOrTheEndOfTheData) {
  struct Case {
    const char* name;
    std::vector<BYTE> data;
    std::u16string text;
  };
  const Case cases[] = {
      {"with its NUL", TextBytes(u"abc"), u"abc"},
      {"without a NUL: no unit lost", TextBytes(u"abc", false), u"abc"},
      {"only the NUL", TextBytes(u""), u""},
      {"no data", {}, u""},
      {"one byte", {0x41}, u""},
      {"odd last byte is not a unit", {0x41, 0x00, 0x42}, u"A"},
      {"embedded NUL", TextBytes(std::u16string(u"ab\0cd", 5)), u"ab"},
      {"unit above Latin-1", TextBytes(u"\u6570\U0001F600", false), u"\u6570\U0001F600"},
  };
  for (const Case& c : cases) {
    EXPECT_EQ(ValueText(c.data.data(), static_cast<DWORD>(c.data.size())), c.text) << c.name;
  }
}

class ListDriverDsnsTest : public FakePlatformTest {
 protected:
  DsnNameList List() { return ListDriverDsns(HKEY_CURRENT_USER, kDataSources); }
};

TEST_F(ListDriverDsnsTest, ListsOnlyExactDriverNamesInEnumerationOrder) {
  AddDsn(HKEY_CURRENT_USER, u"Zeta");
  AddDsn(HKEY_CURRENT_USER, u"Other", u"SQL Server");
  AddDsn(HKEY_CURRENT_USER, u"Lower", u"halvernik odbc driver");
  AddDsn(HKEY_CURRENT_USER, u"Blank", u"Halvernik ODBC Driver ");
  AddDsn(HKEY_CURRENT_USER, u"Alpha");
  SetValue(HKEY_CURRENT_USER, kDataSources, {u"Unterminated", REG_SZ, TextBytes(kDriver, false)});

  EXPECT_THAT(List(), ElementsAre(u"Zeta", u"Alpha", u"Unterminated"));
  EXPECT_THAT(ShownBoxes(), IsEmpty());
}

TEST_F(ListDriverDsnsTest, MissingOrEmptyKeyGivesNothingAndNoBox) {
  EXPECT_THAT(List(), IsEmpty());
  win32::fake::CreateKey(HKEY_CURRENT_USER, kDataSources);
  EXPECT_THAT(List(), IsEmpty());
  EXPECT_THAT(ShownBoxes(), IsEmpty());
}

TEST_F(ListDriverDsnsTest, UnreadableKeyGivesNothingAndNoBox) {
  AddDsn(HKEY_CURRENT_USER, u"Sales");
  win32::fake::DenyAccess(HKEY_CURRENT_USER, kDataSources, KEY_QUERY_VALUE);
  EXPECT_THAT(List(), IsEmpty());
  EXPECT_THAT(ShownBoxes(), IsEmpty());
}

TEST_F(ListDriverDsnsTest, NameOf254UnitsIsListedAnd255UnitsIsShownAndSkipped) {
  const std::u16string name254(254, u'n');
  const std::u16string name255(255, u'm');
  AddDsn(HKEY_CURRENT_USER, name254);
  AddDsn(HKEY_CURRENT_USER, name255);
  AddDsn(HKEY_CURRENT_USER, u"After");

  EXPECT_THAT(List(), ElementsAre(name254, u"After"));
  EXPECT_THAT(ShownBoxes(), ElementsAre(SystemErrorBox(kEnumCaption, ERROR_MORE_DATA)));
}

TEST_F(ListDriverDsnsTest, DataOver64KiBIsShownOnceAndTheLoopGoesOn) {
  SetValue(HKEY_CURRENT_USER, kDataSources, {u"Huge", REG_SZ, std::vector<BYTE>(65537, 0x41)});
  SetValue(HKEY_CURRENT_USER, kDataSources, {u"Exact", REG_BINARY, std::vector<BYTE>(65536, 0)});
  AddDsn(HKEY_CURRENT_USER, u"Sales");

  EXPECT_THAT(List(), ElementsAre(u"Sales"));
  EXPECT_THAT(ShownBoxes(), ElementsAre(SystemErrorBox(kEnumCaption, ERROR_MORE_DATA)));
}

TEST_F(ListDriverDsnsTest, NameThatCannotNameOneKeyIsShownAndSkipped) {
  AddDsn(HKEY_CURRENT_USER, u"");  // the key's default value
  AddDsn(HKEY_CURRENT_USER, u"Sales\\Archive");
  AddDsn(HKEY_CURRENT_USER, u"Other\\Driver", u"SQL Server");  // not ours: no box
  AddDsn(HKEY_CURRENT_USER, u"Sales");

  EXPECT_THAT(List(), ElementsAre(u"Sales"));
  EXPECT_THAT(ShownBoxes(), ElementsAre(SystemErrorBox(kEnumCaption, ERROR_INVALID_NAME),
                                        SystemErrorBox(kEnumCaption, ERROR_INVALID_NAME)));
}

TEST_F(ListDriverDsnsTest, SystemTextMissingStillShowsTheBoxWithAnEmptyBody) {
  AddDsn(HKEY_CURRENT_USER, std::u16string(300, u'x'));
  win32::fake::SetSystemMessage(ERROR_MORE_DATA, std::nullopt);
  EXPECT_THAT(List(), IsEmpty());
  EXPECT_THAT(ShownBoxes(), ElementsAre(Box(kEnumCaption, u"")));
}

class ReadDsnBackupTest : public FakePlatformTest {
 protected:
  std::u16string Read() { return ReadDsnBackup(HKEY_LOCAL_MACHINE, DsnKey(u"Sales")); }
};

TEST_F(ReadDsnBackupTest, ReturnsTheBackupTextAndReadsNoFurther) {
  win32::fake::SetText(HKEY_LOCAL_MACHINE, DsnKey(u"Sales"), u"Server", u"db1");
  win32::fake::SetText(HKEY_LOCAL_MACHINE, DsnKey(u"Sales"), u"Backup", u"{\"Server\":\"db1\"}");
  // Enumerating this one would show a box.
  SetValue(HKEY_LOCAL_MACHINE, DsnKey(u"Sales"), {u"Huge", REG_BINARY, std::vector<BYTE>(70000)});

  EXPECT_EQ(Read(), u"{\"Server\":\"db1\"}");
  EXPECT_THAT(ShownBoxes(), IsEmpty());
}

TEST_F(ReadDsnBackupTest, FindsNoBackupWhereThereIsNone) {
  struct Case {
    const char* name;
    RegistryValue value;
  };
  const Case cases[] = {
      {"other letter case", {u"backup", REG_SZ, TextBytes(u"{\"a\":\"b\"}")}},
      {"only the NUL", {u"Backup", REG_SZ, TextBytes(u"")}},
      {"no data", {u"Backup", REG_SZ, {}}},
      {"one byte", {u"Backup", REG_SZ, {0x7B}}},
  };
  for (const Case& c : cases) {
    win32::fake::Reset();
    SetValue(HKEY_LOCAL_MACHINE, DsnKey(u"Sales"), c.value);
    EXPECT_EQ(Read(), u"") << c.name;
  }
  win32::fake::Reset();
  EXPECT_EQ(Read(), u"") << "missing key";
  EXPECT_THAT(ShownBoxes(), IsEmpty());
}

TEST_F(ReadDsnBackupTest, BackupStoredWithoutItsNulKeepsItsClosingBrace) {
  SetValue(HKEY_LOCAL_MACHINE, DsnKey(u"Sales"), {u"Backup", REG_SZ, TextBytes(u"{\"a\":\"b\"}", false)});
  EXPECT_EQ(Read(), u"{\"a\":\"b\"}");
}

TEST_F(ReadDsnBackupTest, BackupOver64KiBIsShownOnceAndReadsAsNone) {
  SetValue(HKEY_LOCAL_MACHINE, DsnKey(u"Sales"), {u"Backup", REG_SZ, std::vector<BYTE>(65538, 0x20)});
  EXPECT_EQ(Read(), u"");
  EXPECT_THAT(ShownBoxes(), ElementsAre(SystemErrorBox(kEnumCaption, ERROR_MORE_DATA)));
}

}  // namespace
}  // namespace dsn_restore
