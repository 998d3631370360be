#include "dsn_restore/show_system_error.h"

#include "win32/unique_handles.h"

namespace dsn_restore {

namespace {

// The system's text for a code; empty when it has none.
std::u16string SystemText(DWORD code) {
  win32::UniqueLocalText buffer;
  const DWORD units = win32::FormatMessageW(
      FORMAT_MESSAGE_ALLOCATE_BUFFER | FORMAT_MESSAGE_IGNORE_INSERTS | FORMAT_MESSAGE_FROM_SYSTEM, code, 0,
      buffer.put());
  return units == 0 || buffer.get() == nullptr ? std::u16string() : std::u16string(buffer.get(), units);
}

// Where the settings are, then the backup text itself, to copy from the box.
std::u16string WithTheBackup(const std::u16string& whereTheSettingsAre, const std::u16string& backupText) {
  return whereTheSettingsAre +
         u" Its backup follows: copy this message (Ctrl+C) to keep it, and restore the settings by hand.\r\n\r\n" +
         backupText;
}

}  // namespace

void ShowSystemError(DWORD code, const std::u16string& caption) {
  // No text for the code: the box still appears, with an empty body.
  ShowFailure(caption, SystemText(code));
}

void ShowSystemErrorWithNote(DWORD code, const std::u16string& caption, const std::u16string& note) {
  std::u16string text = SystemText(code);
  if (!text.empty() && !text.ends_with(u"\n")) {
    text += u"\r\n";
  }
  ShowFailure(caption, text + u"\r\n" + note);
}

void ShowSystemErrorWithBackup(DWORD code, const std::u16string& caption, const std::u16string& whereTheSettingsAre,
                               const std::u16string& backupText) {
  ShowSystemErrorWithNote(code, caption, WithTheBackup(whereTheSettingsAre, backupText));
}

void ShowFailureWithBackup(const std::u16string& caption, const std::u16string& whereTheSettingsAre,
                           const std::u16string& backupText) {
  ShowFailure(caption, WithTheBackup(whereTheSettingsAre, backupText));
}

void ShowFailure(const std::u16string& caption, const std::u16string& text) {
  win32::MessageBoxW(text.c_str(), caption.c_str(), MB_OK);
}

}  // namespace dsn_restore
