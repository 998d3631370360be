#include "dsn_restore/restore_run.h"

#include "dsn_restore/odbc_names.h"
#include "dsn_restore/registry_reading.h"
#include "dsn_restore/restore_dsn.h"
#include "dsn_restore/text_conversion.h"
#include "win32/unique_handles.h"

namespace dsn_restore {

int RestoreHive(HKEY root, const std::u16string& treePath) {
  {
    // A tree that cannot be read (no per-user ODBC tree, say) has nothing to restore.
    win32::UniqueHkey tree;
    if (win32::RegOpenKeyExW(root, treePath.c_str(), 0, KEY_READ, tree.put()) != ERROR_SUCCESS) {
      return 0;
    }
  }
  const DsnNameList names = ListDriverDsns(root, treePath + u"\\" + std::u16string(kDataSourcesKeyName));
  int restored = 0;
  for (const std::u16string& name : names) {
    std::u16string backup = ReadDsnBackup(root, treePath + u"\\" + name);
    if (backup.empty()) {
      continue;
    }
    if (RestoreDsn(root, name, treePath, std::move(backup))) {
      ++restored;
    }
  }
  return restored;
}

int RunDsnRestore() {
  if (win32::MessageBoxW(u"Do you want to restore ODBC 2.x DSNs", u"Manage ODBC 2.x DSN", MB_YESNOCANCEL) !=
      IDYES) {
    return 0;
  }
  const std::u16string treePath(kOdbcTreePath);
  // The per-user pass, with all its boxes, ends before the machine pass begins.
  int total = RestoreHive(HKEY_CURRENT_USER, treePath);
  total += RestoreHive(HKEY_LOCAL_MACHINE, treePath);

  const std::u16string summary = DecimalText(total) + (total > 1 ? u" DSNs restored" : u" DSN restored");
  win32::MessageBoxW(summary.c_str(), u"Restore complete", MB_OK);
  return 0;
}

}  // namespace dsn_restore
