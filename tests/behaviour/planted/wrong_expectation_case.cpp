// Planted for the run under Wine to fail on: a case that expects the code
// for a missing path where a real registry says the key is not there.
#include "tests/behaviour/behaviour_case.h"
#include "tests/behaviour/registry_steps.h"

namespace behaviour {
namespace {

BEHAVIOUR_CASE(Planted, MissingKeyExpectedAsPathNotFound) {
  win32::UniqueHkey key;
  CHECK_EQ(Open(Scratch(u"Missing"), KEY_READ, key), ERROR_PATH_NOT_FOUND);
}

}  // namespace
}  // namespace behaviour
