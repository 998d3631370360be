// The standard streams on the fake: output captured as wide text, input that
// holds one character or is at its end.
#include "win32/api.h"
#include "win32/fake/fake_state.h"

namespace win32 {

// Writing and flushing are counted, and have no failure to report.
void WriteStandardOutput(const char16_t* text, std::size_t units) {
  fake::CountCall(fake::Call::WriteStandardOutput);
  fake::TheState().standardOutput.append(text, units);
}

void FlushStandardOutput() {
  fake::CountCall(fake::Call::FlushStandardOutput);
  ++fake::TheState().standardOutputFlushes;
}

int ReadStandardInputCharacter() {
  fake::State& s = fake::TheState();
  ++s.standardInputReads;
  // A failing read (input closed or broken) answers as input at its end does.
  if (fake::EnterCall(fake::Call::ReadStandardInputCharacter) || !s.standardInput) {
    return -1;
  }
  const int character = static_cast<unsigned char>(*s.standardInput);
  s.standardInput.reset();
  return character;
}

}  // namespace win32

namespace win32::fake {

const std::u16string& StandardOutput() { return TheState().standardOutput; }
int StandardOutputFlushes() { return TheState().standardOutputFlushes; }
void SetStandardInput(std::optional<char> character) { TheState().standardInput = character; }
int StandardInputReads() { return TheState().standardInputReads; }

}  // namespace win32::fake
