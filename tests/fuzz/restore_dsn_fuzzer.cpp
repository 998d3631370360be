// libFuzzer target: restores one DSN from arbitrary backup text (the input's
// bytes as little-endian UTF-16 units) on the fake registry, and aborts on
// the first invariant of restore_dsn_oracle.h that the outcome breaks.
//
// Built with RESTORE_DSN_FUZZER_PLANTED_FAULT, every create fails after the
// delete, so that a valid document loses its key: that build must abort,
// which shows the check failing (test restore_dsn_fuzzer_planted_fault).
#include <cstdint>
#include <cstdio>
#include <cstdlib>

#include "fuzz/restore_dsn_oracle.h"

namespace {

#ifdef RESTORE_DSN_FUZZER_PLANTED_FAULT
void Plant() { win32::fake::FailCall(win32::fake::Call::RegCreateKeyExW, ERROR_ACCESS_DENIED); }
#else
constexpr void (*Plant)() = nullptr;
#endif

}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
  const std::u16string backup = restore_dsn_oracle::BackupFromBytes(data, size);
  if (const char* broken = restore_dsn_oracle::BrokenInvariant(backup, dsn_restore::RestoreDsn, Plant)) {
    std::fprintf(stderr, "invariant broken: %s\n", broken);
    std::abort();
  }
  return 0;
}
