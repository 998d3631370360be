#pragma once
#include <string>

#include "win32/platform_types.h"

namespace dsn_restore {

// One restore pass over the ODBC tree below a root: the number of the
// driver's DSNs rebuilt from their backups.
int RestoreHive(HKEY root, const std::u16string& treePath);

// The whole run: confirmation, the per-user tree, the machine tree, the
// summary. Returns the exit status, always 0.
int RunDsnRestore();

}  // namespace dsn_restore
