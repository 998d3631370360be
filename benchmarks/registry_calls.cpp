// Counts, on the Linux fake, the registry calls that one restore pass makes
// per DSN, next to the least that restoring a DSN needs.
#include <cstdio>

#include "benchmarks/sample_dsn.h"
#include "dsn_restore/odbc_names.h"
#include "dsn_restore/restore_run.h"
#include "win32/fake/fake_win32.h"

using namespace win32::fake;

int main() {
  const std::u16string tree(dsn_restore::kOdbcTreePath);
  const int count = 1000;
  Reset();
  for (int n = 0; n < count; ++n) {
    SetText(HKEY_CURRENT_USER, tree + u"\\ODBC Data Sources", benchmarks::DsnName(n),
            std::u16string(dsn_restore::kDriverName));
    SetText(HKEY_CURRENT_USER, tree + u"\\" + benchmarks::DsnName(n), u"Server", u"stale.example.com");
    SetText(HKEY_CURRENT_USER, tree + u"\\" + benchmarks::DsnName(n), u"Backup", benchmarks::BackupDocument(n));
  }
  const int before = TotalCallCount();
  const int restored = dsn_restore::RestoreHive(HKEY_CURRENT_USER, tree);
  if (restored != count) {
    std::fprintf(stderr, "restored %d of %d\n", restored, count);
    return 1;
  }
  struct Row {
    const char* call;
    Call kind;
    double least;  // per DSN
  };
  // The least: one enumeration step to list the DSN, one read of its Backup
  // value (open, query, close), the delete by name below the tree key, the
  // create, twelve values, the new key read back (its count and its twelve
  // values), and closing it.
  const Row rows[] = {
      {"RegOpenKeyExW", Call::RegOpenKeyExW, 1},     {"RegQueryInfoKeyW", Call::RegQueryInfoKeyW, 1},
      {"RegEnumValueW", Call::RegEnumValueW, 14},    {"RegDeleteKeyW", Call::RegDeleteKeyW, 1},
      {"RegCreateKeyExW", Call::RegCreateKeyExW, 1}, {"RegSetValueExW", Call::RegSetValueExW, 12},
      {"RegCloseKey", Call::RegCloseKey, 2},
  };
  double total = 0;
  double least = 0;
  std::printf("| call | per DSN | least needed |\n|---|---|---|\n");
  for (const Row& row : rows) {
    const double perDsn = static_cast<double>(CallCount(row.kind)) / count;
    total += perDsn;
    least += row.least;
    std::printf("| %s | %.2f | %.0f |\n", row.call, perDsn, row.least);
  }
  std::printf("| all registry calls | %.2f | %.0f |\n", total, least);
  std::printf("(calls counted: %d, for %d DSNs)\n", TotalCallCount() - before, count);
  return 0;
}
