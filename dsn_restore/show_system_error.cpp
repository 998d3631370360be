#include "dsn_restore/show_system_error.h"

#include "win32/unique_handles.h"

namespace dsn_restore {

void ShowSystemError(DWORD code, const std::u16string& caption) {
  win32::UniqueLocalText buffer;
  const DWORD units = win32::FormatMessageW(
      FORMAT_MESSAGE_ALLOCATE_BUFFER | FORMAT_MESSAGE_IGNORE_INSERTS | FORMAT_MESSAGE_FROM_SYSTEM, code, 0,
      buffer.put());
  // No text for the code: the box still appears, with an empty body.
  const std::u16string text = units == 0 || buffer.get() == nullptr ? std::u16string()
                                                                     : std::u16string(buffer.get(), units);
  ShowFailure(caption, text);
}

void ShowFailure(const std::u16string& caption, const std::u16string& text) {
  win32::MessageBoxW(text.c_str(), caption.c_str(), MB_OK);
}

}  // namespace dsn_restore
