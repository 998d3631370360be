// FormatMessageW and LocalFree on the fake: the system's texts come from a
// table, and each text lives in a tracked local allocation until it is freed.
#include <cstring>

#include "win32/api.h"
#include "win32/fake/fake_state.h"

namespace win32 {

DWORD FormatMessageW(DWORD flags, DWORD messageId, DWORD languageId, char16_t** allocatedBuffer) {
  using namespace fake;
  *allocatedBuffer = nullptr;
  if (const auto failure = EnterCall(Call::FormatMessageW)) {
    TheState().lastError = *failure;
    return 0;
  }
  constexpr DWORD kNeeded = FORMAT_MESSAGE_ALLOCATE_BUFFER | FORMAT_MESSAGE_FROM_SYSTEM;
  State& s = TheState();
  if ((flags & kNeeded) != kNeeded || (languageId != 0 && languageId != MAKELANGID(LANG_NEUTRAL, SUBLANG_DEFAULT))) {
    s.lastError = ERROR_INVALID_PARAMETER;
    return 0;
  }
  const std::u16string* found = FindSystemMessage(messageId);
  if (found == nullptr) {
    s.lastError = ERROR_MR_MID_NOT_FOUND;
    return 0;
  }
  const std::u16string& text = *found;
  auto* buffer = new char16_t[text.size() + 1];
  std::memcpy(buffer, text.c_str(), (text.size() + 1) * sizeof(char16_t));
  s.localAllocations.insert(buffer);
  *allocatedBuffer = buffer;
  return static_cast<DWORD>(text.size());
}

DWORD GetLastError() {
  fake::CountCall(fake::Call::GetLastError);
  return fake::TheState().lastError;
}

HLOCAL LocalFree(HLOCAL memory) {
  using namespace fake;
  if (EnterCall(Call::LocalFree)) {
    return memory;
  }
  if (memory == nullptr) {
    return nullptr;
  }
  State& s = TheState();
  if (s.localAllocations.erase(memory) == 0) {
    return memory;  // not a block of the local heap: Windows fails the same way
  }
  delete[] static_cast<char16_t*>(memory);
  return nullptr;
}

}  // namespace win32

namespace win32::fake {

void SetSystemMessage(DWORD code, std::optional<std::u16string> text) {
  TheState().changedSystemMessages[code] = std::move(text);
}

std::u16string SystemMessage(DWORD code) {
  const std::u16string* text = FindSystemMessage(code);
  return text == nullptr ? std::u16string() : *text;
}

int LocalAllocationCount() { return static_cast<int>(TheState().localAllocations.size()); }

}  // namespace win32::fake
