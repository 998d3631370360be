// cache-access-check reports every failed attempt, counts them and deletes
// nothing but its own test files, whatever another program does to the files
// and folders between two of its calls: makes a test file, holds one open
// (with each share mode), makes one read-only, deletes one, or removes the
// cache folder.
#include <algorithm>
#include <map>
#include <set>
#include <sstream>

#include "cache_access_check/check_run.h"
#include "reliability/interference_sweep.h"
#include "reliability/invariant_checks.h"
#include "support/fake_platform_test.h"
#include "support/figures_file.h"
#include "support/output_lines.h"
#include "win32/api.h"
#include "win32/unique_handles.h"

namespace {

using namespace win32::fake;
namespace other = win32::fake::other_program;

const std::u16string kLocal = u"C:\\Users\\tester\\AppData\\Local";
const std::u16string kCache = kLocal + u"\\Halvernik ODBC Driver\\Cache";
const std::u16string kHere = u".";

// The test files of one folder, as the check names them.
std::vector<std::u16string> TestFilesIn(const std::u16string& folder) {
  std::vector<std::u16string> names;
  for (const char16_t* share : {u"2", u"0"}) {
    for (const char16_t* attributes : {u"128", u"16384", u"0"}) {
      names.push_back(folder + u"\\test_" + share + u"_" + attributes + u".txt");
    }
  }
  return names;
}

bool IsTestFile(const std::u16string& path) {
  for (const auto& folder : {kCache, kHere}) {
    for (const auto& name : TestFilesIn(folder)) {
      if (SameName(name, path)) {
        return true;
      }
    }
  }
  return false;
}

std::multiset<std::u16string> OtherFiles() {
  std::multiset<std::u16string> files;
  for (const auto& path : FilePaths()) {
    if (!IsTestFile(path)) {
      files.insert(path);
    }
  }
  return files;
}

struct Action {
  std::string kind;      // as the figures name it
  std::u16string target;  // the file or folder it acts on
  std::function<void()> act;
};

std::vector<Action> Actions() {
  std::vector<Action> actions;
  const std::pair<const char*, DWORD> shares[] = {{"no sharing", 0},
                                                  {"sharing reading", FILE_SHARE_READ},
                                                  {"sharing writing", FILE_SHARE_WRITE},
                                                  {"sharing deleting", FILE_SHARE_DELETE},
                                                  {"sharing all", FILE_SHARE_READ | FILE_SHARE_WRITE | FILE_SHARE_DELETE}};
  // On a test file of each share mode the check opens with (the attributes
  // change nothing another program's actions meet), in each folder.
  for (const auto& folder : {kCache, kHere}) {
    for (const auto& file : {folder + u"\\test_2_128.txt", folder + u"\\test_0_0.txt"}) {
      actions.push_back({"create a test file", file, [file] { other::MakeFile(file); }});
      for (const auto& [name, share] : shares) {
        actions.push_back({std::string("hold a test file open, ") + name, file,
                           [file, share = share] { other::HoldOpen(file, share); }});
      }
      actions.push_back({"make a test file read-only", file, [file] { other::MakeReadOnly(file); }});
      actions.push_back({"delete a test file", file, [file] { other::RemoveFile(file); }});
    }
  }
  actions.push_back({"remove the cache folder", kCache, [] { other::RemoveFolder(kCache); }});
  return actions;
}

// The error lines' attempts: "creating" or "opening", then the file.
std::set<std::u16string> Attempts() {
  std::set<std::u16string> attempts;
  for (const auto& folder : {kCache, kHere}) {
    for (const auto& file : TestFilesIn(folder)) {
      for (const char16_t* operation : {u"creating", u"opening"}) {
        attempts.insert(u"Error " + std::u16string(operation) + u" file " + file + u": ");
      }
    }
  }
  return attempts;
}

struct ActionFigures {
  int runs = 0;
  int runsWithFailures = 0;  // the verdict counted failed attempts
};

struct Figures : InvariantChecks {
  int runs = 0;
  std::map<std::string, ActionFigures> byAction;
  std::vector<std::string> actionOrder;
};

// What the other program left: the files that are not the check's, and
// whether the cache folder is there.
struct Witness {
  std::multiset<std::u16string> otherFiles;
  bool cacheFolder = false;
};

void CheckRun(int status, int call, const Action& action, const Witness& witness, Figures& figures) {
  const std::string when = action.kind + " (" + Utf8ForPrinting(action.target) + ") before call " +
                           std::to_string(call) + ": ";
  ActionFigures& row = figures.byAction[action.kind];
  ++figures.runs;
  ++row.runs;
  figures.Check(other::ActionsPerformed() == 1, when + "the other program acted");
  figures.Check(status == 0, when + "exit status 0");
  figures.Check(OpenFileCount() == 0, when + "no file handle of the check left open");
  figures.Check(LocalAllocationCount() == 0, when + "no system text left allocated");
  figures.Check(StandardInputReads() == 1, when + "waits for one character");

  const std::u16string& out = StandardOutput();
  figures.Check(!out.empty() && out.back() == u'\n', when + "the output ends with a line");
  std::vector<std::u16string> lines = OutputLines(out);
  const std::u16string verdict = lines.empty() ? u"" : lines.back();
  if (!lines.empty()) {
    lines.pop_back();
  }
  const auto attempts = Attempts();
  std::set<std::u16string> reported;
  for (const auto& line : lines) {
    const auto named = std::find_if(attempts.begin(), attempts.end(), [&](const auto& a) { return line.starts_with(a); });
    figures.Check(named != attempts.end() && reported.insert(*named).second,
                  when + "each line names a failed attempt of the matrix, once: " + Utf8ForPrinting(line));
  }
  figures.Check(static_cast<int>(lines.size()) == FailedFileOpenCount(), when + "one line per failed attempt");
  const std::string digits = std::to_string(lines.size());
  figures.Check(verdict == (lines.empty() ? std::u16string(u"All tests passed successfully.")
                                          : std::u16string(digits.begin(), digits.end()) +
                                                u" errors occurred during file creation tests."),
                when + "the verdict counts the lines");
  row.runsWithFailures += lines.empty() ? 0 : 1;

  // What the other program did stays, and the check deletes nothing else.
  figures.Check(OtherFiles() == witness.otherFiles, when + "files other than the check's are left as they were");
  figures.Check(FolderExists(kCache) == witness.cacheFolder, when + "the cache folder is left as it was");
  for (const auto& path : FilePaths()) {
    figures.Check(!IsTestFile(path) || SameName(path, action.target),
                  when + "no test file left but the one the other program acted on: " + Utf8ForPrinting(path));
  }
  if (action.kind == "make a test file read-only" && FileExists(action.target)) {
    const win32::UniqueFileHandle file(
        win32::CreateFileW(action.target.c_str(), GENERIC_WRITE, 0, OPEN_EXISTING, 0));
    figures.Check(!file.valid() && win32::GetLastError() == ERROR_ACCESS_DENIED,
                  when + "the file it made read-only stays read-only");
  }
}

TEST(CacheAccessCheckInterferenceSweep, WhateverAnotherProgramDoesEveryFailureIsReportedAndCountedAndNothingElseGoes) {
  Figures figures;
  const std::vector<Action> actions = Actions();
  for (const Action& action : actions) {
    if (figures.byAction[action.kind].runs == 0 &&
        std::find(figures.actionOrder.begin(), figures.actionOrder.end(), action.kind) == figures.actionOrder.end()) {
      figures.actionOrder.push_back(action.kind);
    }
  }
  int status = -1;
  Witness witness;
  const auto run = [&] {
    SetStandardInput('\n');
    status = cache_access_check::RunCacheAccessCheck();
  };
  const auto act = [&](std::size_t action) {
    actions[action].act();
    witness = {OtherFiles(), FolderExists(kCache)};
  };
  const auto check = [&](int call, std::size_t action) { CheckRun(status, call, actions[action], witness, figures); };

  // Both folders usable, each with a file of its own beside the test files.
  interference_sweep::Sweep(
      [] {
        SetLocalAppData(S_OK, kLocal);
        AddFolder(kCache);
        AddFile(kCache + u"\\index.dat");
        AddFile(u".\\notes.txt");
      },
      run, actions.size(), act, check);
  // The cache folder missing, and one test file blocked by a folder in the current directory.
  interference_sweep::Sweep(
      [] {
        SetLocalAppData(S_OK, kLocal);
        AddFolder(u".\\test_0_0.txt");
        AddFile(u".\\notes.txt");
      },
      run, actions.size(), act, check);

  std::ostringstream text;
  text << "cache-access-check interference sweep: " << figures.runs
       << " runs (every action of another program before every call), " << figures.checksPassed
       << " invariant checks passed, " << figures.checksFailed << " failed\n"
       << "cache-access-check interference sweep: runs per action (in brackets, those whose verdict counted failed "
          "attempts):\n";
  for (const std::string& kind : figures.actionOrder) {
    text << "  " << kind << ": " << figures.byAction[kind].runs << " (" << figures.byAction[kind].runsWithFailures
         << ")\n";
  }
  std::cout << text.str();
  EXPECT_TRUE(figures_file::Write("cache_access_check_interference_sweep", text.str()));
  EXPECT_GT(figures.runs, 5000);
  EXPECT_EQ(figures.checksFailed, 0);
}

}  // namespace
