#pragma once
// The one way dsn-restore reports a failure: a message box that the user
// dismisses before the run goes on.
#include <string>

#include "win32/platform_types.h"

namespace dsn_restore {

// The system's text for the code as the body, the caption as the title.
void ShowSystemError(DWORD code, const std::u16string& caption);

// The system's text, then a blank line and `note`: what the code alone does
// not say (which DSN the failure concerns, say).
void ShowSystemErrorWithNote(DWORD code, const std::u16string& caption, const std::u16string& note);

// A failure after which the box may be the only copy of a DSN's settings: the
// system's text, then `whereTheSettingsAre` (one sentence), then the DSN's
// backup text, which the user can copy from the box (Ctrl+C) and restore by
// hand.
void ShowSystemErrorWithBackup(DWORD code, const std::u16string& caption, const std::u16string& whereTheSettingsAre,
                               const std::u16string& backupText);

// A failure that has no system code: the tool's own text as the body.
void ShowFailure(const std::u16string& caption, const std::u16string& text);

// As ShowSystemErrorWithBackup, for a failure that has no system code.
void ShowFailureWithBackup(const std::u16string& caption, const std::u16string& whereTheSettingsAre,
                           const std::u16string& backupText);

}  // namespace dsn_restore
