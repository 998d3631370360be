#include "dsn_restore/restore_run.h"

#include <gmock/gmock.h>

#include "support/odbc_fixture.h"

namespace dsn_restore {
namespace {

using namespace odbc_fixture;
using ::testing::ElementsAre;
using win32::fake::AnswerNextBox;
using win32::fake::KeyValues;
using win32::fake::ShownBox;
using win32::fake::ShownBoxes;

const ShownBox kConfirmation{u"Do you want to restore ODBC 2.x DSNs", u"Manage ODBC 2.x DSN", MB_YESNOCANCEL};

ShownBox Summary(const std::u16string& text) { return Box(u"Restore complete", text); }

class RestoreRunTest : public FakePlatformTest {};

TEST_F(RestoreRunTest, AnyAnswerButYesEndsTheRunAndTouchesNothing) {
  // IDCANCEL is also what closing the box gives; 0 is a box that could not be shown.
  for (const int answer : {IDNO, IDCANCEL, 0}) {
    win32::fake::Reset();
    AddBackedUpDsn(HKEY_CURRENT_USER, u"Sales", u"{\"Server\":\"db1\"}", {{u"Server", u"old"}});
    const auto before = KeyValues(HKEY_CURRENT_USER, DsnKey(u"Sales"));
    AnswerNextBox(answer);

    EXPECT_EQ(RunDsnRestore(), 0);
    EXPECT_THAT(ShownBoxes(), ElementsAre(kConfirmation)) << answer;
    EXPECT_EQ(KeyValues(HKEY_CURRENT_USER, DsnKey(u"Sales")), before) << answer;
    EXPECT_EQ(win32::fake::CallCount(win32::fake::Call::RegOpenKeyExW), 0) << answer;
  }
}

TEST_F(RestoreRunTest, SummaryCountsTheDsnsRestoredInBothTrees) {
  struct Case {
    int userDsns;
    int machineDsns;
    std::u16string summary;
  };
  const Case cases[] = {
      {0, 0, u"0 DSN restored"},
      {1, 0, u"1 DSN restored"},
      {1, 1, u"2 DSNs restored"},
      {2, 1, u"3 DSNs restored"},
  };
  for (const Case& c : cases) {
    win32::fake::Reset();
    win32::fake::CreateKey(HKEY_CURRENT_USER, kTree);
    win32::fake::CreateKey(HKEY_LOCAL_MACHINE, kTree);
    for (int i = 0; i < c.userDsns; ++i) {
      AddBackedUpDsn(HKEY_CURRENT_USER, u"User" + DecimalFor(i), u"{\"Server\":\"u\"}");
    }
    for (int i = 0; i < c.machineDsns; ++i) {
      AddBackedUpDsn(HKEY_LOCAL_MACHINE, u"Machine" + DecimalFor(i), u"{\"Server\":\"m\"}");
    }
    EXPECT_EQ(RunDsnRestore(), 0);
    EXPECT_THAT(ShownBoxes(), ElementsAre(kConfirmation, Summary(c.summary)));
  }
}

TEST_F(RestoreRunTest, RestoresBothTreesAndLeavesOtherDriversAlone) {
  AddBackedUpDsn(HKEY_CURRENT_USER, u"Sales", u"{\"Server\":\"user\"}", {{u"Old", u"1"}});
  AddBackedUpDsn(HKEY_LOCAL_MACHINE, u"Sales", u"{\"Server\":\"machine\"}", {{u"Old", u"2"}});
  AddDsn(HKEY_CURRENT_USER, u"Foreign", u"SQL Server");
  win32::fake::SetText(HKEY_CURRENT_USER, DsnKey(u"Foreign"), u"Backup", u"{\"Server\":\"x\"}");
  const auto foreign = KeyValues(HKEY_CURRENT_USER, DsnKey(u"Foreign"));

  RunDsnRestore();

  EXPECT_THAT(*KeyValues(HKEY_CURRENT_USER, DsnKey(u"Sales")), ElementsAre(Sz(u"Server", u"user")));
  EXPECT_THAT(*KeyValues(HKEY_LOCAL_MACHINE, DsnKey(u"Sales")), ElementsAre(Sz(u"Server", u"machine")));
  EXPECT_EQ(KeyValues(HKEY_CURRENT_USER, DsnKey(u"Foreign")), foreign);
  EXPECT_THAT(ShownBoxes(), ElementsAre(kConfirmation, Summary(u"2 DSNs restored")));
}

TEST_F(RestoreRunTest, SkipsDsnsWithoutABackupAndASecondRunRestoresNothing) {
  AddDsn(HKEY_CURRENT_USER, u"NoBackup");
  win32::fake::SetText(HKEY_CURRENT_USER, DsnKey(u"NoBackup"), u"Server", u"db1");
  AddBackedUpDsn(HKEY_CURRENT_USER, u"EmptyBackup", u"");
  AddDsn(HKEY_CURRENT_USER, u"NoKey");
  AddBackedUpDsn(HKEY_CURRENT_USER, u"Sales", u"{\"Server\":\"db1\"}");

  RunDsnRestore();
  EXPECT_THAT(ShownBoxes(), ElementsAre(kConfirmation, Summary(u"1 DSN restored")));
  EXPECT_THAT(*KeyValues(HKEY_CURRENT_USER, DsnKey(u"NoBackup")), ElementsAre(Sz(u"Server", u"db1")));

  win32::fake::Reset();
  win32::fake::SetText(HKEY_CURRENT_USER, DsnKey(u"Sales"), u"Server", u"db1");
  AddDsn(HKEY_CURRENT_USER, u"Sales");
  RunDsnRestore();
  EXPECT_THAT(ShownBoxes(), ElementsAre(kConfirmation, Summary(u"0 DSN restored")));
}

TEST_F(RestoreRunTest, FailedDsnIsNotCountedAndTheUserPassEndsBeforeTheMachinePass) {
  AddBackedUpDsn(HKEY_CURRENT_USER, u"Broken", u"not json");
  AddBackedUpDsn(HKEY_CURRENT_USER, u"Sales", u"{\"Server\":\"db1\"}");
  AddBackedUpDsn(HKEY_LOCAL_MACHINE, u"Locked", u"{\"Server\":\"db1\"}");
  win32::fake::DenyAccess(HKEY_LOCAL_MACHINE, DsnKey(u"Locked"), DELETE);
  AddBackedUpDsn(HKEY_LOCAL_MACHINE, u"Shared", u"{\"Server\":\"db2\"}");

  RunDsnRestore();

  ASSERT_EQ(ShownBoxes().size(), 4u);
  EXPECT_EQ(ShownBoxes()[0], kConfirmation);
  EXPECT_EQ(ShownBoxes()[1].caption, u"invalid literal, expected a valid literal such as 'null'");
  EXPECT_EQ(ShownBoxes()[2],
            SystemErrorBox(u"Cannot delete registry key SOFTWARE\\ODBC\\ODBC.ini\\Locked", ERROR_ACCESS_DENIED));
  EXPECT_EQ(ShownBoxes()[3], Summary(u"2 DSNs restored"));
  EXPECT_THAT(*KeyValues(HKEY_LOCAL_MACHINE, DsnKey(u"Shared")), ElementsAre(Sz(u"Server", u"db2")));
}

TEST_F(RestoreRunTest, MissingUserTreeIsSilentAndTheMachinePassStillRuns) {
  AddBackedUpDsn(HKEY_LOCAL_MACHINE, u"Sales", u"{\"Server\":\"db1\"}");
  RunDsnRestore();
  EXPECT_THAT(ShownBoxes(), ElementsAre(kConfirmation, Summary(u"1 DSN restored")));
}

TEST_F(RestoreRunTest, TreeThatCannotBeReadContributesNothing) {
  AddBackedUpDsn(HKEY_CURRENT_USER, u"Sales", u"{\"Server\":\"db1\"}");
  win32::fake::DenyAccess(HKEY_CURRENT_USER, kTree, KEY_READ);
  RunDsnRestore();
  EXPECT_THAT(ShownBoxes(), ElementsAre(kConfirmation, Summary(u"0 DSN restored")));
}

TEST_F(RestoreRunTest, RestoreHiveCountsEachListedDsnOnce) {
  for (int i = 0; i < 200; ++i) {
    AddBackedUpDsn(HKEY_CURRENT_USER, u"Dsn" + DecimalFor(i), u"{\"Server\":\"db\",\"Port\":\"1\"}");
  }
  EXPECT_EQ(RestoreHive(HKEY_CURRENT_USER, kTree), 200);
  EXPECT_EQ(RestoreHive(HKEY_CURRENT_USER, kTree), 0);
  EXPECT_THAT(ShownBoxes(), ::testing::IsEmpty());
}

}  // namespace
}  // namespace dsn_restore
