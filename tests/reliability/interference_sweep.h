#pragma once
// Runs a representative run once cleanly, then once more for every seam call
// it makes and every action of another program: the action is performed just
// before that call, and the run goes on from the state it left, as on a
// machine where another program works at the same time. Hands each run to
// the tool's invariant checks.
#include <functional>
#include <vector>

#include "win32/fake/fake_win32.h"
#include "win32/fake/other_program.h"

namespace interference_sweep {

// arrange() sets the platform up from a clean state; run() runs the tool;
// actions.size() actions of another program are tried before each call of the
// clean run: act(action) performs one; check(callIndex, action) checks the
// invariants after the run it was performed in (1 = the first call).
inline void Sweep(const std::function<void()>& arrange, const std::function<void()>& run, std::size_t actions,
                  const std::function<void(std::size_t)>& act,
                  const std::function<void(int, std::size_t)>& check) {
  win32::fake::Reset();
  arrange();
  const int before = win32::fake::TotalCallCount();
  run();
  const int calls = win32::fake::TotalCallCount() - before;

  for (int call = 1; call <= calls; ++call) {
    for (std::size_t action = 0; action < actions; ++action) {
      win32::fake::Reset();
      arrange();
      win32::fake::other_program::ActBeforeCall(win32::fake::TotalCallCount() + call, [&act, action] { act(action); });
      run();
      check(call, action);
    }
  }
}

}  // namespace interference_sweep
