// Another program on the fake: its actions, set for a call of the run, and
// what each does to the registry and the files.
#include "win32/fake/other_program.h"

#include "win32/api.h"
#include "win32/fake/fake_state.h"

namespace win32::fake {
namespace {

// While it lives, seam calls are the other program's: not the tool's, and the
// tool's last error stays as it was.
class ActingAsTheOtherProgram {
 public:
  ActingAsTheOtherProgram()
      : wasActing_(TheState().otherProgramActing), lastError_(TheState().lastError) {
    TheState().otherProgramActing = true;
  }
  ~ActingAsTheOtherProgram() {
    TheState().otherProgramActing = wasActing_;
    TheState().lastError = lastError_;
  }
  ActingAsTheOtherProgram(const ActingAsTheOtherProgram&) = delete;
  ActingAsTheOtherProgram& operator=(const ActingAsTheOtherProgram&) = delete;

 private:
  bool wasActing_;
  DWORD lastError_;
};

}  // namespace

void LetOtherProgramAct(Call call, int occurrenceOfKind, int callOfRun) {
  auto& actions = TheState().otherProgram;
  for (std::size_t i = 0; i < actions.size(); ++i) {
    OtherProgramAction& action = actions[i];
    const int count = action.call ? (*action.call == call ? occurrenceOfKind : -1) : callOfRun;
    if (action.performed || count != action.occurrence) {
      continue;
    }
    action.performed = true;
    const ActingAsTheOtherProgram acting;
    // A copy: the action may not outlive a change to the list it stands in.
    const std::function<void()> act = action.act;
    act();
  }
}

}  // namespace win32::fake

namespace win32::fake::other_program {

void ActBeforeCall(int callOfRun, std::function<void()> action) {
  TheState().otherProgram.push_back({std::nullopt, callOfRun, std::move(action)});
}

void ActBefore(Call call, int occurrence, std::function<void()> action) {
  TheState().otherProgram.push_back({call, occurrence, std::move(action)});
}

int ActionsPerformed() {
  int performed = 0;
  for (const OtherProgramAction& action : TheState().otherProgram) {
    performed += action.performed ? 1 : 0;
  }
  return performed;
}

void DeleteKey(HKEY root, std::u16string_view path) { DeleteKeyTree(root, path); }

void MakeKey(HKEY root, std::u16string_view path, const std::vector<RegistryValue>& values) {
  CreateKey(root, path);
  for (const RegistryValue& value : values) {
    SetValue(root, path, value);
  }
}

void SetValueOf(HKEY root, std::u16string_view path, const RegistryValue& value) {
  if (KeyExists(root, path)) {
    SetValue(root, path, value);
  }
}

void DeleteValueOf(HKEY root, std::u16string_view path, std::u16string_view name) { DeleteValue(root, path, name); }

void WithdrawRights(HKEY root, std::u16string_view path, REGSAM rights) {
  if (KeyExists(root, path)) {
    DenyAccess(root, path, rights);
  }
}

void MakeFile(std::u16string_view path) {
  const ActingAsTheOtherProgram acting;
  const std::u16string name(path);
  const HANDLE file = win32::CreateFileW(name.c_str(), GENERIC_WRITE, 0, CREATE_NEW, FILE_ATTRIBUTE_NORMAL);
  if (file != INVALID_HANDLE_VALUE) {
    win32::CloseHandle(file);
  }
}

void HoldOpen(std::u16string_view path, DWORD shareMode) {
  const ActingAsTheOtherProgram acting;
  const std::u16string name(path);
  const HANDLE file = win32::CreateFileW(name.c_str(), GENERIC_READ, shareMode, OPEN_ALWAYS, FILE_ATTRIBUTE_NORMAL);
  if (file != INVALID_HANDLE_VALUE) {
    TheState().openFiles[reinterpret_cast<std::uintptr_t>(file)].ofAnotherProgram = true;
  }
}

void MakeReadOnly(std::u16string_view path) {
  // attrib +r: the file keeps its other attributes.
  if (const auto attributes = FileAttributes(path)) {
    ChangeFileAttributes(path, (*attributes & ~FILE_ATTRIBUTE_NORMAL) | FILE_ATTRIBUTE_READONLY);
  }
}

void RemoveFile(std::u16string_view path) {
  const ActingAsTheOtherProgram acting;
  const std::u16string name(path);
  win32::DeleteFileW(name.c_str());
}

void RemoveFolder(std::u16string_view path) {
  const ActingAsTheOtherProgram acting;
  for (const std::u16string& file : FilesIn(path)) {
    win32::DeleteFileW(file.c_str());
  }
  RemoveEmptyFolder(path);
}

}  // namespace win32::fake::other_program
