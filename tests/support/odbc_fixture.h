#pragma once
// Builds the ODBC trees that a restore case needs in a few lines, and reads
// back what a DSN key holds.
#include <gmock/gmock.h>

#include <string>
#include <utility>
#include <vector>

#include "support/fake_platform_test.h"

namespace odbc_fixture {

inline const std::u16string kTree = u"SOFTWARE\\ODBC\\ODBC.ini";
inline const std::u16string kDataSources = kTree + u"\\ODBC Data Sources";
inline const std::u16string kDriver = u"Halvernik ODBC Driver";

inline std::u16string DsnKey(const std::u16string& name) { return kTree + u"\\" + name; }

// Lists the DSN under "ODBC Data Sources" with its driver text.
inline void AddDsn(HKEY root, const std::u16string& name, const std::u16string& driver = kDriver) {
  win32::fake::SetText(root, kDataSources, name, driver);
}

// A DSN of the driver whose key holds `values` and then the backup text.
inline void AddBackedUpDsn(HKEY root, const std::u16string& name, const std::u16string& backup,
                           const std::vector<std::pair<std::u16string, std::u16string>>& values = {}) {
  AddDsn(root, name);
  for (const auto& [valueName, text] : values) {
    win32::fake::SetText(root, DsnKey(name), valueName, text);
  }
  win32::fake::SetText(root, DsnKey(name), u"Backup", backup);
}

// A REG_SZ value as the restore writes it: its text and the terminating NUL.
inline win32::fake::RegistryValue Sz(const std::u16string& name, const std::u16string& text) {
  return {name, REG_SZ, win32::fake::TextBytes(text)};
}

inline win32::fake::ShownBox Box(const std::u16string& caption, const std::u16string& text) {
  return {text, caption, MB_OK};
}

inline std::u16string DecimalFor(int number) {
  const std::string digits = std::to_string(number);
  return std::u16string(digits.begin(), digits.end());
}

inline win32::fake::ShownBox SystemErrorBox(const std::u16string& caption, DWORD code) {
  return Box(caption, win32::fake::SystemMessage(code));
}

}  // namespace odbc_fixture
