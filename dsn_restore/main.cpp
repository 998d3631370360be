// dsn-restore: brings the Halvernik ODBC Driver's data sources back from the
// backups kept in their registry keys.
#include "dsn_restore/restore_run.h"

int WINAPI wWinMain(HINSTANCE, HINSTANCE, PWSTR, int) { return dsn_restore::RunDsnRestore(); }
