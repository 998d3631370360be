// dsn-restore loses no DSN's settings unshown whatever another program does
// to the registry between two of its calls: after each run every backed-up
// DSN ends in one of the forms of reliability/interfered_dsn.h, what the
// other program did stays done, the DSNs it did not touch end as in a run
// alone, and the summary counts exactly the DSNs rebuilt.
#include <gtest/gtest-spi.h>
#include <gtest/gtest.h>

#include <algorithm>
#include <map>
#include <sstream>

#include "dsn_restore/registry_reading.h"
#include "dsn_restore/restore_dsn.h"
#include "dsn_restore/restore_run.h"
#include "dsn_restore/show_system_error.h"
#include "reliability/dsn_seeds.h"
#include "reliability/interfered_dsn.h"
#include "reliability/interference_sweep.h"
#include "reliability/invariant_checks.h"
#include "support/figures_file.h"
#include "win32/unique_handles.h"

namespace {

using namespace odbc_fixture;
using namespace win32::fake;
using dsn_seeds::SeededDsn;
using interfered_dsn::Form;
using interfered_dsn::kFormCount;
namespace other = win32::fake::other_program;

// What another program does, and what it reaches: one DSN's key, its entry
// under "ODBC Data Sources", that list as a whole (an entry removed while the
// tool enumerates the list moves those after it: the next one is passed over
// this run, as by any enumeration by index), or the tree key of a root. The
// last two reach every DSN of that root.
enum class Reach { kDsnKey, kDsnEntry, kDsnList, kTree };

// What it did to the DSN's key.
struct Done {
  std::optional<std::u16string> touched;  // the value it set or removed
  bool deletedTheKey = false;             // it deleted the key it found there
};

struct Action {
  std::string kind;  // as the figures name it
  Reach reach;
  std::size_t dsn;  // the seeded DSN it concerns (for kDsnList and kTree, one of that root)
  std::function<Done()> act;
};

// The first value of the key other than Backup, as it stands.
std::optional<std::u16string> FirstSetting(HKEY root, const std::u16string& path) {
  for (const RegistryValue& value : KeyValues(root, path).value_or(std::vector<RegistryValue>{})) {
    if (value.name != u"Backup") {
      return value.name;
    }
  }
  return std::nullopt;
}

// Every action of the list, on every seeded DSN (once per tree for the tree key).
std::vector<Action> ActionsOn(const std::vector<SeededDsn>& dsns) {
  std::vector<Action> actions;
  for (std::size_t i = 0; i < dsns.size(); ++i) {
    const HKEY root = dsns[i].root;
    const std::u16string name = dsns[i].name;
    const std::u16string key = DsnKey(name);
    const auto on = [&](std::string kind, Reach reach, std::function<Done()> act) {
      actions.push_back({std::move(kind), reach, i, std::move(act)});
    };
    const auto setting = [root, key](const std::u16string& valueName, const std::u16string& text) {
      const bool there = KeyExists(root, key);
      other::SetValueOf(root, key, Sz(valueName, text));
      return Done{there ? std::optional(valueName) : std::nullopt};
    };
    on("delete the DSN key", Reach::kDsnKey, [=] {
      const bool there = KeyExists(root, key);
      other::DeleteKey(root, key);
      return Done{std::nullopt, there};
    });
    on("delete it and make it again with other values", Reach::kDsnKey, [=] {
      const bool there = KeyExists(root, key);
      other::DeleteKey(root, key);
      other::MakeKey(root, key, {Sz(name + u"Theirs", u"theirs")});
      return Done{std::nullopt, there};
    });
    on("add a value", Reach::kDsnKey, [=] { return setting(u"TheirSetting", u"added"); });
    on("change a value", Reach::kDsnKey, [=] {
      const auto first = FirstSetting(root, key);
      return first ? setting(*first, u"changed") : Done{};
    });
    on("delete a value", Reach::kDsnKey, [=] {
      const auto first = FirstSetting(root, key);
      if (first) {
        other::DeleteValueOf(root, key, *first);
      }
      return Done{first};
    });
    on("change Backup", Reach::kDsnKey,
       [=] { return setting(u"Backup", u"{\"" + name + u"Theirs\":\"changed\"}"); });
    on("delete Backup", Reach::kDsnKey, [=] {
      const bool there = KeyExists(root, key);
      other::DeleteValueOf(root, key, u"Backup");
      return Done{there ? std::optional<std::u16string>(u"Backup") : std::nullopt};
    });
    on("add a subkey", Reach::kDsnKey, [=] {
      other::MakeKey(root, key + u"\\TheirOptions");
      return Done{};
    });
    on("withdraw DELETE from the DSN key", Reach::kDsnKey, [=] {
      other::WithdrawRights(root, key, DELETE);
      return Done{};
    });
    on("remove the DSN's entry", Reach::kDsnList, [=] {
      other::DeleteValueOf(root, kDataSources, name);
      return Done{};
    });
    on("change the entry to another driver", Reach::kDsnEntry, [=] {
      const auto entries = KeyValues(root, kDataSources).value_or(std::vector<RegistryValue>{});
      if (std::any_of(entries.begin(), entries.end(), [&](const auto& v) { return SameName(v.name, name); })) {
        other::SetValueOf(root, kDataSources, Sz(name, u"SQL Server"));
      }
      return Done{};
    });
    const bool firstOfItsTree =
        std::none_of(dsns.begin(), dsns.begin() + static_cast<long>(i), [&](const auto& d) { return d.root == root; });
    if (firstOfItsTree) {
      on("withdraw KEY_CREATE_SUB_KEY from the tree key", Reach::kTree, [=] {
        other::WithdrawRights(root, kTree, KEY_CREATE_SUB_KEY);
        return Done{};
      });
    }
  }
  return actions;
}

// Per action, the runs, and the runs in which a DSN it reached ended in each form.
struct ActionFigures {
  int runs = 0;
  int forms[kFormCount] = {};
};

struct Figures : InvariantChecks {
  int runs = 0;
  int lostUnshown = 0;
  std::map<std::string, ActionFigures> byAction;
  std::vector<std::string> actionOrder;
};

using Run = std::function<void()>;

class DsnInterferenceSweep {
 public:
  DsnInterferenceSweep(std::vector<SeededDsn> dsns, Run run)
      : dsns_(std::move(dsns)), run_(std::move(run)), actions_(ActionsOn(dsns_)) {}

  void Arrange() const { dsn_seeds::Arrange(dsns_); }

  // The run alone: what each key held before, how it ends, the boxes that
  // name each DSN, and where each one's attempt on its key ended.
  void RecordCleanRun() {
    Reset();
    Arrange();
    for (const SeededDsn& dsn : dsns_) {
      before_.push_back(KeyValues(dsn.root, DsnKey(dsn.name)));
    }
    run_();
    for (std::size_t d = 0; d < dsns_.size(); ++d) {
      clean_.push_back({KeyValues(dsns_[d].root, DsnKey(dsns_[d].name)), BoxesOf(d),
                        interfered_dsn::AttemptEndBeforeItsFirstBox(dsns_[d].name), {},
                        ReadBackStart(dsns_[d])});
      const auto backup = interfered_dsn::BackupRead(dsns_[d].root, dsns_[d].name);
      const auto members = backup ? interfered_dsn::MembersOf(*backup) : std::nullopt;
      clean_.back().rebuilt = members && clean_.back().final == MembersAsKey(*members);
    }
  }

  void Sweep(Figures& figures) {
    for (const Action& action : actions_) {
      if (!figures.byAction.count(action.kind)) {
        figures.actionOrder.push_back(action.kind);
      }
      figures.byAction[action.kind];
    }
    interference_sweep::Sweep([this] { Arrange(); }, run_, actions_.size(),
                              [this](std::size_t action) { Act(action); },
                              [this, &figures](int call, std::size_t action) { Check(call, action, figures); });
  }

 private:
  struct CleanOutcome {
    dsn_outcome::Key final;
    std::vector<ShownBox> boxes;
    int attemptEnd;
    bool rebuilt;
    int readBackStart;  // the call that begins to read its rebuilt key back (1 = the first); 0 when none
  };

  // In the run just made: after the DSN's backup was read, its key created,
  // the first count of a key's values is the tool's read-back of it.
  static int ReadBackStart(const SeededDsn& dsn) {
    int backupRead = 0;
    for (const ValueRead& read : ValuesRead()) {
      if (read.root == dsn.root && SameName(read.path, DsnKey(dsn.name)) && read.value.name == u"Backup") {
        backupRead = read.call;
        break;
      }
    }
    const auto& calls = CallLog();
    bool created = false;
    for (std::size_t i = static_cast<std::size_t>(backupRead); backupRead > 0 && i < calls.size(); ++i) {
      created = created || calls[i] == Call::RegCreateKeyExW;
      if (created && calls[i] == Call::RegQueryInfoKeyW) {
        return static_cast<int>(i) + 1;
      }
    }
    return 0;
  }

  // The other program acts; what it found and left is kept for the checks.
  void Act(std::size_t action) {
    witness_ = {};
    for (const SeededDsn& dsn : dsns_) {
      witness_.keysAt.push_back(KeyValues(dsn.root, DsnKey(dsn.name)));
    }
    witness_.done = actions_[action].act();
    for (const SeededDsn& dsn : dsns_) {
      witness_.keysAfter.push_back(KeyValues(dsn.root, DsnKey(dsn.name)));
    }
    for (const HKEY root : {HKEY_CURRENT_USER, HKEY_LOCAL_MACHINE}) {
      witness_.sourcesAfter.push_back(KeyValues(root, kDataSources));
    }
  }

  bool Reaches(const Action& action, std::size_t d) const {
    const bool wholeRoot = action.reach == Reach::kTree || action.reach == Reach::kDsnList;
    return wholeRoot ? dsns_[action.dsn].root == dsns_[d].root : action.dsn == d;
  }

  std::vector<ShownBox> BoxesOf(std::size_t d) const {
    std::vector<ShownBox> boxes;
    for (const ShownBox& box : AttemptedBoxes()) {
      if (interfered_dsn::NamesDsn(box, dsns_[d].name)) {
        boxes.push_back(box);
      }
    }
    return boxes;
  }

  void Check(int call, std::size_t actionIndex, Figures& figures) {
    const Action& action = actions_[actionIndex];
    ++figures.runs;
    ActionFigures& row = figures.byAction[action.kind];
    ++row.runs;
    const std::string when = action.kind + " of " + Utf8ForPrinting(dsns_[action.dsn].name) + " before call " +
                             std::to_string(call) + ": ";
    const auto& boxes = AttemptedBoxes();
    figures.Check(OtherProgramActed(), when + "the other program acted");
    figures.Check(OpenKeyCount() == 0, when + "no registry key left open");
    figures.Check(LocalAllocationCount() == 0, when + "no system text left allocated");
    figures.Check(!boxes.empty() && boxes.front().caption == u"Manage ODBC 2.x DSN", when + "the run asks first");
    figures.Check(!boxes.empty() && boxes.back().caption == u"Restore complete", when + "the run reaches its summary");

    int restored = 0;
    bool met[kFormCount] = {};
    for (std::size_t d = 0; d < dsns_.size(); ++d) {
      const SeededDsn& dsn = dsns_[d];
      const std::string which = when + "DSN " + Utf8ForPrinting(dsn.name);
      const auto now = KeyValues(dsn.root, DsnKey(dsn.name));
      if (!Reaches(action, d)) {
        // The run goes on with the next DSN as in a run alone.
        figures.Check(now == clean_[d].final && BoxesOf(d) == clean_[d].boxes, which + " ends as in a run alone");
        restored += clean_[d].rebuilt ? 1 : 0;
        continue;
      }
      const bool onItsKey = action.reach == Reach::kDsnKey && action.dsn == d;
      interfered_dsn::History history{dsn.name,
                                      before_[d],
                                      onItsKey ? witness_.keysAfter[d] : before_[d],
                                      witness_.keysAt[d],
                                      onItsKey,
                                      onItsKey ? witness_.done.touched : std::nullopt,
                                      onItsKey && witness_.done.deletedTheKey,
                                      interfered_dsn::BackupRead(dsn.root, dsn.name),
                                      clean_[d].final,
                                      clean_[d].rebuilt,
                                      clean_[d].attemptEnd > 0 && call > clean_[d].attemptEnd,
                                      clean_[d].readBackStart > 0 && call > clean_[d].readBackStart};
      const auto outcome = interfered_dsn::OutcomeOf(history, now, ShownBoxes());
      figures.Check(outcome.has_value(), which + " ends in one of the forms that lose nothing");
      if (!outcome) {
        ++figures.lostUnshown;
        continue;
      }
      met[static_cast<int>(outcome->form)] = true;
      restored += outcome->rebuilt ? 1 : 0;
    }
    for (int form = 0; form < kFormCount; ++form) {
      row.forms[form] += met[form] ? 1 : 0;
    }
    figures.Check(!boxes.empty() && boxes.back().text == DecimalFor(restored) + (restored > 1 ? u" DSNs restored"
                                                                                               : u" DSN restored"),
                  when + "the summary counts exactly the DSNs rebuilt");
    CheckWhatTheOtherProgramDidStaysDone(action, when, figures);
  }

  // The tool never writes the lists of DSNs nor changes a key's security, and
  // never deletes a key it cannot: what the other program did there stays.
  void CheckWhatTheOtherProgramDidStaysDone(const Action& action, const std::string& when, Figures& figures) const {
    const SeededDsn& dsn = dsns_[action.dsn];
    figures.Check(KeyValues(HKEY_CURRENT_USER, kDataSources) == witness_.sourcesAfter[0] &&
                      KeyValues(HKEY_LOCAL_MACHINE, kDataSources) == witness_.sourcesAfter[1],
                  when + "the lists of DSNs stay as the other program left them");
    if (action.kind == "add a subkey") {
      figures.Check(KeyExists(dsn.root, DsnKey(dsn.name) + u"\\TheirOptions"), when + "its subkey stays");
    }
    const auto refused = [](HKEY root, const std::u16string& path, REGSAM right) {
      win32::UniqueHkey key;
      return win32::RegOpenKeyExW(root, path.c_str(), 0, right, key.put()) == ERROR_ACCESS_DENIED;
    };
    if (action.kind == "withdraw DELETE from the DSN key" && witness_.keysAt[action.dsn]) {
      figures.Check(refused(dsn.root, DsnKey(dsn.name), DELETE), when + "the right it withdrew stays withdrawn");
    }
    if (action.reach == Reach::kTree) {
      figures.Check(refused(dsn.root, kTree, KEY_CREATE_SUB_KEY), when + "the right it withdrew stays withdrawn");
    }
  }

  struct Witness {
    std::vector<dsn_outcome::Key> keysAt;     // each DSN's key when it acted
    std::vector<dsn_outcome::Key> keysAfter;  // and as it left it
    Done done;                                // what it did to the DSN's key
    std::vector<dsn_outcome::Key> sourcesAfter;
  };

  static bool OtherProgramActed() { return other::ActionsPerformed() == 1; }

  std::vector<SeededDsn> dsns_;
  Run run_;
  std::vector<Action> actions_;
  std::vector<dsn_outcome::Key> before_;
  std::vector<CleanOutcome> clean_;
  Witness witness_;
};

void SweepRestore(std::vector<SeededDsn> dsns, const Run& run, Figures& figures) {
  DsnInterferenceSweep sweep(std::move(dsns), run);
  sweep.RecordCleanRun();
  sweep.Sweep(figures);
}

void RunTheRestore() { dsn_restore::RunDsnRestore(); }

TEST(DsnRestoreInterferenceSweep, WhateverAnotherProgramDoesBetweenTwoCallsNoDsnLosesItsSettingsUnshown) {
  Figures figures;
  SweepRestore(dsn_seeds::SeveralInBothTrees(), RunTheRestore, figures);
  SweepRestore(dsn_seeds::OneWithManyMembers(), RunTheRestore, figures);

  std::ostringstream text;
  text << "dsn-restore interference sweep: " << figures.runs
       << " runs (every action of another program before every call), " << figures.checksPassed
       << " invariant checks passed, " << figures.checksFailed << " failed\n"
       << "dsn-restore interference sweep: runs per action, and per form a DSN it reached ended in:\n";
  for (const std::string& kind : figures.actionOrder) {
    const ActionFigures& row = figures.byAction[kind];
    text << "  " << kind << ": " << row.runs << " runs;";
    for (int form = 0; form < kFormCount; ++form) {
      text << (form ? "," : "") << " " << interfered_dsn::FormName(static_cast<Form>(form)) << " "
           << row.forms[form];
    }
    text << "\n";
  }
  text << "dsn-restore interference sweep: " << figures.lostUnshown << " lost unshown\n";
  std::cout << text.str();
  EXPECT_TRUE(figures_file::Write("dsn_restore_interference_sweep", text.str()));
  EXPECT_GT(figures.runs, 6000);
  // The forms that only another program leads to were met, and checked.
  const auto met = [&](const std::string& kind, Form form) {
    return figures.byAction[kind].forms[static_cast<int>(form)];
  };
  EXPECT_GT(met("delete the DSN key", Form::kBackupInItsBox), 0);
  EXPECT_GT(met("delete it and make it again with other values", Form::kBackupInItsBox), 0);
  EXPECT_GT(met("withdraw KEY_CREATE_SUB_KEY from the tree key", Form::kBackupInItsBox), 0);
  EXPECT_GT(met("add a value", Form::kRebuiltWithTheirValueShown), 0);
  EXPECT_GT(met("change a value", Form::kRebuiltWithTheirValueShown), 0);
  EXPECT_GT(met("delete a value", Form::kRebuiltWithTheirValueShown), 0);
  EXPECT_GT(met("delete the DSN key", Form::kRebuiltThenChanged), 0);
  EXPECT_EQ(figures.lostUnshown, 0);
}

// A restore that loses the backup of a key found gone: it reports the
// missing key without the backup text, as the restore did before it showed
// the text there.
bool RestoreLosingAKeyFoundGone(HKEY root, std::u16string name, std::u16string tree, std::u16string backup) {
  const std::u16string path = tree + u"\\" + name;
  {
    win32::UniqueHkey key;
    if (win32::RegOpenKeyExW(root, path.c_str(), 0, KEY_ALL_ACCESS, key.put()) == ERROR_FILE_NOT_FOUND) {
      dsn_restore::ShowSystemError(ERROR_FILE_NOT_FOUND, u"Cannot delete registry key " + path);
      return false;
    }
  }
  return dsn_restore::RestoreDsn(root, std::move(name), std::move(tree), std::move(backup));
}

// A restore that trusts its writes: it never reads the rebuilt key back, so a
// value another program sets there meanwhile stands beside the backup's
// members, unshown, and the DSN is counted.
bool RestoreTrustingItsWrites(HKEY root, std::u16string name, std::u16string tree, std::u16string backup) {
  const dsn_restore::BackupDocument document = dsn_restore::ReadBackupDocument(backup);
  const auto* members = std::get_if<dsn_restore::BackupMembers>(&document);
  if (members == nullptr) {
    return dsn_restore::RestoreDsn(root, std::move(name), std::move(tree), std::move(backup));
  }
  win32::UniqueHkey treeKey;
  win32::UniqueHkey key;
  const std::u16string path = tree + u"\\" + name;
  if (win32::RegOpenKeyExW(root, tree.c_str(), 0, KEY_ALL_ACCESS, treeKey.put()) != ERROR_SUCCESS ||
      win32::RegOpenKeyExW(root, path.c_str(), 0, KEY_ALL_ACCESS, key.put()) != ERROR_SUCCESS ||
      win32::RegDeleteKeyW(key.get(), u"") != ERROR_SUCCESS ||
      win32::RegCreateKeyExW(treeKey.get(), name.c_str(), 0, KEY_ALL_ACCESS, key.put(), nullptr) != ERROR_SUCCESS) {
    return dsn_restore::RestoreDsn(root, std::move(name), std::move(tree), std::move(backup));
  }
  for (const auto& member : members->members) {
    const auto bytes = static_cast<DWORD>((member.value.size() + 1) * 2);
    win32::RegSetValueExW(key.get(), member.name.c_str(), REG_SZ, reinterpret_cast<const BYTE*>(member.value.c_str()),
                          bytes);
  }
  return true;
}

using Restore = bool (*)(HKEY, std::u16string, std::u16string, std::u16string);

// The whole run, with that restore for each DSN.
void RunThePlantedRestore(Restore restore) {
  win32::MessageBoxW(u"Do you want to restore ODBC 2.x DSNs", u"Manage ODBC 2.x DSN", MB_YESNOCANCEL);
  int restored = 0;
  for (const HKEY root : {HKEY_CURRENT_USER, HKEY_LOCAL_MACHINE}) {
    win32::UniqueHkey tree;
    if (win32::RegOpenKeyExW(root, kTree.c_str(), 0, KEY_READ, tree.put()) != ERROR_SUCCESS) {
      continue;
    }
    for (const std::u16string& name : dsn_restore::ListDriverDsns(root, kDataSources)) {
      const std::u16string backup = dsn_restore::ReadDsnBackup(root, DsnKey(name));
      restored += !backup.empty() && restore(root, name, kTree, backup) ? 1 : 0;
    }
  }
  const std::u16string summary = DecimalFor(restored) + (restored > 1 ? u" DSNs restored" : u" DSN restored");
  win32::MessageBoxW(summary.c_str(), u"Restore complete", MB_OK);
}

// The failures the sweep reports with the planted restore, in order.
std::vector<std::string> FailuresWith(Restore restore, Figures& figures) {
  ::testing::TestPartResultArray failures;
  {
    const ::testing::ScopedFakeTestPartResultReporter intercept(
        ::testing::ScopedFakeTestPartResultReporter::INTERCEPT_ONLY_CURRENT_THREAD, &failures);
    SweepRestore(dsn_seeds::OneWithManyMembers(), [restore] { RunThePlantedRestore(restore); }, figures);
  }
  std::vector<std::string> messages;
  for (int i = 0; i < failures.size(); ++i) {
    messages.push_back(failures.GetTestPartResult(i).message());
  }
  return messages;
}

TEST(DsnRestoreInterferenceSweep, FailsOnARestoreThatLosesTheBackupOfAKeyFoundGone) {
  Figures figures;
  const std::vector<std::string> failures = FailuresWith(RestoreLosingAKeyFoundGone, figures);
  EXPECT_GT(figures.lostUnshown, 0);
  ASSERT_GT(failures.size(), 0u);
  EXPECT_NE(failures[0].find("delete the DSN key of Wide before call"), std::string::npos) << failures[0];
  EXPECT_NE(failures[0].find("DSN Wide ends in one of the forms that lose nothing"), std::string::npos)
      << failures[0];
}

TEST(DsnRestoreInterferenceSweep, FailsOnARestoreThatTrustsItsWrites) {
  Figures figures;
  const std::vector<std::string> failures = FailuresWith(RestoreTrustingItsWrites, figures);
  EXPECT_GT(figures.lostUnshown, 0);
  // A value another program added to the new key while it was written.
  EXPECT_TRUE(std::any_of(failures.begin(), failures.end(), [](const std::string& failure) {
    return failure.find("add a value of Wide before call") != std::string::npos &&
           failure.find("DSN Wide ends in one of the forms that lose nothing") != std::string::npos;
  }));
}

}  // namespace
