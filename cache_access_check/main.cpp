// cache-access-check: checks that files can be created and opened in the
// Halvernik ODBC Driver's cache folder and in the current directory.
#include "cache_access_check/check_run.h"

int wmain() { return cache_access_check::RunCacheAccessCheck(); }
