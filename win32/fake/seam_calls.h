#pragma once
// Every operation of the seam (win32/api.h), listed once, with how it fails.
// The fake counts each call under the name listed here, and the fault sweep
// makes each call fail with the codes listed here; an operation that cannot
// fail as the tools use it says why instead. A call listed without codes or
// without a reason does not build; tests/win32_fake/seam_calls_test.cpp
// checks that the list names every declaration of api.h and that the fake
// counts each call and fails it on demand, so that none goes unswept.
//
//   FAILS(name, code, ...)       the Win32 codes the call plausibly fails with
//   CANNOT_FAIL(name, "reason")  why no failure of it can reach the tools
#include <array>
#include <cstddef>
#include <initializer_list>
#include <span>
#include <string_view>

#include "win32/platform_types.h"

#define HALVERNIK_SEAM_CALLS(FAILS, CANNOT_FAIL)                                                                  \
  /* Registry (advapi32): missing, denied, bad handle, out of memory, buffer too small, key deleted */              \
  FAILS(RegOpenKeyExW, 2, 3, 5, 6, 8, 234, 1018)                                                                    \
  FAILS(RegQueryInfoKeyW, 2, 3, 5, 6, 8, 234, 1018)                                                                 \
  FAILS(RegEnumValueW, 2, 3, 5, 6, 8, 234, 1018)                                                                    \
  FAILS(RegDeleteKeyW, 2, 3, 5, 6, 8, 234, 1018)                                                                    \
  FAILS(RegCreateKeyExW, 2, 3, 5, 6, 8, 234, 1018)                                                                  \
  FAILS(RegSetValueExW, 2, 3, 5, 6, 8, 234, 1018)                                                                   \
  CANNOT_FAIL(RegCloseKey,                                                                                          \
              "it closes a key the tool opened: it fails only for a handle that is not open, which its owner "     \
              "(UniqueHkey) never passes, and a close has nothing left to lose")                                    \
  /* Message boxes (user32): a box that cannot appear (no display, no memory) returns 0 */                          \
  FAILS(MessageBoxW, 8)                                                                                             \
  /* System messages and the local heap (kernel32) */                                                               \
  FAILS(FormatMessageW, 317, 8)                                                                                     \
  CANNOT_FAIL(LocalFree,                                                                                            \
              "it frees the text FormatMessageW allocated: it fails only for memory that is not a local block, "   \
              "which its owner (UniqueLocalText) never passes")                                                     \
  CANNOT_FAIL(GetLastError, "it reads the thread's last error, and has no failure of its own")                     \
  /* Files (kernel32): missing, denied, held by another program, disk full */                                       \
  FAILS(CreateFileW, 2, 3, 5, 32, 112)                                                                              \
  CANNOT_FAIL(CloseHandle,                                                                                          \
              "it closes a file the tool opened: it fails only for a handle that is not open, which its owner "    \
              "(UniqueFileHandle) never passes")                                                                    \
  FAILS(DeleteFileW, 2, 3, 5, 32, 112)                                                                              \
  /* Shell folders (shell32) */                                                                                     \
  FAILS(SHGetFolderPathW, 2, 3, 5)                                                                                  \
  /* Text conversion (kernel32): bad argument, no mapping */                                                        \
  FAILS(WideCharToMultiByte, 87, 1113)                                                                              \
  /* Standard streams */                                                                                            \
  CANNOT_FAIL(WriteStandardOutput,                                                                                  \
              "it returns nothing: a line that a closed or full output loses cannot be reported anywhere else, "   \
              "and the check goes on either way")                                                                   \
  CANNOT_FAIL(FlushStandardOutput, "it returns nothing, and the Windows side buffers nothing")                     \
  /* Standard input closed or broken: the call returns a negative value, as at its end */                           \
  FAILS(ReadStandardInputCharacter, 6, 109)

namespace win32::fake {

enum class Call {
#define HALVERNIK_CALL_ENUMERATOR(name, ...) name,
  HALVERNIK_SEAM_CALLS(HALVERNIK_CALL_ENUMERATOR, HALVERNIK_CALL_ENUMERATOR)
#undef HALVERNIK_CALL_ENUMERATOR
  kCount
};

inline constexpr std::size_t kCallCount = static_cast<std::size_t>(Call::kCount);

struct SeamCall {
  Call call;
  std::string_view name;                  // as api.h declares it
  std::span<const DWORD> plausibleCodes;  // empty when the call cannot fail
  std::string_view cannotFailBecause;     // empty when it can
};

// For each call of a list: its codes, or the check that it says why it
// cannot fail. A call listed as failing without a code, or as not failing
// without a reason, stops the build here.
#define HALVERNIK_CALL_CODES(name, ...)                                                                 \
  static_assert(std::initializer_list<DWORD>{__VA_ARGS__}.size() > 0,                                  \
                "seam call " #name " is listed as failing without a code: list its plausible codes, " \
                "or list it as CANNOT_FAIL with the reason");                                          \
  inline constexpr DWORD name[] = {__VA_ARGS__};
#define HALVERNIK_CALL_REASON(name, reason) \
  static_assert(std::string_view(reason).size() > 0, "seam call " #name " is listed as not failing: say why");
#define HALVERNIK_SEAM_CALL_CODES(LIST) LIST(HALVERNIK_CALL_CODES, HALVERNIK_CALL_REASON)

namespace seam_call_codes {
HALVERNIK_SEAM_CALL_CODES(HALVERNIK_SEAM_CALLS)
}  // namespace seam_call_codes

// Every seam call, in the order of Call.
inline constexpr std::array<SeamCall, kCallCount> kSeamCalls = {{
#define HALVERNIK_CALL_FAILS(name, ...) {Call::name, #name, seam_call_codes::name, {}},
#define HALVERNIK_CALL_CANNOT_FAIL(name, reason) {Call::name, #name, {}, reason},
    HALVERNIK_SEAM_CALLS(HALVERNIK_CALL_FAILS, HALVERNIK_CALL_CANNOT_FAIL)
#undef HALVERNIK_CALL_FAILS
#undef HALVERNIK_CALL_CANNOT_FAIL
}};

inline constexpr const SeamCall& SeamCallOf(Call call) { return kSeamCalls[static_cast<std::size_t>(call)]; }

}  // namespace win32::fake
