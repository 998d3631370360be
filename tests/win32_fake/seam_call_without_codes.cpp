// Must not build: a list of seam calls with a call listed as failing but
// without a code, and one listed as not failing without a reason. The test
// that compiles it expects the build's own words for both.
#include "win32/fake/seam_calls.h"

#define PLANTED_SEAM_CALLS(FAILS, CANNOT_FAIL) \
  FAILS(RegOpenKeyExW, (5), (2))               \
  FAILS(RegFlushKey, (), ())                   \
  CANNOT_FAIL(RegCloseKey, "")

namespace planted {
HALVERNIK_SEAM_CALL_CODES(PLANTED_SEAM_CALLS)
}  // namespace planted
