#pragma once
// The fake platform's state, shared by the files that model its parts.
#include <cstdint>
#include <deque>
#include <functional>
#include <map>
#include <memory>
#include <optional>
#include <set>
#include <string>
#include <vector>

#include "win32/fake/fake_win32.h"

namespace win32::fake {

struct Key {
  std::u16string name;
  std::vector<RegistryValue> values;  // in the order they were first written
  std::vector<std::shared_ptr<Key>> subkeys;
  Key* parent = nullptr;
  bool deleted = false;
  REGSAM denied = 0;
};

struct OpenKey {
  std::shared_ptr<Key> key;
  REGSAM access = 0;
};

struct FakeFile {
  std::u16string path;  // as created
  DWORD attributes = FILE_ATTRIBUTE_NORMAL;
  bool deletePending = false;  // deleted while open: it goes when its last handle closes
};

struct OpenFile {
  std::u16string key;  // of the file in State::files
  DWORD access = 0;
  DWORD share = 0;
  bool ofAnotherProgram = false;  // held by another program, not by the tool
};

struct FailureRule {
  std::optional<Call> call;  // none: the rule counts every call of the run
  int occurrence = 0;        // 0: every matching call
  bool andLater = false;     // the occurrence and every later one
  DWORD code = 0;
};

// What another program does just before a given call of the run (other_program.h).
struct OtherProgramAction {
  std::optional<Call> call;  // none: the action counts every call of the run
  int occurrence = 0;        // 1 = the first
  std::function<void()> act;
  bool performed = false;
};

struct State {
  std::shared_ptr<Key> currentUser = std::make_shared<Key>();
  std::shared_ptr<Key> localMachine = std::make_shared<Key>();
  std::map<std::uintptr_t, OpenKey> openKeys;
  std::uintptr_t nextHandle = 0x1000;
  std::vector<ValueRead> valuesRead;

  std::vector<ShownBox> boxes;
  std::vector<ShownBox> attemptedBoxes;
  std::deque<int> answers;

  // The tests' own texts (or none) for codes, over Windows' table.
  std::map<DWORD, std::optional<std::u16string>> changedSystemMessages;
  std::set<const void*> localAllocations;

  DWORD lastError = 0;

  std::set<std::u16string> folders;            // folded paths
  std::map<std::u16string, FakeFile> files;    // by folded path
  std::map<std::u16string, DWORD> failingFolders;
  std::map<DWORD, DWORD> failingAttributes;
  std::map<std::uintptr_t, OpenFile> openFiles;
  int failedFileOpens = 0;

  HRESULT localAppDataResult = S_OK;
  std::u16string localAppData = u"C:\\Users\\tester\\AppData\\Local";
  bool utf8ConversionFails = false;

  std::u16string standardOutput;
  int standardOutputFlushes = 0;
  std::optional<char> standardInput;
  int standardInputReads = 0;

  std::vector<FailureRule> failures;
  int callCounts[kCallCount] = {};
  int totalCalls = 0;
  int injectedFailures = 0;
  std::vector<Call> callLog;

  std::vector<OtherProgramAction> otherProgram;
  // While another program acts, its calls are its own: not counted, never failed by injection.
  bool otherProgramActing = false;
};

State& TheState();

// The system's text for a code as FormatMessageW finds it, or none.
const std::u16string* FindSystemMessage(DWORD code);

// Counts the call and tells whether an injected failure applies to it.
std::optional<DWORD> EnterCall(Call call);
// Counts a call that has no failure to report.
void CountCall(Call call);
// Performs what another program was set to do just before this call (other_program.cpp).
void LetOtherProgramAct(Call call, int occurrenceOfKind, int callOfRun);

// Registry names compare without regard to letter case, as on Windows.
// The name as Windows compares it: upper case.
std::u16string Folded(std::u16string_view name);

}  // namespace win32::fake
