// The fake platform's state: reset, call counting and injected failures.
#include "win32/fake/fake_state.h"

#include "win32/fake/upcase_table.h"

namespace win32::fake {

namespace {
// Windows' own texts (en-US) for the codes that the tools and their tests meet.
// Made once: every Reset() would otherwise build the table again, which the
// fuzzer, resetting for every input, pays for millions of times.
const std::map<DWORD, std::u16string>& WindowsSystemMessages() {
  static const std::map<DWORD, std::u16string> messages{
      {0, u"The operation completed successfully.\r\n"},
      {2, u"The system cannot find the file specified.\r\n"},
      {3, u"The system cannot find the path specified.\r\n"},
      {5, u"Access is denied.\r\n"},
      {6, u"The handle is invalid.\r\n"},
      {8, u"Not enough memory resources are available to process this command.\r\n"},
      {32, u"The process cannot access the file because it is being used by another process.\r\n"},
      {80, u"The file exists.\r\n"},
      {87, u"The parameter is incorrect.\r\n"},
      {109, u"The pipe has been ended.\r\n"},
      {112, u"There is not enough space on the disk.\r\n"},
      {123, u"The filename, directory name, or volume label syntax is incorrect.\r\n"},
      {161, u"The specified path is invalid.\r\n"},
      {183, u"Cannot create a file when that file already exists.\r\n"},
      {206, u"The filename or extension is too long.\r\n"},
      {234, u"More data is available.\r\n"},
      {259, u"No more data is available.\r\n"},
      {317, u"The system cannot find message text for message number 0x%1 in the message file for %2.\r\n"},
      {1018, u"Illegal operation attempted on a registry key that has been marked for deletion.\r\n"},
      {1113, u"No mapping for the Unicode character exists in the target multi-byte code page.\r\n"},
      {1450, u"Insufficient system resources exist to complete the requested service.\r\n"},
  };
  return messages;
}
}  // namespace

const std::u16string* FindSystemMessage(DWORD code) {
  const auto& changed = TheState().changedSystemMessages;
  if (const auto found = changed.find(code); found != changed.end()) {
    return found->second ? &*found->second : nullptr;
  }
  const auto& messages = WindowsSystemMessages();
  const auto found = messages.find(code);
  return found == messages.end() ? nullptr : &found->second;
}

State& TheState() {
  static State state;
  return state;
}

void Reset() {
  State& s = TheState();
  // Texts never freed go with the platform, as a process's heap does.
  for (const void* text : s.localAllocations) {
    delete[] static_cast<const char16_t*>(text);
  }
  s = State{};
  s.folders.insert(u".");
}

void CountCall(Call call) {
  State& s = TheState();
  if (s.otherProgramActing) {
    return;  // another program's own call: not one of the tool's
  }
  ++s.callCounts[static_cast<int>(call)];
  ++s.totalCalls;
  s.callLog.push_back(call);
  LetOtherProgramAct(call, s.callCounts[static_cast<int>(call)], s.totalCalls);
}

std::optional<DWORD> EnterCall(Call call) {
  CountCall(call);
  State& s = TheState();
  if (s.otherProgramActing) {
    return std::nullopt;
  }
  const int ofKind = s.callCounts[static_cast<int>(call)];
  const int ofRun = s.totalCalls;
  for (const FailureRule& rule : s.failures) {
    const int count = rule.call ? (*rule.call == call ? ofKind : -1) : ofRun;
    if (count < 0) {
      continue;
    }
    if (rule.occurrence == 0 || rule.occurrence == count || (rule.andLater && count > rule.occurrence)) {
      ++s.injectedFailures;
      return rule.code;
    }
  }
  return std::nullopt;
}

int CallCount(Call call) { return TheState().callCounts[static_cast<int>(call)]; }
int TotalCallCount() { return TheState().totalCalls; }
const std::vector<Call>& CallLog() { return TheState().callLog; }

void FailCall(Call call, DWORD code, int occurrence) {
  TheState().failures.push_back({call, occurrence, false, code});
}

void FailNthCall(int index, DWORD code) { TheState().failures.push_back({std::nullopt, index, false, code}); }

void FailCallFrom(Call call, DWORD code, int firstOccurrence) {
  TheState().failures.push_back({call, firstOccurrence, true, code});
}

int InjectedFailureCount() { return TheState().injectedFailures; }

std::u16string Folded(std::u16string_view name) {
  // Windows upcases both names, unit by unit, before comparing.
  std::u16string folded(name);
  for (char16_t& c : folded) {
    c = UpcaseUnit(c);
  }
  return folded;
}

bool SameName(std::u16string_view a, std::u16string_view b) { return Folded(a) == Folded(b); }

}  // namespace win32::fake
