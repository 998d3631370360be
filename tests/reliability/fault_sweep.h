#pragma once
// Runs a representative run once cleanly, then once more for every seam call
// it makes and every code that refuses that call: with just that
// call failing, and with that call and every later one of its kind failing (a
// cause that persists). Hands each faulty run to the tool's invariant checks.
#include <gtest/gtest.h>

#include <functional>
#include <iostream>
#include <string>
#include <vector>

#include "reliability/invariant_checks.h"
#include "win32/fake/fake_win32.h"

namespace fault_sweep {

struct Figures : InvariantChecks {
  int faultyRuns = 0;
};

// The codes that refuse a call and change nothing, from the one list of seam
// calls (win32/fake/seam_calls.h); none for a call that cannot fail. The codes
// that describe a state are not injected: the interference sweep meets them.
inline std::vector<DWORD> RefusalCodes(win32::fake::Call call) {
  const auto codes = win32::fake::SeamCallOf(call).refusalCodes;
  return {codes.begin(), codes.end()};
}

struct Fault {
  int callIndex;  // 1 = the first seam call of the run
  win32::fake::Call call;
  DWORD code;
  // The cause persists: every later call of the same kind fails with the code too.
  bool persists = false;
};

inline std::string Describe(const Fault& fault) {
  return "call " + std::to_string(fault.callIndex) + " (" + std::string(win32::fake::SeamCallOf(fault.call).name) +
         ") failing with " + std::to_string(fault.code) + (fault.persists ? ", and every later one of its kind" : "");
}

// arrange() sets the platform up from a clean state; run() runs the tool;
// check(fault) checks the invariants after a faulty run. Each call of the
// clean run fails once on its own, then once with its cause persisting.
inline void Sweep(const std::function<void()>& arrange, const std::function<void()>& run,
                  const std::function<void(const Fault&)>& check, Figures& figures) {
  win32::fake::Reset();
  arrange();
  const int before = win32::fake::TotalCallCount();
  std::vector<int> earlierOfKind(win32::fake::kCallCount);
  for (std::size_t kind = 0; kind < win32::fake::kCallCount; ++kind) {
    earlierOfKind[kind] = win32::fake::CallCount(static_cast<win32::fake::Call>(kind));
  }
  run();
  const std::vector<win32::fake::Call> calls(win32::fake::CallLog().begin() + before, win32::fake::CallLog().end());

  for (std::size_t i = 0; i < calls.size(); ++i) {
    const int occurrence = ++earlierOfKind[static_cast<std::size_t>(calls[i])];
    for (const bool persists : {false, true}) {
      for (const DWORD code : RefusalCodes(calls[i])) {
        const Fault fault{static_cast<int>(i) + 1, calls[i], code, persists};
        SCOPED_TRACE(Describe(fault));
        win32::fake::Reset();
        arrange();
        if (persists) {
          win32::fake::FailCallFrom(fault.call, code, occurrence);
        } else {
          win32::fake::FailNthCall(win32::fake::TotalCallCount() + fault.callIndex, code);
        }
        run();
        ++figures.faultyRuns;
        check(fault);
      }
    }
  }
}

}  // namespace fault_sweep
