// MessageBoxW on the fake: each box is recorded and answered as the test
// scripted it, or with its default button.
#include "win32/api.h"
#include "win32/fake/fake_state.h"

namespace win32 {

int MessageBoxW(const char16_t* text, const char16_t* caption, UINT type) {
  using namespace fake;
  State& s = TheState();
  s.attemptedBoxes.push_back({text, caption, type});
  if (EnterCall(Call::MessageBoxW)) {
    return 0;  // as with no display: the box never appears
  }
  s.boxes.push_back({text, caption, type});
  if (!s.answers.empty()) {
    const int answer = s.answers.front();
    s.answers.pop_front();
    return answer;
  }
  return (type & 0xF) == MB_YESNOCANCEL ? IDYES : IDOK;
}

}  // namespace win32

namespace win32::fake {

void AnswerNextBox(int answer) { TheState().answers.push_back(answer); }
const std::vector<ShownBox>& ShownBoxes() { return TheState().boxes; }
const std::vector<ShownBox>& AttemptedBoxes() { return TheState().attemptedBoxes; }

}  // namespace win32::fake
