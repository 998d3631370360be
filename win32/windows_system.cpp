// The seam's Windows side for system texts, the local heap, the last error and
// the comparison of texts.
#include "win32/api.h"
#include "win32/windows_text.h"

namespace win32 {

DWORD FormatMessageW(DWORD flags, DWORD messageId, DWORD languageId, char16_t** allocatedBuffer) {
  // With FORMAT_MESSAGE_ALLOCATE_BUFFER the buffer argument receives the
  // address of the text that the system allocates.
  return ::FormatMessageW(flags, nullptr, messageId, languageId, reinterpret_cast<LPWSTR>(allocatedBuffer), 0,
                          nullptr);
}

HLOCAL LocalFree(HLOCAL memory) { return ::LocalFree(memory); }

DWORD GetLastError() { return ::GetLastError(); }

int CompareStringOrdinal(const char16_t* first, int firstUnits, const char16_t* second, int secondUnits,
                         BOOL ignoreCase) {
  return ::CompareStringOrdinal(AsWide(first), firstUnits, AsWide(second), secondUnits, ignoreCase);
}

}  // namespace win32
