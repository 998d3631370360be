#pragma once
// The reading side: which data sources belong to the driver, and what backup
// a data source holds.
#include <string>
#include <vector>

#include "win32/platform_types.h"

namespace dsn_restore {

// DSN names in the order the registry enumerates them.
using DsnNameList = std::vector<std::u16string>;

// The data sources below `dataSourcesPath` ("...\ODBC Data Sources") whose
// driver text is exactly the driver's name. Values that cannot be enumerated,
// and names that cannot name a key of their own, are shown and passed over.
DsnNameList ListDriverDsns(HKEY root, const std::u16string& dataSourcesPath);

// The text of the Backup value of the key at `dsnKeyPath`, or the empty text
// when there is none or the key cannot be read.
std::u16string ReadDsnBackup(HKEY root, const std::u16string& dsnKeyPath);

// A value's data as text: UTF-16 up to its first NUL, or to the end of the
// data when it has none (an odd last byte is not a unit).
std::u16string ValueText(const BYTE* data, DWORD dataBytes);

}  // namespace dsn_restore
