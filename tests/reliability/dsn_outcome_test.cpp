// The sweep's forms on outcomes made by hand: each form is told, and broken
// outcomes (a stray value, another DSN's backup, a Backup value missing)
// match none, so that the sweep counts them as losses.
#include "reliability/dsn_outcome.h"

#include <gmock/gmock.h>

#include "support/odbc_fixture.h"

namespace {

using namespace odbc_fixture;
using dsn_outcome::BackedUpDsn;
using dsn_outcome::Form;
using dsn_outcome::FormsOf;
using dsn_outcome::Key;
using win32::fake::RegistryValue;
using win32::fake::ShownBox;

const std::u16string kBackup = u"{\"Server\":\"db1\",\"Port\":\"5432\"}";
const std::u16string kOtherBackup = u"{\"OtherServer\":\"db2\"}";
const std::vector<RegistryValue> kBefore = {Sz(u"Server", u"old"), Sz(u"Backup", kBackup)};
const BackedUpDsn kSales{u"Sales", kBackup, kBefore, std::nullopt};

// A box that holds a DSN's backup text, as the restore shows it, saying
// that the settings are no longer in the registry, or where else.
ShownBox BackupBox(const std::u16string& caption, const std::u16string& dsnName, const std::u16string& backup,
                   bool keyHoldsPart = false) {
  const std::u16string where = keyHoldsPart
                                   ? u"The key of DSN \"" + dsnName + u"\" holds only part of its settings."
                                   : u"The settings of DSN \"" + dsnName + u"\" are no longer in the registry.";
  return Box(caption, u"Access is denied.\r\n\r\n" + where +
                          u" Its backup follows: copy this message (Ctrl+C) to keep it, and restore the settings by "
                          u"hand.\r\n\r\n" +
                          backup);
}
ShownBox Refused(const std::u16string& name, const std::u16string& dsnName = u"Sales") {
  return Box(u"Cannot set registry value " + name,
             win32::fake::SystemMessage(ERROR_ACCESS_DENIED) + u"\r\nThis setting of DSN \"" + dsnName +
                 u"\" was not written.");
}

struct OutcomeCase {
  const char* name;
  Key now;
  std::vector<ShownBox> shown;
  std::vector<Form> forms;  // none: a loss
  Key remadeMeanwhile = std::nullopt;
};

void PrintTo(const OutcomeCase& c, std::ostream* os) { *os << c.name; }

class DsnOutcomeTest : public ::testing::TestWithParam<OutcomeCase> {};

TEST_P(DsnOutcomeTest, TellsTheFormOrALoss) {
  BackedUpDsn dsn = kSales;
  dsn.remadeMeanwhile = GetParam().remadeMeanwhile;
  EXPECT_EQ(FormsOf(dsn, GetParam().now, GetParam().shown), GetParam().forms);
}

const ShownBox kCreateBox = BackupBox(u"Cannot create registry key Sales", u"Sales", kBackup);
const ShownBox kBackupBox = BackupBox(u"Cannot set registry value Backup", u"Sales", kBackup, true);
const Key kGone = std::nullopt;

INSTANTIATE_TEST_SUITE_P(
    Forms, DsnOutcomeTest,
    ::testing::Values(
        OutcomeCase{"AsBefore", kBefore, {}, {Form::kAsBefore}},
        OutcomeCase{"Rebuilt", Key({Sz(u"Server", u"db1"), Sz(u"Port", u"5432")}), {}, {Form::kRebuilt}},
        OutcomeCase{"ValueRefusedBackupKept",
                    Key({Sz(u"Server", u"db1"), Sz(u"Backup", kBackup)}),
                    {Refused(u"Port")},
                    {Form::kValueRefusedBackupKept}},
        OutcomeCase{"EveryValueRefusedBackupKept",
                    Key({Sz(u"Backup", kBackup)}),
                    {Refused(u"Server"), Refused(u"Port")},
                    {Form::kValueRefusedBackupKept}},
        OutcomeCase{"ValueAndBackupRefusedBackupShown",
                    Key({Sz(u"Server", u"db1")}),
                    {Refused(u"Port"), kBackupBox},
                    {Form::kValueRefusedBackupShown}},
        OutcomeCase{"EveryValueAndBackupRefusedBackupShown",
                    Key(std::vector<RegistryValue>{}),
                    {Refused(u"Server"), Refused(u"Port"),
                     BackupBox(u"Cannot set registry value Backup", u"Sales", kBackup)},
                    {Form::kValueRefusedBackupShown}},
        OutcomeCase{"CreateFailedBackupShown", kGone, {kCreateBox}, {Form::kCreateFailedBackupShown}},
        OutcomeCase{"KeyMadeAgainByAnotherProgramBackupShown",
                    Key({Sz(u"Theirs", u"1")}),
                    {kCreateBox},
                    {Form::kCreateFailedBackupShown},
                    Key({Sz(u"Theirs", u"1")})},
        // Broken outcomes: each is a loss.
        OutcomeCase{"StrayValueBeforeTheDelete", Key({Sz(u"Server", u"old"), Sz(u"Backup", kBackup),
                                                      Sz(u"Stray", u"1")}), {}, {}},
        OutcomeCase{"ValueLostBeforeTheDelete", Key({Sz(u"Backup", kBackup)}), {}, {}},
        OutcomeCase{"RebuiltWithAStrayValue",
                    Key({Sz(u"Server", u"db1"), Sz(u"Port", u"5432"), Sz(u"Stray", u"1")}), {}, {}},
        OutcomeCase{"KeyGoneAndNothingShown", kGone, {}, {}},
        OutcomeCase{"BoxShowsAnotherDsnsBackup", kGone,
                    {BackupBox(u"Cannot create registry key Sales", u"Sales", kOtherBackup)}, {}},
        OutcomeCase{"BoxOfAnotherDsn", kGone, {BackupBox(u"Cannot create registry key Other", u"Other", kBackup)},
                    {}},
        OutcomeCase{"BoxShowsPartOfTheBackup", kGone,
                    {BackupBox(u"Cannot create registry key Sales", u"Sales", kBackup.substr(10))}, {}},
        OutcomeCase{"BackupShownTwice", kGone, {kCreateBox, kCreateBox}, {}},
        OutcomeCase{"KeyMadeAgainButChangedByTheTool", Key({Sz(u"Theirs", u"1"), Sz(u"Server", u"db1")}),
                    {kCreateBox}, {}, Key({Sz(u"Theirs", u"1")})},
        OutcomeCase{"ValueRefusedKeyMissingItsBackup", Key({Sz(u"Server", u"db1")}), {Refused(u"Port")}, {}},
        OutcomeCase{"ValueRefusedBackupWithoutItsNul",
                    Key({Sz(u"Server", u"db1"), RegistryValue{u"Backup", REG_SZ,
                                                              win32::fake::TextBytes(kBackup, false)}}),
                    {Refused(u"Port")}, {}},
        OutcomeCase{"ValueRefusedWithoutItsBox", Key({Sz(u"Server", u"db1"), Sz(u"Backup", kBackup)}), {}, {}},
        OutcomeCase{"ValueRefusedInTheBoxOfAnotherDsn", Key({Sz(u"Server", u"db1"), Sz(u"Backup", kBackup)}),
                    {Refused(u"Port", u"Other")}, {}},
        OutcomeCase{"ValueRefusedInABoxThatNamesNoDsn", Key({Sz(u"Server", u"db1"), Sz(u"Backup", kBackup)}),
                    {SystemErrorBox(u"Cannot set registry value Port", ERROR_ACCESS_DENIED)}, {}},
        OutcomeCase{"BoxForAValueThatWasWritten",
                    Key({Sz(u"Server", u"db1"), Sz(u"Port", u"5432"), Sz(u"Backup", kBackup)}),
                    {Refused(u"Port")}, {}},
        OutcomeCase{"BackupRefusedBoxSaysNothingIsInTheRegistryWhileTheKeyHoldsPart", Key({Sz(u"Server", u"db1")}),
                    {Refused(u"Port"), BackupBox(u"Cannot set registry value Backup", u"Sales", kBackup)}, {}},
        OutcomeCase{"BackupRefusedBoxShowsAnotherDsnsBackup", Key({Sz(u"Server", u"db1")}),
                    {Refused(u"Port"), BackupBox(u"Cannot set registry value Backup", u"Sales", kOtherBackup)},
                    {}}),
    [](const auto& info) { return std::string(info.param.name); });

TEST(DsnOutcome, BackupThatCannotBeRestoredMayOnlyLeaveTheKeyAsItWas) {
  const BackedUpDsn broken{u"Sales", u"{\"Server\":", kBefore, std::nullopt};
  EXPECT_THAT(FormsOf(broken, kBefore, {}), ::testing::ElementsAre(Form::kAsBefore));
  EXPECT_THAT(FormsOf(broken, kGone, {BackupBox(u"Cannot create registry key Sales", u"Sales", u"{\"Server\":")}),
              ::testing::IsEmpty());
}

TEST(DsnOutcome, RunsWhoseDsnsShareAMemberNameOrNameOneBackupAreRefused) {
  const BackedUpDsn other{u"Other", kOtherBackup, std::nullopt, std::nullopt};
  EXPECT_TRUE(dsn_outcome::DistinctMemberNames({kSales, other}));
  EXPECT_FALSE(dsn_outcome::DistinctMemberNames(
      {kSales, {u"Other", u"{\"server\":\"db2\"}", std::nullopt, std::nullopt}}));
  EXPECT_FALSE(dsn_outcome::DistinctMemberNames({{u"Other", u"{\"BACKUP\":\"{}\"}", std::nullopt, std::nullopt}}));
}

}  // namespace
