// A planted entry for the entry-call check to fail on: it restricts the DLL
// search first, as the tools do, but to the default folders, which still
// include the program's own.
#include "win32/safe_dll_search.h"

int wmain() {
  win32::RestrictDllSearch(LOAD_LIBRARY_SEARCH_DEFAULT_DIRS);
  return 0;
}
