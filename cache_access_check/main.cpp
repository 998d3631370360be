// cache-access-check: checks that files can be created and opened in the
// Halvernik ODBC Driver's cache folder and in the current directory.
#include "cache_access_check/check_run.h"
#include "win32/safe_dll_search.h"

int wmain() {
  win32::RestrictDllSearchToSystem32();
  return cache_access_check::RunCacheAccessCheck();
}
