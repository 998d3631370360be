#pragma once
// Every operation of the seam (win32/api.h), listed once, with how it fails.
// The fake counts each call under the name listed here. An operation that
// cannot fail as the tools use it says why instead. A call listed without
// codes or without a reason does not build; tests/win32_fake/seam_calls_test.cpp
// checks that the list names every declaration of api.h, that the fake counts
// each call and fails it with each refusal on demand, and that a state of the
// model gives each code listed as describing one.
//
//   FAILS(name, (refusals...), (states...))
//     refusals: codes that refuse and change nothing (a right missing, a bad
//       handle, no memory or resources, a buffer too small, a full disk). The
//       fault sweep makes the call fail with each, the state staying as it was.
//     states: codes that describe the state the call met (a key or file not
//       there, a key deleted while it was open, a file another program holds).
//       Never injected: they come from that state, which another program
//       makes between two calls (other_program.h) in the interference sweep.
//   CANNOT_FAIL(name, "reason")  why no failure of it can reach the tools
#include <array>
#include <cstddef>
#include <initializer_list>
#include <span>
#include <string_view>

#include "win32/platform_types.h"

#define HALVERNIK_SEAM_CALLS(FAILS, CANNOT_FAIL)                                                                  \
  /* Registry (advapi32). States: the key not there (2; a missing parent gives 2 as well, as in Wine's */          \
  /* server/registry.c), the key deleted while a handle was open on it (1018), a value removed during an */         \
  /* enumeration (259). A create that finds a key another program made opens it (REG_OPENED_EXISTING_KEY). */      \
  FAILS(RegOpenKeyExW, (5, 6, 8, 234, 1450), (2, 1018))                                                             \
  FAILS(RegQueryInfoKeyW, (5, 6, 8, 234, 1450), (1018))                                                             \
  FAILS(RegEnumValueW, (5, 6, 8, 234, 1450), (259, 1018))                                                           \
  FAILS(RegDeleteKeyW, (5, 6, 8, 234, 1450), (1018))                                                                \
  FAILS(RegCreateKeyExW, (5, 6, 8, 234, 1450), (1018))                                                              \
  FAILS(RegSetValueExW, (5, 6, 8, 234, 1450), (1018))                                                               \
  CANNOT_FAIL(RegCloseKey,                                                                                          \
              "it closes a key the tool opened: it fails only for a handle that is not open, which its owner "     \
              "(UniqueHkey) never passes, and a close has nothing left to lose")                                    \
  /* Message boxes (user32): a box that cannot appear (no display, no memory) returns 0 */                          \
  FAILS(MessageBoxW, (8), ())                                                                                       \
  /* System messages and the local heap (kernel32) */                                                               \
  FAILS(FormatMessageW, (317, 8), ())                                                                               \
  CANNOT_FAIL(LocalFree,                                                                                            \
              "it frees the text FormatMessageW allocated: it fails only for memory that is not a local block, "   \
              "which its owner (UniqueLocalText) never passes")                                                     \
  CANNOT_FAIL(GetLastError, "it reads the thread's last error, and has no failure of its own")                     \
  /* Files (kernel32). States: the file not there (2), the folder not there (3), the file held open by */           \
  /* another program whose share mode refuses the call (32). */                                                     \
  FAILS(CreateFileW, (5, 8, 112, 1450), (2, 3, 32))                                                                 \
  CANNOT_FAIL(CloseHandle,                                                                                          \
              "it closes a file the tool opened: it fails only for a handle that is not open, which its owner "    \
              "(UniqueFileHandle) never passes")                                                                    \
  FAILS(DeleteFileW, (5, 8, 112, 1450), (2, 3, 32))                                                                 \
  /* Shell folders (shell32). States: the profile names no such folder (2, 3) */                                    \
  FAILS(SHGetFolderPathW, (5), (2, 3))                                                                              \
  /* Text conversion (kernel32): bad argument, no mapping */                                                        \
  FAILS(WideCharToMultiByte, (87, 1113), ())                                                                        \
  CANNOT_FAIL(CompareStringOrdinal,                                                                                 \
              "it compares two texts the tool holds, with their lengths: it fails only for a null text or a "       \
              "negative length other than -1, which the tool never passes")                                         \
  /* Standard streams */                                                                                            \
  CANNOT_FAIL(WriteStandardOutput,                                                                                  \
              "it returns nothing: a line that a closed or full output loses cannot be reported anywhere else, "   \
              "and the check goes on either way")                                                                   \
  CANNOT_FAIL(FlushStandardOutput, "it returns nothing, and the Windows side buffers nothing")                     \
  /* Standard input closed or broken: the call returns a negative value, as at its end */                           \
  FAILS(ReadStandardInputCharacter, (6, 109), ())

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
  std::string_view name;                 // as api.h declares it
  std::span<const DWORD> refusalCodes;   // empty when the call cannot fail
  std::span<const DWORD> stateCodes;     // codes that only a state gives
  std::string_view cannotFailBecause;    // empty when it can
};

#define HALVERNIK_CODE_LIST(...) __VA_ARGS__

// For each call of a list: its codes, or the check that it says why it
// cannot fail. A call listed as failing without a code, or as not failing
// without a reason, stops the build here.
#define HALVERNIK_CALL_CODES(name, refusals, states)                                                    \
  static_assert(std::initializer_list<DWORD>{HALVERNIK_CODE_LIST refusals}.size() +                   \
                        std::initializer_list<DWORD>{HALVERNIK_CODE_LIST states}.size() >             \
                    0,                                                                                  \
                "seam call " #name " is listed as failing without a code: list the codes that refuse it " \
                "and those its states give, or list it as CANNOT_FAIL with the reason");             \
  inline constexpr std::array<DWORD, std::initializer_list<DWORD>{HALVERNIK_CODE_LIST refusals}.size()> \
      name##Refusals{HALVERNIK_CODE_LIST refusals};                                                     \
  inline constexpr std::array<DWORD, std::initializer_list<DWORD>{HALVERNIK_CODE_LIST states}.size()>   \
      name##States{HALVERNIK_CODE_LIST states};
#define HALVERNIK_CALL_REASON(name, reason) \
  static_assert(std::string_view(reason).size() > 0, "seam call " #name " is listed as not failing: say why");
#define HALVERNIK_SEAM_CALL_CODES(LIST) LIST(HALVERNIK_CALL_CODES, HALVERNIK_CALL_REASON)

namespace seam_call_codes {
HALVERNIK_SEAM_CALL_CODES(HALVERNIK_SEAM_CALLS)
}  // namespace seam_call_codes

// Every seam call, in the order of Call.
inline constexpr std::array<SeamCall, kCallCount> kSeamCalls = {{
#define HALVERNIK_CALL_FAILS(name, ...) \
  {Call::name, #name, seam_call_codes::name##Refusals, seam_call_codes::name##States, {}},
#define HALVERNIK_CALL_CANNOT_FAIL(name, reason) {Call::name, #name, {}, {}, reason},
    HALVERNIK_SEAM_CALLS(HALVERNIK_CALL_FAILS, HALVERNIK_CALL_CANNOT_FAIL)
#undef HALVERNIK_CALL_FAILS
#undef HALVERNIK_CALL_CANNOT_FAIL
}};

inline constexpr const SeamCall& SeamCallOf(Call call) { return kSeamCalls[static_cast<std::size_t>(call)]; }

}  // namespace win32::fake
