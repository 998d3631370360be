// cache-access-check reaches its verdict, counts what it reports and leaves
// nothing open or behind, whichever file, folder or text call fails.
#include <algorithm>
#include <set>
#include <sstream>

#include "cache_access_check/check_run.h"
#include "reliability/fault_sweep.h"
#include "support/fake_platform_test.h"
#include "support/figures_file.h"
#include "support/output_lines.h"

namespace {

using namespace win32::fake;
using fault_sweep::Fault;
using fault_sweep::Figures;

const std::u16string kLocal = u"C:\\Users\\tester\\AppData\\Local";
const std::u16string kCache = kLocal + u"\\Halvernik ODBC Driver\\Cache";

void CheckRun(int status, const Fault& fault, Figures& figures) {
  figures.Check(status == 0, "exit status 0");
  figures.Check(OpenFileCount() == 0, "no file handle left open");
  figures.Check(LocalAllocationCount() == 0, "no system text left allocated");
  figures.Check(StandardInputReads() == 1, "waits for one character");

  const std::u16string& out = StandardOutput();
  figures.Check(!out.empty() && out.back() == u'\n', "the output ends with a line");
  std::vector<std::u16string> lines = OutputLines(out);
  const std::u16string verdict = lines.empty() ? u"" : lines.back();
  if (!lines.empty()) {
    lines.pop_back();
  }
  // The folder message has no end of line: it opens the first line.
  for (auto& line : lines) {
    const auto error = line.find(u"Error ");
    line = error == std::u16string::npos ? line : line.substr(error);
  }
  const auto errors = std::count_if(lines.begin(), lines.end(), [](const auto& l) { return l.starts_with(u"Error "); });
  figures.Check(errors == static_cast<long>(lines.size()), "every line but the verdict is an error line");
  figures.Check(std::set<std::u16string>(lines.begin(), lines.end()).size() == lines.size(),
                "each failure is reported once");
  const std::string digits = std::to_string(errors);
  const std::u16string counted = errors == 0 ? u"All tests passed successfully."
                                             : std::u16string(digits.begin(), digits.end()) +
                                                   u" errors occurred during file creation tests.";
  figures.Check(verdict.ends_with(counted), "the verdict counts the error lines");
  // Only a failed delete may leave a test file behind.
  const auto allowed = static_cast<std::size_t>(fault.call == Call::DeleteFileW ? InjectedFailureCount() : 0);
  figures.Check(FilePaths().size() <= allowed, "no test file left but those whose delete failed");
}

TEST(CacheAccessCheckFaultSweep, EveryFailingCallStillEndsInACountedVerdict) {
  Figures figures;
  int status = -1;
  const auto run = [&] {
    SetStandardInput('\n');
    status = cache_access_check::RunCacheAccessCheck();
  };
  const auto check = [&](const Fault& fault) { CheckRun(status, fault, figures); };

  // Both folders usable.
  fault_sweep::Sweep([] {
    SetLocalAppData(S_OK, kLocal);
    AddFolder(kCache);
  }, run, check, figures);
  // The cache folder missing, and one test file blocked in the current directory.
  fault_sweep::Sweep([] {
    SetLocalAppData(S_OK, kLocal);
    AddFolder(u".\\test_0_0.txt");
  }, run, check, figures);

  std::ostringstream text;
  text << "cache-access-check fault sweep: " << figures.faultyRuns << " faulty runs, " << figures.checksPassed
       << " invariant checks passed, " << figures.checksFailed << " failed\n";
  std::cout << text.str();
  EXPECT_TRUE(figures_file::Write("cache_access_check_fault_sweep", text.str()));
  EXPECT_GT(figures.faultyRuns, 400);
}

}  // namespace
