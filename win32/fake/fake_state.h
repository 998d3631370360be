#pragma once
// The fake platform's state, shared by the files that model its parts.
#include <cstdint>
#include <deque>
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
};

struct OpenFile {
  std::u16string key;  // of the file in State::files
  DWORD access = 0;
  DWORD share = 0;
};

struct FailureRule {
  std::optional<Call> call;  // none: the rule counts every call of the run
  int occurrence = 0;        // 0: every matching call
  bool andLater = false;     // the occurrence and every later one
  DWORD code = 0;
};

// A key that another program makes again as soon as it is deleted.
struct Remake {
  std::shared_ptr<Key> key;  // the key as it stood when the remake was set up
  HKEY root;
  std::u16string path;
  std::vector<RegistryValue> values;
};

struct State {
  std::shared_ptr<Key> currentUser = std::make_shared<Key>();
  std::shared_ptr<Key> localMachine = std::make_shared<Key>();
  std::map<std::uintptr_t, OpenKey> openKeys;
  std::uintptr_t nextHandle = 0x1000;
  std::vector<Remake> remakes;

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
};

State& TheState();

// The system's text for a code as FormatMessageW finds it, or none.
const std::u16string* FindSystemMessage(DWORD code);

// Counts the call and tells whether an injected failure applies to it.
std::optional<DWORD> EnterCall(Call call);
// Counts a call that has no failure to report.
void CountCall(Call call);

// Registry names compare without regard to letter case, as on Windows.
// The name as Windows compares it: upper case.
std::u16string Folded(std::u16string_view name);

}  // namespace win32::fake
