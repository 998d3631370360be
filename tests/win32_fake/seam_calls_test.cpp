// The one list of seam calls (win32/fake/seam_calls.h) covers the seam: it
// names every operation that api.h declares and no other, and the fake counts
// each call under its name and fails it when asked, so that the fault sweep
// cannot miss one.
#include <gmock/gmock.h>

#include <fstream>
#include <functional>
#include <map>
#include <regex>
#include <set>
#include <sstream>
#include <string>
#include <utility>

#include "win32/api.h"
#include "win32/fake/fake_win32.h"

namespace {

using namespace win32::fake;

// The operations a header declares: every name followed by an argument list,
// outside comments and preprocessor lines.
std::set<std::string> DeclaredOperations(const std::string& header) {
  std::string code;
  std::istringstream lines(header);
  for (std::string line; std::getline(lines, line);) {
    line = line.substr(0, line.find("//"));
    if (line.find_first_not_of(" \t") != std::string::npos && line[line.find_first_not_of(" \t")] != '#') {
      code += line + "\n";
    }
  }
  std::set<std::string> names;
  std::istringstream statements(code);
  const std::regex nameBeforeArguments(R"(([A-Za-z_][A-Za-z0-9_]*)\s*\()");
  for (std::string statement; std::getline(statements, statement, ';');) {
    std::smatch match;
    if (std::regex_search(statement, match, nameBeforeArguments)) {
      names.insert(match[1]);
    }
  }
  return names;
}

// What the list and the header disagree on; empty when they agree.
std::vector<std::string> Disagreements(const std::set<std::string>& declared) {
  std::set<std::string> listed;
  for (const SeamCall& call : kSeamCalls) {
    listed.insert(std::string(call.name));
  }
  std::vector<std::string> out;
  for (const auto& name : declared) {
    if (listed.count(name) == 0) {
      out.push_back(name + " is declared in api.h but missing from the list of seam calls");
    }
  }
  for (const auto& name : listed) {
    if (declared.count(name) == 0) {
      out.push_back(name + " is listed as a seam call but not declared in api.h");
    }
  }
  return out;
}

std::string ApiHeader() {
  std::ifstream file(HALVERNIK_API_HEADER);
  std::ostringstream text;
  text << file.rdbuf();
  return text.str();
}

TEST(SeamCalls, ListNamesEveryOperationThatApiHDeclares) {
  const std::set<std::string> declared = DeclaredOperations(ApiHeader());
  EXPECT_GE(declared.size(), 10u) << "api.h was not read";
  EXPECT_THAT(Disagreements(declared), ::testing::IsEmpty());
}

TEST(SeamCalls, OperationAddedToApiHOrDroppedFromItIsCaught) {
  std::string header = ApiHeader();
  header.insert(header.rfind("}  // namespace win32"),
                "LSTATUS RegFlushKey(HKEY key);\nBOOL SetFileAttributesW(const char16_t* fileName,\n"
                "                        DWORD attributes);  // over two lines\n");
  EXPECT_THAT(Disagreements(DeclaredOperations(header)),
              ::testing::UnorderedElementsAre(
                  "RegFlushKey is declared in api.h but missing from the list of seam calls",
                  "SetFileAttributesW is declared in api.h but missing from the list of seam calls"));

  std::set<std::string> withoutOne = DeclaredOperations(ApiHeader());
  withoutOne.erase("DeleteFileW");
  EXPECT_THAT(Disagreements(withoutOne),
              ::testing::ElementsAre("DeleteFileW is listed as a seam call but not declared in api.h"));
}

TEST(SeamCalls, EachCallEitherHasCodesOrSaysWhyItCannotFail) {
  for (const SeamCall& call : kSeamCalls) {
    EXPECT_NE(call.refusalCodes.empty() && call.stateCodes.empty(), call.cannotFailBecause.empty()) << call.name;
    EXPECT_EQ(&SeamCallOf(call.call), &call) << call.name << " is out of the order of Call";
  }
}

// One seam call, made once on a platform where it succeeds: what it needs
// first, the call itself (whether it reported a failure), what it leaves to free.
struct Invoker {
  std::function<bool()> call;
  std::function<void()> prepare = [] {};
  std::function<void()> cleanUp = [] {};
};

const std::map<Call, Invoker>& Invokers() {
  static constexpr DWORD kSystemText = FORMAT_MESSAGE_ALLOCATE_BUFFER | FORMAT_MESSAGE_FROM_SYSTEM;
  static HKEY key;
  static char16_t name[8];
  static BYTE data[8];
  static DWORD units;
  static DWORD bytes;
  static char16_t* text;
  static HANDLE file;
  static char16_t path[MAX_PATH];
  static const std::map<Call, Invoker> invokers{
      {Call::RegOpenKeyExW, {[] { return win32::RegOpenKeyExW(HKEY_CURRENT_USER, u"K", 0, KEY_READ, &key) != 0; }}},
      {Call::RegQueryInfoKeyW, {[] { return win32::RegQueryInfoKeyW(HKEY_CURRENT_USER, &units) != 0; }}},
      {Call::RegEnumValueW, {[] {
                               units = 8, bytes = 8;
                               return win32::RegEnumValueW(HKEY_CURRENT_USER, 0, name, &units, data, &bytes) != 0;
                             },
                             [] { SetText(HKEY_CURRENT_USER, u"", u"V", u"a"); }}},
      {Call::RegDeleteKeyW, {[] { return win32::RegDeleteKeyW(HKEY_CURRENT_USER, u"K") != 0; }}},
      {Call::RegCreateKeyExW, {[] {
         return win32::RegCreateKeyExW(HKEY_CURRENT_USER, u"New", 0, KEY_ALL_ACCESS, &key, nullptr) != 0;
       }}},
      {Call::RegSetValueExW, {[] { return win32::RegSetValueExW(HKEY_CURRENT_USER, u"V", REG_SZ, data, 2) != 0; }}},
      {Call::RegCloseKey, {[] { return win32::RegCloseKey(key) != 0; },
                           [] { win32::RegOpenKeyExW(HKEY_CURRENT_USER, u"K", 0, KEY_READ, &key); }}},
      {Call::MessageBoxW, {[] { return win32::MessageBoxW(u"text", u"caption", MB_OK) == 0; }}},
      {Call::FormatMessageW, {[] { return win32::FormatMessageW(kSystemText, 5, 0, &text) == 0; }, [] {},
                              [] { win32::LocalFree(std::exchange(text, nullptr)); }}},
      {Call::LocalFree, {[] { return win32::LocalFree(text) != nullptr; },
                         [] { win32::FormatMessageW(kSystemText, 5, 0, &text); }}},
      {Call::GetLastError, {[] { return win32::GetLastError() != 0; }}},
      {Call::CreateFileW, {[] {
                             file = win32::CreateFileW(u".\\f", GENERIC_WRITE, 0, CREATE_ALWAYS, 0);
                             return file == INVALID_HANDLE_VALUE;
                           },
                           [] {}, [] {
                             if (file != INVALID_HANDLE_VALUE) {
                               win32::CloseHandle(file);
                             }
                           }}},
      {Call::CloseHandle, {[] { return win32::CloseHandle(file) == FALSE; },
                           [] { file = win32::CreateFileW(u".\\f", GENERIC_WRITE, 0, CREATE_ALWAYS, 0); }}},
      {Call::DeleteFileW, {[] { return win32::DeleteFileW(u".\\f") == FALSE; }, [] { AddFile(u".\\f"); }}},
      {Call::SHGetFolderPathW,
       {[] { return win32::SHGetFolderPathW(CSIDL_LOCAL_APPDATA, nullptr, SHGFP_TYPE_CURRENT, path) != S_OK; }}},
      {Call::WideCharToMultiByte, {[] { return win32::WideCharToMultiByte(CP_UTF8, 0, u"a", 1, nullptr, 0) == 0; }}},
      {Call::CompareStringOrdinal,
       {[] { return win32::CompareStringOrdinal(u"a", 1, u"A", 1, TRUE) != CSTR_EQUAL; }}},
      {Call::WriteStandardOutput, {[] {
         win32::WriteStandardOutput(u"a", 1);
         return false;
       }}},
      {Call::FlushStandardOutput, {[] {
         win32::FlushStandardOutput();
         return false;
       }}},
      {Call::ReadStandardInputCharacter, {[] { return win32::ReadStandardInputCharacter() < 0; },
                                          [] { SetStandardInput('x'); }}},
  };
  return invokers;
}

// What is wrong with how the fake counts and fails one call; empty when
// nothing is. The call is made once as it is, and once with each of the codes
// that refuse it injected.
std::vector<std::string> CountingProblems(const SeamCall& call, const Invoker& invoker) {
  std::vector<std::string> out;
  const std::string name(call.name);
  // Returns whether the call failed, and whether it was the one call counted.
  const auto once = [&](const std::function<void()>& inject, bool& countedOnce) {
    Reset();
    CreateKey(HKEY_CURRENT_USER, u"K");
    invoker.prepare();
    inject();
    const std::size_t before = CallLog().size();
    const bool failed = invoker.call();
    countedOnce = std::vector<Call>(CallLog().begin() + static_cast<long>(before), CallLog().end()) ==
                  std::vector<Call>{call.call};
    invoker.cleanUp();
    return failed;
  };
  bool countedOnce = false;
  if (once([] {}, countedOnce)) {
    out.push_back(name + " fails without an injected failure");
  }
  if (!countedOnce) {
    out.push_back(name + " is not counted once under its own name");
  }
  for (const DWORD code : call.refusalCodes) {
    const bool failed = once([&] { FailCall(call.call, code); }, countedOnce);
    if (!failed || InjectedFailureCount() != 1) {
      out.push_back(name + " does not fail with injected code " + std::to_string(code));
    }
  }
  Reset();
  return out;
}

TEST(SeamCalls, FakeCountsEachCallUnderItsNameAndFailsItWithEachRefusal) {
  for (const SeamCall& call : kSeamCalls) {
    const auto invoker = Invokers().find(call.call);
    if (invoker == Invokers().end()) {
      ADD_FAILURE() << "no invoker for " << call.name << ": add one above";
      continue;
    }
    EXPECT_THAT(CountingProblems(call, invoker->second), ::testing::IsEmpty());
  }
}

TEST(SeamCalls, CallTheFakeDoesNotCountOrFailIsCaught) {
  const SeamCall& deleteFile = SeamCallOf(Call::DeleteFileW);
  // Another call made in its place: counted under another name, never failing.
  const Invoker wrong{[] {
    win32::GetLastError();
    return false;
  }};
  EXPECT_THAT(CountingProblems(deleteFile, wrong),
              ::testing::AllOf(::testing::Contains("DeleteFileW is not counted once under its own name"),
                               ::testing::Contains("DeleteFileW does not fail with injected code 5")));
  // A call that fails on its own.
  EXPECT_THAT(CountingProblems(deleteFile, {[] { return win32::DeleteFileW(u".\\missing") == FALSE; }}),
              ::testing::Contains("DeleteFileW fails without an injected failure"));
}

}  // namespace
