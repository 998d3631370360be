#pragma once
// The new key of a DSN read back once its members are written: another
// program may have changed it meanwhile, and the tool must then not count the
// DSN as restored, but show its backup.
#include <vector>

#include "dsn_restore/backup_document.h"
#include "win32/platform_types.h"

namespace dsn_restore {

enum class ReadBack {
  kAsWritten,  // exactly the members written, and nothing else
  kChanged,    // a value added, removed or changed by another program
  kGone,       // the key deleted by another program (ERROR_KEY_DELETED)
  kUnread,     // the registry refused a read: nothing is known against the writes
};

// Compares what the key holds with what writing the members, in order, leaves
// in a new key: one REG_SZ value (its text and NUL) per name, the later member
// of a name (in any letter case) replacing the earlier one's text.
ReadBack ReadBackKey(HKEY key, const std::vector<BackupMember>& members);

}  // namespace dsn_restore
