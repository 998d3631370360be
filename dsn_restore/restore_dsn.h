#pragma once
#include <string>

#include "win32/platform_types.h"

namespace dsn_restore {

// Rebuilds the DSN's key below `treePath` from its backup text: the old key
// and all its values go, and the document's members become its REG_SZ values.
// Shows each failure in one box and returns false; true when every member was
// written. Nothing is deleted unless the document and the tree key allow the
// rewrite.
bool RestoreDsn(HKEY root, std::u16string dsnName, std::u16string treePath, std::u16string backupText);

}  // namespace dsn_restore
