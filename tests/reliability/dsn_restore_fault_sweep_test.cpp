// dsn-restore keeps working and loses nothing whichever registry, box or
// system-text call fails.
#include <algorithm>
#include <map>

#include "dsn_restore/backup_document.h"
#include "dsn_restore/restore_run.h"
#include "reliability/fault_sweep.h"
#include "support/members_as_key.h"
#include "support/odbc_fixture.h"

namespace {

using namespace odbc_fixture;
using namespace win32::fake;
using fault_sweep::Fault;
using fault_sweep::Figures;

struct SeededDsn {
  HKEY root;
  std::u16string name;
  std::u16string driver;
  std::optional<std::u16string> backup;
  std::vector<std::pair<std::u16string, std::u16string>> values;
  bool hasSubkey = false;
};

// What the DSN's key must hold once rebuilt, when its backup can be restored.
std::optional<std::vector<RegistryValue>> ExpectedKey(const SeededDsn& dsn) {
  if (!dsn.backup || dsn.driver != kDriver) {
    return std::nullopt;
  }
  const auto document = dsn_restore::ReadBackupDocument(*dsn.backup);
  const auto* members = std::get_if<dsn_restore::BackupMembers>(&document);
  if (members == nullptr) {
    return std::nullopt;
  }
  return MembersAsKey(*members);
}

class DsnRestoreSweep {
 public:
  explicit DsnRestoreSweep(std::vector<SeededDsn> dsns) : dsns_(std::move(dsns)) {}

  void Arrange() const {
    CreateKey(HKEY_LOCAL_MACHINE, kTree);
    for (const SeededDsn& dsn : dsns_) {
      AddDsn(dsn.root, dsn.name, dsn.driver);
      CreateKey(dsn.root, DsnKey(dsn.name));
      for (const auto& [name, text] : dsn.values) {
        SetText(dsn.root, DsnKey(dsn.name), name, text);
      }
      if (dsn.backup) {
        SetText(dsn.root, DsnKey(dsn.name), u"Backup", *dsn.backup);
      }
      if (dsn.hasSubkey) {
        CreateKey(dsn.root, DsnKey(dsn.name) + u"\\Options");
      }
    }
  }

  void Run() { status_ = dsn_restore::RunDsnRestore(); }

  void RecordBaseline() {
    Reset();
    Arrange();
    for (const SeededDsn& dsn : dsns_) {
      before_.push_back(*KeyValues(dsn.root, DsnKey(dsn.name)));
    }
    Run();
    baselineFailures_ = FailureBoxes();
  }

  void Check(const Fault& fault, Figures& figures) const {
    const auto& boxes = AttemptedBoxes();
    figures.Check(status_ == 0, "exit status 0");
    figures.Check(OpenKeyCount() == 0, "no registry key left open");
    figures.Check(LocalAllocationCount() == 0, "no system text left allocated");
    figures.Check(!boxes.empty() && boxes.front().caption == u"Manage ODBC 2.x DSN", "the run asks first");

    const bool declined = fault.call == Call::MessageBoxW && fault.callIndex == 1;
    if (declined) {
      // The confirmation could not appear: nothing is done.
      figures.Check(boxes.size() == 1, "nothing more is shown");
      for (std::size_t i = 0; i < dsns_.size(); ++i) {
        figures.Check(KeyValues(dsns_[i].root, DsnKey(dsns_[i].name)) == before_[i], "registry untouched");
      }
      return;
    }
    figures.Check(boxes.back().caption == u"Restore complete", "the run reaches its summary");

    // Each failure is shown once: one injected failure adds one box at most.
    std::vector<ShownBox> extra = FailureBoxes();
    for (const ShownBox& box : baselineFailures_) {
      const auto found = std::find(extra.begin(), extra.end(), box);
      if (found != extra.end()) {
        extra.erase(found);
      }
    }
    figures.Check(extra.size() <= 1, "at most one box more than the clean run");

    int exact = 0;
    for (std::size_t i = 0; i < dsns_.size(); ++i) {
      const SeededDsn& dsn = dsns_[i];
      const auto now = KeyValues(dsn.root, DsnKey(dsn.name));
      const auto expected = ExpectedKey(dsn);
      if (expected && now == expected) {
        ++exact;
        ++figures.rebuiltWhole;
        continue;
      }
      if (!dsn.backup || dsn.driver != kDriver) {
        figures.Check(now == before_[i], "DSN " + Utf8ForPrinting(dsn.name) + " without a backup is left alone");
        continue;
      }
      // The settings must survive in one of the other two forms.
      if (HoldsBackup(now, *dsn.backup)) {
        ++figures.backupInTheKey;
      } else if (BackupShown(*dsn.backup)) {
        ++figures.backupInABox;
      } else {
        ++figures.lostUnshown;
        figures.Check(false, "DSN " + Utf8ForPrinting(dsn.name) + " is rebuilt, keeps its backup, or shows it");
      }
    }
    const std::u16string count = DecimalFor(exact);
    figures.Check(boxes.back().text == count + (exact > 1 ? u" DSNs restored" : u" DSN restored"),
                  "the summary counts the keys that hold exactly their backup");
  }

 private:
  static std::vector<ShownBox> FailureBoxes() {
    const auto& boxes = AttemptedBoxes();
    return boxes.size() < 2 ? std::vector<ShownBox>{} : std::vector<ShownBox>(boxes.begin() + 1, boxes.end() - 1);
  }
  static bool HoldsBackup(const std::optional<std::vector<RegistryValue>>& key, const std::u16string& backup) {
    return key && std::find(key->begin(), key->end(), Sz(u"Backup", backup)) != key->end();
  }
  static bool BackupShown(const std::u16string& backup) {
    return std::any_of(AttemptedBoxes().begin(), AttemptedBoxes().end(),
                       [&](const ShownBox& box) { return box.text.ends_with(backup); });
  }

  std::vector<SeededDsn> dsns_;
  std::vector<std::vector<RegistryValue>> before_;
  std::vector<ShownBox> baselineFailures_;
  int status_ = -1;
};

void SweepRestore(std::vector<SeededDsn> dsns, Figures& figures) {
  DsnRestoreSweep sweep(std::move(dsns));
  sweep.RecordBaseline();
  fault_sweep::Sweep([&] { sweep.Arrange(); }, [&] { sweep.Run(); },
                     [&](const Fault& fault) { sweep.Check(fault, figures); }, figures);
}

TEST(DsnRestoreFaultSweep, EveryFailingCallKeepsTheRunWholeAndLosesNothingUnshown) {
  Figures figures;
  const std::u16string good = u"{\"Server\":\"db1\",\"Port\":\"5432\",\"\":\"default\",\"port\":\"6543\"}";
  // Several DSNs in both trees, with good and bad backups.
  SweepRestore({{HKEY_CURRENT_USER, u"Alpha", kDriver, good, {{u"Server", u"old"}, {u"Stale", u"x"}}},
                {HKEY_CURRENT_USER, u"Broken", kDriver, u"{\"Server\":", {{u"Server", u"old"}}},
                {HKEY_CURRENT_USER, u"Typed", kDriver, u"{\"Server\":\"db\",\"Port\":1}", {}},
                {HKEY_CURRENT_USER, u"Foreign", u"SQL Server", good, {{u"Server", u"theirs"}}},
                {HKEY_CURRENT_USER, u"Plain", kDriver, std::nullopt, {{u"Server", u"plain"}}},
                {HKEY_LOCAL_MACHINE, u"Gamma", kDriver, u"{\"Server\":\"caf\u00e9 \U0001F600\"}", {{u"Old", u"1"}}},
                {HKEY_LOCAL_MACHINE, u"Nested", kDriver, good, {{u"Server", u"old"}}, true}},
               figures);
  // One DSN with many members, and no per-user tree.
  std::u16string many = u"{";
  for (int i = 0; i < 12; ++i) {
    many += (i ? u"," : u"") + std::u16string(u"\"Setting") + DecimalFor(i) + u"\":\"value " + DecimalFor(i) + u"\"";
  }
  SweepRestore({{HKEY_LOCAL_MACHINE, u"Wide", kDriver, many + u"}", {{u"Old", u"1"}}}}, figures);

  std::cout << "dsn-restore fault sweep: " << figures.faultyRuns << " faulty runs, " << figures.checksPassed
            << " invariant checks passed, " << figures.checksFailed << " failed\n"
            << "dsn-restore fault sweep: backed-up DSNs after a faulty run: " << figures.rebuiltWhole
            << " rebuilt whole, " << figures.backupInTheKey << " with the backup still in the key, "
            << figures.backupInABox << " with the backup text shown in a box, " << figures.lostUnshown
            << " lost unshown\n";
  EXPECT_GT(figures.faultyRuns, 500);
  // Each form was met, and checked.
  EXPECT_GT(figures.backupInTheKey, 0);
  EXPECT_GT(figures.backupInABox, 0);
  EXPECT_EQ(figures.lostUnshown, 0);
}

}  // namespace
