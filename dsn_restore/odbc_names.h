#pragma once
// Where the driver's data sources live in the registry, and what marks them.
#include <string_view>

namespace dsn_restore {

// Below HKEY_CURRENT_USER and HKEY_LOCAL_MACHINE alike.
inline constexpr std::u16string_view kOdbcTreePath = u"SOFTWARE\\ODBC\\ODBC.ini";
// Below the tree: one value per data source, naming the driver that serves it.
inline constexpr std::u16string_view kDataSourcesKeyName = u"ODBC Data Sources";
inline constexpr std::u16string_view kDriverName = u"Halvernik ODBC Driver";
// In a data source's own key: the JSON document its settings are restored from.
inline constexpr std::u16string_view kBackupValueName = u"Backup";

}  // namespace dsn_restore
