// Each code that win32/fake/seam_calls.h lists as describing a state comes
// from that state: a scenario makes it (another program acting between two
// calls, or the profile as it stands) and the call then gives the code, with
// nothing injected. A listed state code without such a scenario is caught.
#include <gmock/gmock.h>

#include <functional>
#include <map>
#include <string>
#include <utility>

#include "support/fake_platform_test.h"
#include "win32/api.h"
#include "win32/fake/other_program.h"
#include "win32/unique_handles.h"

namespace {

using namespace win32::fake;
namespace other = win32::fake::other_program;
using win32::UniqueHkey;

// Makes the state, then makes the call once; returns the code it gave.
using Scenario = std::function<DWORD()>;
using Scenarios = std::map<std::pair<Call, DWORD>, Scenario>;

const HKEY kUser = HKEY_CURRENT_USER;

// The key K, holding two values, open for all access; another program then
// does `act`.
HKEY OpenK(UniqueHkey& key, const std::function<void()>& act) {
  SetText(kUser, u"T\\K", u"A", u"1");
  SetText(kUser, u"T\\K", u"B", u"2");
  win32::RegOpenKeyExW(kUser, u"T\\K", 0, KEY_ALL_ACCESS, key.put());
  act();
  return key.get();
}
void DeleteK() { other::DeleteKey(kUser, u"T\\K"); }

DWORD LastErrorOf(HANDLE file) {
  if (file == INVALID_HANDLE_VALUE) {
    return win32::GetLastError();
  }
  win32::CloseHandle(file);
  return 0;
}
DWORD LastErrorOf(BOOL done) { return done ? 0 : win32::GetLastError(); }

// The test file f.txt in the folder C:\F, after another program's `act`.
DWORD OpenF(const std::function<void()>& act) {
  AddFolder(u"C:\\F");
  AddFile(u"C:\\F\\f.txt");
  act();
  return LastErrorOf(win32::CreateFileW(u"C:\\F\\f.txt", GENERIC_READ, 0, OPEN_EXISTING, 0));
}
DWORD DeleteF(const std::function<void()>& act) {
  AddFolder(u"C:\\F");
  AddFile(u"C:\\F\\f.txt");
  act();
  return LastErrorOf(win32::DeleteFileW(u"C:\\F\\f.txt"));
}
void RemoveF() { other::RemoveFile(u"C:\\F\\f.txt"); }
void RemoveFolderF() { other::RemoveFolder(u"C:\\F"); }
void HoldF() { other::HoldOpen(u"C:\\F\\f.txt", 0); }

DWORD FolderLookupWhereTheProfileGives(DWORD code) {
  SetLocalAppData(static_cast<HRESULT>(0x80070000u | code), u"");
  char16_t path[MAX_PATH];
  return static_cast<DWORD>(win32::SHGetFolderPathW(CSIDL_LOCAL_APPDATA, nullptr, SHGFP_TYPE_CURRENT, path)) & 0xFFFF;
}

const Scenarios& StateScenarios() {
  static const Scenarios scenarios{
      {{Call::RegOpenKeyExW, 2}, [] {
         UniqueHkey key;
         OpenK(key, DeleteK);
         UniqueHkey again;
         return static_cast<DWORD>(win32::RegOpenKeyExW(kUser, u"T\\K", 0, KEY_READ, again.put()));
       }},
      {{Call::RegOpenKeyExW, 1018}, [] {
         UniqueHkey key;
         UniqueHkey sub;
         return static_cast<DWORD>(win32::RegOpenKeyExW(OpenK(key, DeleteK), u"Sub", 0, KEY_READ, sub.put()));
       }},
      {{Call::RegQueryInfoKeyW, 1018}, [] {
         UniqueHkey key;
         DWORD count = 0;
         return static_cast<DWORD>(win32::RegQueryInfoKeyW(OpenK(key, DeleteK), &count));
       }},
      {{Call::RegEnumValueW, 259}, [] {
         UniqueHkey key;
         char16_t name[8];
         DWORD units = 8;
         // The count was taken (2) before another program removed a value.
         return static_cast<DWORD>(win32::RegEnumValueW(OpenK(key, [] { other::DeleteValueOf(kUser, u"T\\K", u"A"); }),
                                                        1, name, &units, nullptr, nullptr));
       }},
      {{Call::RegEnumValueW, 1018}, [] {
         UniqueHkey key;
         char16_t name[8];
         DWORD units = 8;
         return static_cast<DWORD>(win32::RegEnumValueW(OpenK(key, DeleteK), 0, name, &units, nullptr, nullptr));
       }},
      {{Call::RegDeleteKeyW, 1018}, [] {
         UniqueHkey key;
         return static_cast<DWORD>(win32::RegDeleteKeyW(OpenK(key, DeleteK), u""));
       }},
      {{Call::RegCreateKeyExW, 1018}, [] {
         UniqueHkey key;
         UniqueHkey created;
         return static_cast<DWORD>(
             win32::RegCreateKeyExW(OpenK(key, DeleteK), u"Sub", 0, KEY_ALL_ACCESS, created.put(), nullptr));
       }},
      {{Call::RegSetValueExW, 1018}, [] {
         UniqueHkey key;
         const BYTE data[2] = {};
         return static_cast<DWORD>(win32::RegSetValueExW(OpenK(key, DeleteK), u"C", REG_SZ, data, 2));
       }},
      {{Call::CreateFileW, 2}, [] { return OpenF(RemoveF); }},
      {{Call::CreateFileW, 3}, [] { return OpenF(RemoveFolderF); }},
      {{Call::CreateFileW, 32}, [] { return OpenF(HoldF); }},
      {{Call::DeleteFileW, 2}, [] { return DeleteF(RemoveF); }},
      {{Call::DeleteFileW, 3}, [] { return DeleteF(RemoveFolderF); }},
      {{Call::DeleteFileW, 32}, [] { return DeleteF(HoldF); }},
      {{Call::SHGetFolderPathW, 2}, [] { return FolderLookupWhereTheProfileGives(2); }},
      {{Call::SHGetFolderPathW, 3}, [] { return FolderLookupWhereTheProfileGives(3); }},
  };
  return scenarios;
}

// What is wrong with the state codes of one call; empty when nothing is.
std::vector<std::string> StateCodeProblems(const SeamCall& call, const Scenarios& scenarios) {
  std::vector<std::string> out;
  for (const DWORD code : call.stateCodes) {
    const std::string what = std::string(call.name) + " " + std::to_string(code);
    const auto scenario = scenarios.find({call.call, code});
    if (scenario == scenarios.end()) {
      out.push_back(what + " is listed as describing a state, and no scenario makes that state");
      continue;
    }
    Reset();
    const DWORD given = scenario->second();
    if (given != code) {
      out.push_back(what + ": its state gave " + std::to_string(given));
    }
    if (InjectedFailureCount() != 0 || OpenKeyCount() != 0 || OpenFileCount() != 0) {
      out.push_back(what + ": its scenario injected a failure or left a handle open");
    }
  }
  Reset();
  return out;
}

TEST(StateCodes, EachComesFromTheStateItDescribes) {
  for (const SeamCall& call : kSeamCalls) {
    EXPECT_THAT(StateCodeProblems(call, StateScenarios()), ::testing::IsEmpty());
  }
}

TEST(StateCodes, CodeWithoutItsStateOrAStateGivingAnotherCodeIsCaught) {
  static constexpr DWORD kListed[] = {2, 3};
  const SeamCall planted{Call::RegOpenKeyExW, "RegOpenKeyExW", {}, kListed, {}};
  // 3 has no scenario; the scenario for 2 makes a state that gives 0.
  const Scenarios scenarios{{{Call::RegOpenKeyExW, 2}, [] {
                               CreateKey(kUser, u"K");
                               UniqueHkey key;
                               return static_cast<DWORD>(win32::RegOpenKeyExW(kUser, u"K", 0, KEY_READ, key.put()));
                             }}};
  EXPECT_THAT(StateCodeProblems(planted, scenarios),
              ::testing::ElementsAre("RegOpenKeyExW 2: its state gave 0",
                                     "RegOpenKeyExW 3 is listed as describing a state, and no scenario makes that "
                                     "state"));
}

}  // namespace
