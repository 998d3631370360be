// dsn-restore keeps working and loses nothing whichever registry, box or
// system-text call fails, once or from then on: after each faulty run every
// backed-up DSN is in exactly one of the forms of reliability/dsn_outcome.h.
#include <gmock/gmock.h>

#include <algorithm>
#include <functional>
#include <sstream>

#include "dsn_restore/restore_run.h"
#include "reliability/dsn_outcome.h"
#include "reliability/dsn_seeds.h"
#include "reliability/fault_sweep.h"
#include "support/figures_file.h"
#include "support/odbc_fixture.h"

namespace {

using namespace odbc_fixture;
using namespace win32::fake;
using dsn_outcome::Form;
using dsn_outcome::kFormCount;
using dsn_seeds::BackedUp;
using dsn_seeds::SeededDsn;
using fault_sweep::Fault;
using fault_sweep::Figures;

// Where the backed-up DSNs ended, counted in faulty runs: a run counts once in
// each form one of its DSNs ended in, and separately when the fault put a DSN
// in a form other than the one the clean run leaves it in.
struct FormFigures {
  int runs[kFormCount] = {};
  int runsByTheFault[kFormCount] = {};
  int lostUnshown = 0;  // outcomes that match no form
  int ambiguous = 0;    // outcomes that match more than one
};

class DsnRestoreSweep {
 public:
  explicit DsnRestoreSweep(std::vector<SeededDsn> dsns) : dsns_(std::move(dsns)) {}

  void Arrange() const { dsn_seeds::Arrange(dsns_); }

  void Run() { status_ = dsn_restore::RunDsnRestore(); }

  // The clean run: what each key held before, the boxes it shows, and the
  // form each backed-up DSN ends in.
  void RecordBaseline() {
    Reset();
    Arrange();
    for (const SeededDsn& dsn : dsns_) {
      before_.push_back(*KeyValues(dsn.root, DsnKey(dsn.name)));
      if (BackedUp(dsn)) {
        backedUp_.push_back({dsn.name, *dsn.backup, before_.back(), std::nullopt});
      } else {
        backedUp_.push_back({});
      }
    }
    ASSERT_TRUE(DistinctMemberNames()) << "the seeded DSNs share a member name, or name one Backup";
    ASSERT_TRUE(DistinctBackups()) << "two seeded DSNs share a backup text";
    Run();
    baselineFailures_ = FailureBoxes();
    for (std::size_t i = 0; i < dsns_.size(); ++i) {
      if (BackedUp(dsns_[i])) {
        const auto forms = dsn_outcome::FormsOf(backedUp_[i], KeyValues(dsns_[i].root, DsnKey(dsns_[i].name)),
                                                ShownBoxes());
        ASSERT_EQ(forms.size(), 1u) << "the clean run leaves DSN " << Utf8ForPrinting(dsns_[i].name)
                                    << " in exactly one form";
        cleanForms_.push_back(forms.front());
      } else {
        cleanForms_.push_back(Form::kAsBefore);
      }
    }
  }

  void Check(const Fault& fault, Figures& figures, FormFigures& forms) const {
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

    // Each failure is shown once: every call that failed adds one box at most.
    std::vector<ShownBox> extra = FailureBoxes();
    for (const ShownBox& box : baselineFailures_) {
      const auto found = std::find(extra.begin(), extra.end(), box);
      if (found != extra.end()) {
        extra.erase(found);
      }
    }
    figures.Check(static_cast<int>(extra.size()) <= InjectedFailureCount(),
                  "no more boxes than the clean run's and one for each failed call");

    int rebuilt = 0;
    bool met[kFormCount] = {};
    bool metByTheFault[kFormCount] = {};
    for (std::size_t i = 0; i < dsns_.size(); ++i) {
      const SeededDsn& dsn = dsns_[i];
      const auto now = KeyValues(dsn.root, DsnKey(dsn.name));
      if (!BackedUp(dsn)) {
        figures.Check(now == before_[i], "DSN " + Utf8ForPrinting(dsn.name) +
                                             " without a backup, or of another driver, is left alone");
        continue;
      }
      const std::vector<Form> found = dsn_outcome::FormsOf(backedUp_[i], now, ShownBoxes());
      if (found.empty()) {
        ++forms.lostUnshown;
      } else if (found.size() > 1) {
        ++forms.ambiguous;
      }
      figures.Check(found.size() == 1, "DSN " + Utf8ForPrinting(dsn.name) + " ends in exactly one of the forms");
      if (found.size() != 1) {
        continue;
      }
      const auto form = static_cast<std::size_t>(found.front());
      met[form] = true;
      metByTheFault[form] = metByTheFault[form] || found.front() != cleanForms_[i];
      rebuilt += found.front() == Form::kRebuilt ? 1 : 0;
    }
    for (int form = 0; form < kFormCount; ++form) {
      forms.runs[form] += met[form] ? 1 : 0;
      forms.runsByTheFault[form] += metByTheFault[form] ? 1 : 0;
    }
    const std::u16string count = DecimalFor(rebuilt);
    figures.Check(boxes.back().text == count + (rebuilt > 1 ? u" DSNs restored" : u" DSN restored"),
                  "the summary counts the keys rebuilt exactly from their backup");
  }

 private:
  bool DistinctMemberNames() const {
    std::vector<dsn_outcome::BackedUpDsn> all;
    for (const SeededDsn& dsn : dsns_) {
      if (dsn.backup) {
        all.push_back({dsn.name, *dsn.backup, std::nullopt, std::nullopt});
      }
    }
    return dsn_outcome::DistinctMemberNames(all);
  }
  bool DistinctBackups() const {
    std::vector<std::u16string> texts;
    for (const SeededDsn& dsn : dsns_) {
      if (dsn.backup) {
        if (std::find(texts.begin(), texts.end(), *dsn.backup) != texts.end()) {
          return false;
        }
        texts.push_back(*dsn.backup);
      }
    }
    return true;
  }
  static std::vector<ShownBox> FailureBoxes() {
    const auto& boxes = AttemptedBoxes();
    return boxes.size() < 2 ? std::vector<ShownBox>{} : std::vector<ShownBox>(boxes.begin() + 1, boxes.end() - 1);
  }

  std::vector<SeededDsn> dsns_;
  std::vector<std::vector<RegistryValue>> before_;
  std::vector<dsn_outcome::BackedUpDsn> backedUp_;  // empty for a DSN that is not backed up
  std::vector<Form> cleanForms_;
  std::vector<ShownBox> baselineFailures_;
  int status_ = -1;
};

void SweepRestore(std::vector<SeededDsn> dsns, Figures& figures, FormFigures& forms) {
  DsnRestoreSweep sweep(std::move(dsns));
  sweep.RecordBaseline();
  if (::testing::Test::HasFatalFailure()) {
    return;
  }
  fault_sweep::Sweep([&] { sweep.Arrange(); }, [&] { sweep.Run(); },
                     [&](const Fault& fault) { sweep.Check(fault, figures, forms); }, figures);
}

TEST(DsnRestoreFaultSweep, EveryFailingCallKeepsTheRunWholeAndLosesNothingUnshown) {
  Figures figures;
  FormFigures forms;
  SweepRestore(dsn_seeds::SeveralInBothTrees(), figures, forms);
  SweepRestore(dsn_seeds::OneWithManyMembers(), figures, forms);

  std::ostringstream text;
  text << "dsn-restore fault sweep: " << figures.faultyRuns << " faulty runs, " << figures.checksPassed
       << " invariant checks passed, " << figures.checksFailed << " failed\n"
       << "dsn-restore fault sweep: faulty runs per form of a backed-up DSN (a run counts in each form one"
          " of its DSNs ended in; in brackets, the runs where the fault put one there):\n";
  for (int form = 0; form < kFormCount; ++form) {
    text << "  " << dsn_outcome::FormName(static_cast<Form>(form)) << ": " << forms.runs[form] << " ("
         << forms.runsByTheFault[form] << ")\n";
  }
  text << "dsn-restore fault sweep: " << forms.ambiguous << " ambiguous, " << forms.lostUnshown << " lost unshown\n";
  std::cout << text.str();
  EXPECT_TRUE(figures_file::Write("dsn_restore_fault_sweep", text.str()));
  // Only the codes that refuse are injected (those that describe a state are the
  // interference sweep's): five for each registry call.
  EXPECT_GT(figures.faultyRuns, 750);
  // Each form that only a fault leads to was met because of one, and checked.
  EXPECT_GT(forms.runsByTheFault[static_cast<int>(Form::kAsBefore)], 0);
  EXPECT_GT(forms.runsByTheFault[static_cast<int>(Form::kValueRefusedBackupKept)], 0);
  EXPECT_GT(forms.runsByTheFault[static_cast<int>(Form::kValueRefusedBackupShown)], 0);
  EXPECT_GT(forms.runsByTheFault[static_cast<int>(Form::kCreateFailedBackupShown)], 0);
  EXPECT_EQ(forms.ambiguous, 0);
  EXPECT_EQ(forms.lostUnshown, 0);
}

}  // namespace
