#include "dsn_restore/restore_dsn.h"

#include <gmock/gmock.h>

#include <functional>

#include "dsn_restore/registry_reading.h"
#include "support/odbc_fixture.h"
#include "win32/fake/other_program.h"

namespace dsn_restore {
namespace {

using namespace odbc_fixture;
using ::testing::ElementsAre;
using ::testing::IsEmpty;
using win32::fake::Call;
using win32::fake::FailCall;
using win32::fake::FailCallFrom;
using win32::fake::KeyValues;
using win32::fake::ShownBoxes;
namespace other = win32::fake::other_program;

const std::u16string kSalesKey = DsnKey(u"Sales");
const std::u16string kSalesBackup = u"{\"Server\":\"db1\",\"Port\":\"5432\"}";

class RestoreDsnTest : public FakePlatformTest {
 protected:
  // Sales, with two old settings and its backup, below HKEY_CURRENT_USER.
  void SetUp() override {
    FakePlatformTest::SetUp();
    AddBackedUpDsn(HKEY_CURRENT_USER, u"Sales", kSalesBackup, {{u"Server", u"old"}, {u"Stale", u"x"}});
    before_ = *KeyValues(HKEY_CURRENT_USER, kSalesKey);
  }

  bool Restore(const std::u16string& backup = kSalesBackup) {
    return RestoreDsn(HKEY_CURRENT_USER, u"Sales", kTree, backup);
  }

  void ExpectSalesUnchanged() { EXPECT_EQ(KeyValues(HKEY_CURRENT_USER, kSalesKey), before_); }

  std::vector<win32::fake::RegistryValue> before_;
};

TEST_F(RestoreDsnTest, RebuildsTheKeyFromTheMembersOnly) {
  EXPECT_TRUE(Restore());
  EXPECT_THAT(*KeyValues(HKEY_CURRENT_USER, kSalesKey), ElementsAre(Sz(u"Server", u"db1"), Sz(u"Port", u"5432")));
  EXPECT_THAT(ShownBoxes(), IsEmpty());
}

TEST_F(RestoreDsnTest, WritesRegSzWithItsTerminatingNul) {
  EXPECT_TRUE(Restore(u"{\"Empty\":\"\",\"Ab\":\"ab\"}"));
  const auto values = *KeyValues(HKEY_CURRENT_USER, kSalesKey);
  ASSERT_EQ(values.size(), 2u);
  EXPECT_EQ(values[0].data, (std::vector<BYTE>{0, 0}));
  EXPECT_EQ(values[1].data, (std::vector<BYTE>{'a', 0, 'b', 0, 0, 0}));
}

TEST_F(RestoreDsnTest, KeepsDocumentOrderRepeatsDefaultValueAndUnicode) {
  EXPECT_TRUE(Restore(
      u"{\"Port\":\"1\",\"\":\"unnamed\",\"Port\":\"2\",\"Backup\":\"{}\","
      u"\"Name\":\"caf\u00e9 \\u00e9 \u6570\u636e \U0001F600\",\"Cut\":\"a\\u0000b\"}"));
  EXPECT_THAT(*KeyValues(HKEY_CURRENT_USER, kSalesKey),
              ElementsAre(Sz(u"Port", u"2"), Sz(u"", u"unnamed"), Sz(u"Backup", u"{}"),
                          Sz(u"Name", u"caf\u00e9 \u00e9 \u6570\u636e \U0001F600"), Sz(u"Cut", u"a")));
}

TEST_F(RestoreDsnTest, UnreadableBackupIsShownUnderTheReaderMessageAndChangesNothing) {
  EXPECT_FALSE(Restore(u"{\"Server\":\"db1\",}"));
  ExpectSalesUnchanged();
  ASSERT_EQ(ShownBoxes().size(), 1u);
  const auto& box = ShownBoxes()[0];
  EXPECT_EQ(box.type, MB_OK);
  EXPECT_EQ(box.caption, u"trailing comma is not allowed");
  EXPECT_EQ(box.text, u"The backup of DSN \"Sales\" could not be read: the JSON reader stopped at byte 15. "
                      u"The DSN was left as it was.");
  EXPECT_NE(box.text, win32::fake::SystemMessage(0));
}

TEST_F(RestoreDsnTest, UnpairedSurrogateIsAReadFailure) {
  EXPECT_FALSE(Restore(u"{\"Server\":\"\xDC01\"}"));
  ExpectSalesUnchanged();
  EXPECT_THAT(ShownBoxes(),
              ElementsAre(Box(u"unpaired surrogate in UTF-16 text",
                              u"The backup of DSN \"Sales\" could not be read: the JSON reader stopped at byte 11. "
                              u"The DSN was left as it was.")));
}

TEST_F(RestoreDsnTest, MemberThatIsNotAStringRefusesTheWholeDocument) {
  EXPECT_FALSE(Restore(u"{\"Server\":\"db1\",\"Port\":5432}"));
  ExpectSalesUnchanged();
  EXPECT_THAT(ShownBoxes(),
              ElementsAre(Box(u"Cannot restore DSN Sales",
                              u"The backup of DSN \"Sales\" was not restored: its member \"Port\" is not a string. "
                              u"The DSN was left as it was.")));
  EXPECT_EQ(win32::fake::CallCount(Call::RegOpenKeyExW), 0);
}

TEST_F(RestoreDsnTest, DocumentWithoutMembersIsRefusedWithoutABox) {
  for (const std::u16string text : {u"{}", u"[]", u"\"Server\"", u"7"}) {
    EXPECT_FALSE(Restore(text));
  }
  ExpectSalesUnchanged();
  EXPECT_THAT(ShownBoxes(), IsEmpty());
  EXPECT_EQ(win32::fake::TotalCallCount(), 0);
}

// Failures before the old key is deleted: one box, and the key as it was.
struct KeptKeyCase {
  const char* name;
  void (*arrange)();
  std::u16string caption;
  DWORD code;
};

void PrintTo(const KeptKeyCase& c, std::ostream* os) { *os << c.name; }

class RestoreDsnKeepsTheKey : public RestoreDsnTest, public ::testing::WithParamInterface<KeptKeyCase> {};

TEST_P(RestoreDsnKeepsTheKey, ShowsOneBoxAndLeavesTheKeyAsItWas) {
  GetParam().arrange();
  EXPECT_FALSE(Restore());
  ExpectSalesUnchanged();
  EXPECT_THAT(ShownBoxes(), ElementsAre(SystemErrorBox(GetParam().caption, GetParam().code)));
}

INSTANTIATE_TEST_SUITE_P(
    Failures, RestoreDsnKeepsTheKey,
    ::testing::Values(
        KeptKeyCase{"DsnKeyAccessDenied",
                    [] { win32::fake::DenyAccess(HKEY_CURRENT_USER, kSalesKey, DELETE); },
                    u"Cannot delete registry key SOFTWARE\\ODBC\\ODBC.ini\\Sales", ERROR_ACCESS_DENIED},
        KeptKeyCase{"DsnKeyHasSubkeys",
                    [] { win32::fake::CreateKey(HKEY_CURRENT_USER, kSalesKey + u"\\Options"); },
                    u"Cannot delete registry key SOFTWARE\\ODBC\\ODBC.ini\\Sales", ERROR_ACCESS_DENIED},
        KeptKeyCase{"DsnKeyOpenRefused",
                    [] { FailCall(Call::RegOpenKeyExW, ERROR_NOT_ENOUGH_MEMORY, 2); },
                    u"Cannot delete registry key SOFTWARE\\ODBC\\ODBC.ini\\Sales", ERROR_NOT_ENOUGH_MEMORY},
        KeptKeyCase{"DeleteRefused",
                    [] { FailCall(Call::RegDeleteKeyW, 1450); },
                    u"Cannot delete registry key SOFTWARE\\ODBC\\ODBC.ini\\Sales", 1450},
        KeptKeyCase{"TreeKeyNotWritable",
                    [] { win32::fake::DenyAccess(HKEY_CURRENT_USER, kTree, KEY_CREATE_SUB_KEY); },
                    u"Cannot create registry key Sales", ERROR_ACCESS_DENIED},
        KeptKeyCase{"TreeKeyOpenFails",
                    [] { FailCall(Call::RegOpenKeyExW, ERROR_NOT_ENOUGH_MEMORY, 1); },
                    u"Cannot create registry key Sales", ERROR_NOT_ENOUGH_MEMORY}),
    [](const auto& info) { return std::string(info.param.name); });

TEST_F(RestoreDsnTest, DsnKeyPathNotFoundSkipsTheDeleteAndCreates) {
  FailCall(Call::RegOpenKeyExW, ERROR_PATH_NOT_FOUND, 2);
  EXPECT_TRUE(RestoreDsn(HKEY_CURRENT_USER, u"Fresh", kTree, u"{\"Server\":\"db1\"}"));
  EXPECT_EQ(win32::fake::CallCount(Call::RegDeleteKeyW), 0);
  EXPECT_THAT(*KeyValues(HKEY_CURRENT_USER, DsnKey(u"Fresh")), ElementsAre(Sz(u"Server", u"db1")));
  EXPECT_THAT(ShownBoxes(), IsEmpty());
}

// Sales' backup text in a box, after the system's text for the code and the
// sentence that says where the settings stand.
std::u16string BoxWithTheBackup(DWORD code, const std::u16string& whereTheSettingsAre,
                                const std::u16string& backup = kSalesBackup) {
  return win32::fake::SystemMessage(code) + u"\r\n" + whereTheSettingsAre +
         u" Its backup follows: copy this message (Ctrl+C) to keep it, and restore the settings by hand.\r\n\r\n" +
         backup;
}
const std::u16string kNoLongerInTheRegistry = u"The settings of DSN \"Sales\" are no longer in the registry.";

// Another program deletes Sales' key after its backup was read: the restore
// finds it gone (the open gives 2, or the delete 1018 through the handle it
// holds), creates nothing, and leaves what the other program left. The box
// holds the backup text, the settings' only copy now.
struct FoundGoneCase {
  const char* name;
  Call before;  // the other program acts just before the first such call
  std::optional<std::vector<win32::fake::RegistryValue>> madeAgainWith;
  DWORD code;
};

void PrintTo(const FoundGoneCase& c, std::ostream* os) { *os << c.name; }

class RestoreDsnFindsTheKeyGone : public RestoreDsnTest, public ::testing::WithParamInterface<FoundGoneCase> {};

TEST_P(RestoreDsnFindsTheKeyGone, ShowsTheBackupInItsBoxAndLeavesWhatTheOtherProgramLeft) {
  const FoundGoneCase& c = GetParam();
  const int occurrence = c.before == Call::RegOpenKeyExW ? 2 : 1;  // after the tree key's open
  other::ActBefore(c.before, occurrence, [&c] {
    other::DeleteKey(HKEY_CURRENT_USER, kSalesKey);
    if (c.madeAgainWith) {
      other::MakeKey(HKEY_CURRENT_USER, kSalesKey, *c.madeAgainWith);
    }
  });
  EXPECT_FALSE(Restore());
  EXPECT_EQ(other::ActionsPerformed(), 1);
  EXPECT_EQ(KeyValues(HKEY_CURRENT_USER, kSalesKey), c.madeAgainWith);
  EXPECT_EQ(win32::fake::CallCount(Call::RegCreateKeyExW), 0);
  EXPECT_THAT(ShownBoxes(), ElementsAre(Box(u"Cannot delete registry key SOFTWARE\\ODBC\\ODBC.ini\\Sales",
                                            BoxWithTheBackup(c.code, kNoLongerInTheRegistry))));
}

INSTANTIATE_TEST_SUITE_P(
    AfterTheBackupWasRead, RestoreDsnFindsTheKeyGone,
    ::testing::Values(FoundGoneCase{"DeletedBeforeTheOpen", Call::RegOpenKeyExW, std::nullopt, ERROR_FILE_NOT_FOUND},
                      FoundGoneCase{"DeletedBetweenTheOpenAndTheDelete", Call::RegDeleteKeyW, std::nullopt,
                                    ERROR_KEY_DELETED},
                      FoundGoneCase{"MadeAgainBetweenTheOpenAndTheDelete", Call::RegDeleteKeyW,
                                    std::vector{Sz(u"Theirs", u"1")}, ERROR_KEY_DELETED}),
    [](const auto& info) { return std::string(info.param.name); });

// The create finds a key there: another program made it after the delete, or
// after the open reported it missing. That key is left exactly as it is, and
// the box holds the settings, as after a create that fails.
TEST_F(RestoreDsnTest, KeyMadeAgainMeanwhileIsLeftAsItIsAndItsBoxShowsTheBackup) {
  const std::u16string box = BoxWithTheBackup(
      ERROR_ALREADY_EXISTS,
      u"Another program made the key of DSN \"Sales\" again while it was being restored; that key was left as it "
      u"is, and may not hold these settings.");
  const auto makeItAgain = [] { other::MakeKey(HKEY_CURRENT_USER, kSalesKey, {Sz(u"Theirs", u"1")}); };
  {
    SCOPED_TRACE("made again after the delete");
    other::ActBefore(Call::RegCreateKeyExW, 1, makeItAgain);
    EXPECT_FALSE(Restore());
    EXPECT_EQ(win32::fake::CallCount(Call::RegDeleteKeyW), 1);
    EXPECT_THAT(*KeyValues(HKEY_CURRENT_USER, kSalesKey), ElementsAre(Sz(u"Theirs", u"1")));
    EXPECT_THAT(ShownBoxes(), ElementsAre(Box(u"Cannot create registry key Sales", box)));
  }
  {
    // The model answers 2 for a missing key; the 3 that Windows may give
    // instead is injected here over a key that is indeed missing.
    SCOPED_TRACE("reported missing by the open, there for the create");
    win32::fake::Reset();
    win32::fake::CreateKey(HKEY_CURRENT_USER, kTree);
    FailCall(Call::RegOpenKeyExW, ERROR_PATH_NOT_FOUND, 2);
    other::ActBefore(Call::RegCreateKeyExW, 1, makeItAgain);
    EXPECT_FALSE(Restore());
    EXPECT_EQ(win32::fake::CallCount(Call::RegDeleteKeyW), 0);
    EXPECT_EQ(KeyValues(HKEY_CURRENT_USER, kSalesKey), std::vector{Sz(u"Theirs", u"1")});
    EXPECT_THAT(ShownBoxes(), ElementsAre(Box(u"Cannot create registry key Sales", box)));
  }
}

TEST_F(RestoreDsnTest, CreateFailingAfterTheDeleteShowsTheBackupTextInItsBox) {
  FailCall(Call::RegCreateKeyExW, ERROR_NOT_ENOUGH_MEMORY);
  EXPECT_FALSE(Restore());
  EXPECT_FALSE(win32::fake::KeyExists(HKEY_CURRENT_USER, kSalesKey));
  EXPECT_THAT(ShownBoxes(), ElementsAre(Box(u"Cannot create registry key Sales",
                                            BoxWithTheBackup(ERROR_NOT_ENOUGH_MEMORY, kNoLongerInTheRegistry))));
}

TEST_F(RestoreDsnTest, MemberNameOverTheRegistryLimitRefusesTheWholeDocumentBeforeAnyChange) {
  const std::u16string longName(16384, u'a');
  EXPECT_FALSE(Restore(u"{\"Server\":\"s1\",\"" + longName + u"\":\"v\"}"));
  ExpectSalesUnchanged();
  EXPECT_EQ(win32::fake::CallCount(Call::RegDeleteKeyW), 0);
  EXPECT_THAT(ShownBoxes(),
              ElementsAre(Box(u"Cannot restore DSN Sales",
                              u"The backup of DSN \"Sales\" was not restored: the name of its member \"" +
                                  std::u16string(40, u'a') +
                                  u"\u2026\" has 16384 characters, and the registry takes value names of at most "
                                  u"16383. The DSN was left as it was.")));
}

// The box names the member shortened to at most 40 UTF-16 units, never
// between the halves of a pair, and counts in a measure the reader can check:
// UTF-16 units, the registry's own, for a name that is not all ASCII (an
// ASCII name is counted in characters, above).
TEST_F(RestoreDsnTest, MemberNameOverTheLimitIsShortenedWholeAndCountedInUnitsUnlessAscii) {
  const std::u16string emoji = u"\U0001F600";  // two UTF-16 units
  auto repeated = [](const std::u16string& text, int times) {
    std::u16string out;
    for (int i = 0; i < times; ++i) {
      out += text;
    }
    return out;
  };
  struct Case {
    const char* name;
    std::u16string memberName;
    std::u16string shown;
    std::u16string length;
  };
  const Case cases[] = {
      {"EmojiEndingAtTheCut", repeated(emoji, 9000), repeated(emoji, 20) + u"\u2026",
       u"has 18000 UTF-16 units, and the registry takes value names of at most 16383 UTF-16 units"},
      {"EmojiAcrossTheCut", u"a" + repeated(emoji, 8192), u"a" + repeated(emoji, 19) + u"\u2026",
       u"has 16385 UTF-16 units, and the registry takes value names of at most 16383 UTF-16 units"},
      {"AccentsOneUnitEach", std::u16string(16384, u'\u00e9'), std::u16string(40, u'\u00e9') + u"\u2026",
       u"has 16384 UTF-16 units, and the registry takes value names of at most 16383 UTF-16 units"},
  };
  for (const Case& c : cases) {
    SCOPED_TRACE(c.name);
    SetUp();
    EXPECT_FALSE(Restore(u"{\"" + c.memberName + u"\":\"v\"}"));
    ExpectSalesUnchanged();
    EXPECT_THAT(ShownBoxes(),
                ElementsAre(Box(u"Cannot restore DSN Sales",
                                u"The backup of DSN \"Sales\" was not restored: the name of its member \"" + c.shown +
                                    u"\" " + c.length + u". The DSN was left as it was.")));
  }
}

TEST_F(RestoreDsnTest, MemberNameAtTheRegistryLimitIsRestored) {
  const std::u16string longestName(16383, u'a');
  EXPECT_TRUE(Restore(u"{\"" + longestName + u"\":\"v\"}"));
  EXPECT_THAT(*KeyValues(HKEY_CURRENT_USER, kSalesKey), ElementsAre(Sz(longestName, u"v")));
}

// The box of a refused value names its DSN: several DSNs share setting names.
win32::fake::ShownBox RefusedValueBox(const std::u16string& name) {
  return Box(u"Cannot set registry value " + name, win32::fake::SystemMessage(ERROR_ACCESS_DENIED) +
                                                       u"\r\nThis setting of DSN \"Sales\" was not written.");
}

TEST_F(RestoreDsnTest, RefusedValueGivesTheNewKeyItsBackupBackForALaterRun) {
  FailCall(Call::RegSetValueExW, ERROR_ACCESS_DENIED, 2);  // Port
  EXPECT_FALSE(Restore());
  EXPECT_THAT(*KeyValues(HKEY_CURRENT_USER, kSalesKey),
              ElementsAre(Sz(u"Server", u"db1"), Sz(u"Backup", kSalesBackup)));
  EXPECT_THAT(ShownBoxes(), ElementsAre(RefusedValueBox(u"Port")));

  // Once the cause is gone, the next run restores it from that backup.
  const std::u16string kept = ReadDsnBackup(HKEY_CURRENT_USER, kSalesKey);
  EXPECT_EQ(kept, kSalesBackup);
  EXPECT_TRUE(Restore(kept));
  EXPECT_THAT(*KeyValues(HKEY_CURRENT_USER, kSalesKey), ElementsAre(Sz(u"Server", u"db1"), Sz(u"Port", u"5432")));
}

// Backup refused too: its box holds the backup, and says what the key holds.
TEST_F(RestoreDsnTest, BackupRefusedTooIsShownInTheBoxForIt) {
  FailCall(Call::RegSetValueExW, ERROR_ACCESS_DENIED);  // every value
  EXPECT_FALSE(Restore());
  EXPECT_THAT(*KeyValues(HKEY_CURRENT_USER, kSalesKey), IsEmpty());
  EXPECT_THAT(ShownBoxes(),
              ElementsAre(RefusedValueBox(u"Server"), RefusedValueBox(u"Port"),
                          Box(u"Cannot set registry value Backup",
                              BoxWithTheBackup(ERROR_ACCESS_DENIED, kNoLongerInTheRegistry))));
}

TEST_F(RestoreDsnTest, BackupRefusedAfterSomeValuesWereWrittenSaysTheKeyHoldsPartOfTheSettings) {
  FailCallFrom(Call::RegSetValueExW, ERROR_ACCESS_DENIED, 2);  // Port, then Backup
  EXPECT_FALSE(Restore());
  EXPECT_THAT(*KeyValues(HKEY_CURRENT_USER, kSalesKey), ElementsAre(Sz(u"Server", u"db1")));
  EXPECT_THAT(ShownBoxes(),
              ElementsAre(RefusedValueBox(u"Port"),
                          Box(u"Cannot set registry value Backup",
                              BoxWithTheBackup(ERROR_ACCESS_DENIED,
                                               u"The key of DSN \"Sales\" holds only part of its settings."))));
}

// Another program deletes the new key while the values are written: the
// writes left are refused (1018) and the box of Backup holds the backup; the
// key is not made again.
TEST_F(RestoreDsnTest, NewKeyDeletedWhileItsValuesAreWrittenIsNotMadeAgain) {
  other::ActBefore(Call::RegSetValueExW, 2, [] { other::DeleteKey(HKEY_CURRENT_USER, kSalesKey); });
  EXPECT_FALSE(Restore());
  EXPECT_FALSE(win32::fake::KeyExists(HKEY_CURRENT_USER, kSalesKey));
  ASSERT_EQ(ShownBoxes().size(), 2u);
  EXPECT_EQ(ShownBoxes()[0].caption, u"Cannot set registry value Port");
  EXPECT_EQ(ShownBoxes()[1], Box(u"Cannot set registry value Backup",
                                 BoxWithTheBackup(ERROR_KEY_DELETED, kNoLongerInTheRegistry)));
}

// Once its values are written, the new key is read back: what another program
// did to it meanwhile stays as it did it, the box holds the backup, and the
// DSN is not counted as restored.
struct ChangedMeanwhileCase {
  const char* name;
  void (*act)();
  std::vector<win32::fake::RegistryValue> left;  // the key as the other program left it
};

void PrintTo(const ChangedMeanwhileCase& c, std::ostream* os) { *os << c.name; }

class RestoreDsnReadsTheKeyBack : public RestoreDsnTest, public ::testing::WithParamInterface<ChangedMeanwhileCase> {};

TEST_P(RestoreDsnReadsTheKeyBack, ChangedMeanwhileShowsTheBackupAndIsNotCounted) {
  // Right after the last write: before the key's values are counted again.
  other::ActBefore(Call::RegQueryInfoKeyW, 1, GetParam().act);
  EXPECT_FALSE(Restore());
  EXPECT_EQ(other::ActionsPerformed(), 1);
  EXPECT_EQ(*KeyValues(HKEY_CURRENT_USER, kSalesKey), GetParam().left);
  const std::u16string changed =
      u"Another program changed the key of DSN \"Sales\" while it was being restored; that key was left as it is, "
      u"and may not hold these settings.";
  EXPECT_THAT(ShownBoxes(),
              ElementsAre(Box(u"Cannot restore DSN Sales",
                              changed + u" Its backup follows: copy this message (Ctrl+C) to keep it, and restore "
                                        u"the settings by hand.\r\n\r\n" + kSalesBackup)));
}

INSTANTIATE_TEST_SUITE_P(
    Cases, RestoreDsnReadsTheKeyBack,
    ::testing::Values(
        ChangedMeanwhileCase{"a value added",
                             [] { other::SetValueOf(HKEY_CURRENT_USER, kSalesKey, Sz(u"Theirs", u"1")); },
                             {Sz(u"Server", u"db1"), Sz(u"Port", u"5432"), Sz(u"Theirs", u"1")}},
        ChangedMeanwhileCase{"a value changed",
                             [] { other::SetValueOf(HKEY_CURRENT_USER, kSalesKey, Sz(u"PORT", u"1")); },
                             {Sz(u"Server", u"db1"), Sz(u"Port", u"1")}},
        ChangedMeanwhileCase{"a value removed",
                             [] { other::DeleteValueOf(HKEY_CURRENT_USER, kSalesKey, u"Server"); },
                             {Sz(u"Port", u"5432")}}));

TEST_F(RestoreDsnTest, KeyDeletedAsSoonAsItWasRestoredShowsTheBackup) {
  other::ActBefore(Call::RegQueryInfoKeyW, 1, [] { other::DeleteKey(HKEY_CURRENT_USER, kSalesKey); });
  EXPECT_FALSE(Restore());
  EXPECT_FALSE(win32::fake::KeyExists(HKEY_CURRENT_USER, kSalesKey));
  EXPECT_THAT(ShownBoxes(),
              ElementsAre(Box(u"Cannot restore DSN Sales",
                              BoxWithTheBackup(ERROR_KEY_DELETED,
                                               u"The settings of DSN \"Sales\" are no longer in the registry: another "
                                               u"program deleted its key as soon as it was restored."))));
}

// The read-back expects what the writes leave: a later member of a name, in
// any letter case (through the registry's own table, beyond ASCII), replaces
// the text and keeps the first name. Nothing is taken for a change then; and
// a read the registry refuses tells nothing against the writes it accepted.
TEST_F(RestoreDsnTest, KeyReadBackAsWrittenCountsTheDsn) {
  struct Row {
    const char* name;
    std::u16string backup;
    std::function<void()> arrange;
  };
  const Row rows[] = {
      {"names repeated in other letter cases",
       u"{\"Server\":\"a\",\"SERVER\":\"b\",\"\u0394\u03b9\u03ba\u03c4\u03c5\u03bf\":\"c\","
       u"\"\u0394\u0399\u039a\u03a4\u03a5\u039f\":\"d\"}",
       [] {}},
      {"its count refused", kSalesBackup, [] { FailCall(Call::RegQueryInfoKeyW, ERROR_NOT_ENOUGH_MEMORY, 1); }},
      {"a value's read refused", kSalesBackup, [] { FailCall(Call::RegEnumValueW, ERROR_ACCESS_DENIED, 2); }},
  };
  for (const Row& row : rows) {
    SCOPED_TRACE(row.name);
    win32::fake::Reset();
    AddBackedUpDsn(HKEY_CURRENT_USER, u"Sales", row.backup);
    row.arrange();
    EXPECT_TRUE(Restore(row.backup));
    EXPECT_THAT(ShownBoxes(), IsEmpty());
    EXPECT_EQ(win32::fake::CallCount(Call::RegQueryInfoKeyW), 1);
  }
  EXPECT_THAT(*KeyValues(HKEY_CURRENT_USER, kSalesKey), ElementsAre(Sz(u"Server", u"db1"), Sz(u"Port", u"5432")));
}

TEST_F(RestoreDsnTest, RestoresBelowTheMachineTreeToo) {
  AddBackedUpDsn(HKEY_LOCAL_MACHINE, u"Sales", u"{\"Server\":\"machine\"}");
  EXPECT_TRUE(RestoreDsn(HKEY_LOCAL_MACHINE, u"Sales", kTree, u"{\"Server\":\"machine\"}"));
  EXPECT_THAT(*KeyValues(HKEY_LOCAL_MACHINE, kSalesKey), ElementsAre(Sz(u"Server", u"machine")));
  ExpectSalesUnchanged();
}

}  // namespace
}  // namespace dsn_restore
