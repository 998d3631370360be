#pragma once
// Runs a representative run once cleanly, then once more for every seam call
// it makes and every code that call can plausibly fail with, with just that
// call failing, and hands each faulty run to the tool's invariant checks.
#include <gtest/gtest.h>

#include <functional>
#include <iostream>
#include <string>
#include <vector>

#include "win32/fake/fake_win32.h"

namespace fault_sweep {

struct Figures {
  int faultyRuns = 0;
  int checksPassed = 0;
  int checksFailed = 0;
  // Where each backed-up DSN's settings are after a faulty run of
  // dsn-restore: its key rebuilt whole, its key still holding the backup, or
  // the backup text shown in a box. Anything else is a loss.
  int rebuiltWhole = 0;
  int backupInTheKey = 0;
  int backupInABox = 0;
  int lostUnshown = 0;

  // One invariant check, counted, reported through gtest when it fails.
  void Check(bool holds, const std::string& invariant) {
    if (holds) {
      ++checksPassed;
    } else {
      ++checksFailed;
      ADD_FAILURE() << "invariant broken: " << invariant;
    }
  }
};

// The codes a call can plausibly fail with, from the one list of seam calls
// (win32/fake/seam_calls.h); none for a call that cannot fail.
inline std::vector<DWORD> PlausibleCodes(win32::fake::Call call) {
  const auto codes = win32::fake::SeamCallOf(call).plausibleCodes;
  return {codes.begin(), codes.end()};
}

struct Fault {
  int callIndex;  // 1 = the first seam call of the run
  win32::fake::Call call;
  DWORD code;
};

inline std::string Describe(const Fault& fault) {
  return "call " + std::to_string(fault.callIndex) + " (" + std::string(win32::fake::SeamCallOf(fault.call).name) +
         ") failing with " + std::to_string(fault.code);
}

// arrange() sets the platform up from a clean state; run() runs the tool;
// check(fault) checks the invariants after a faulty run.
inline void Sweep(const std::function<void()>& arrange, const std::function<void()>& run,
                  const std::function<void(const Fault&)>& check, Figures& figures) {
  win32::fake::Reset();
  arrange();
  const int before = win32::fake::TotalCallCount();
  run();
  const std::vector<win32::fake::Call> calls(win32::fake::CallLog().begin() + before, win32::fake::CallLog().end());

  for (std::size_t i = 0; i < calls.size(); ++i) {
    for (const DWORD code : PlausibleCodes(calls[i])) {
      const Fault fault{static_cast<int>(i) + 1, calls[i], code};
      SCOPED_TRACE(Describe(fault));
      win32::fake::Reset();
      arrange();
      win32::fake::FailNthCall(win32::fake::TotalCallCount() + fault.callIndex, code);
      run();
      ++figures.faultyRuns;
      check(fault);
    }
  }
}

}  // namespace fault_sweep
