// dsn-restore: brings the Halvernik ODBC Driver's data sources back from the
// backups kept in their registry keys.
#include "dsn_restore/restore_run.h"
#include "win32/safe_dll_search.h"

int WINAPI wWinMain(HINSTANCE, HINSTANCE, PWSTR, int) {
  win32::RestrictDllSearchToSystem32();
  return dsn_restore::RunDsnRestore();
}
