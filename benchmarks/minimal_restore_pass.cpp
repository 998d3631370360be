#include "benchmarks/minimal_restore_pass.h"

#include <string_view>

#include "benchmarks/sample_dsn.h"
#include "dsn_restore/odbc_names.h"

namespace benchmarks {
namespace {

std::wstring Wide(const std::u16string& text) { return std::wstring(text.begin(), text.end()); }

constexpr DWORD kNameUnits = 255;      // the pass's value-name buffer
constexpr DWORD kDataBytes = 65536;    // and value-data buffer

// What the pass's enumeration of one key costs: open, count, and one
// enumeration call per value, until the value named `stopAt` was read (all
// of them when it is null). Where that value comes depends on the registry:
// Windows enumerates in the order values were written, Wine by name.
void EnumerateValues(HKEY root, const std::wstring& path, const wchar_t* stopAt, wchar_t* name, BYTE* data) {
  HKEY key = nullptr;
  if (RegOpenKeyExW(root, path.c_str(), 0, KEY_READ, &key) != ERROR_SUCCESS) {
    return;
  }
  DWORD count = 0;
  RegQueryInfoKeyW(key, nullptr, nullptr, nullptr, nullptr, nullptr, nullptr, &count, nullptr, nullptr, nullptr,
                   nullptr);
  for (DWORD index = 0; index < count; ++index) {
    DWORD nameUnits = kNameUnits;
    DWORD dataBytes = kDataBytes;
    if (RegEnumValueW(key, index, name, &nameUnits, nullptr, nullptr, data, &dataBytes) == ERROR_SUCCESS &&
        stopAt != nullptr && std::wstring_view(name, nameUnits) == stopAt) {
      break;
    }
  }
  RegCloseKey(key);
}

}  // namespace

MinimalPassInput MakeMinimalPassInput(int count) {
  MinimalPassInput input;
  input.treePath = Wide(std::u16string(dsn_restore::kOdbcTreePath));
  input.dataSourcesPath = input.treePath + L"\\" + Wide(std::u16string(dsn_restore::kDataSourcesKeyName));
  for (int n = 0; n < count; ++n) {
    MinimalDsn dsn;
    dsn.name = Wide(DsnName(n));
    dsn.keyPath = input.treePath + L"\\" + dsn.name;
    for (const auto& [name, value] : DsnSettings(n)) {
      dsn.settings.emplace_back(Wide(name), Wide(value));
    }
    input.dsns.push_back(std::move(dsn));
  }
  return input;
}

int MinimalRestorePass(HKEY root, const MinimalPassInput& input) {
  std::vector<wchar_t> name(kNameUnits);
  std::vector<wchar_t> readBackName(16384);  // room for the longest value name the registry takes
  std::vector<BYTE> data(kDataBytes);

  HKEY probe = nullptr;
  if (RegOpenKeyExW(root, input.treePath.c_str(), 0, KEY_READ, &probe) != ERROR_SUCCESS) {
    return 0;
  }
  RegCloseKey(probe);
  EnumerateValues(root, input.dataSourcesPath, nullptr, name.data(), data.data());

  int made = 0;
  for (const MinimalDsn& dsn : input.dsns) {
    EnumerateValues(root, dsn.keyPath, L"Backup", name.data(), data.data());

    HKEY tree = nullptr;
    RegOpenKeyExW(root, input.treePath.c_str(), 0, KEY_ALL_ACCESS, &tree);
    HKEY old = nullptr;
    if (RegOpenKeyExW(root, dsn.keyPath.c_str(), 0, KEY_ALL_ACCESS, &old) == ERROR_SUCCESS) {
      RegDeleteKeyW(old, L"");
      RegCloseKey(old);
    }
    HKEY key = nullptr;
    DWORD disposition = 0;
    if (RegCreateKeyExW(tree, dsn.name.c_str(), 0, nullptr, REG_OPTION_NON_VOLATILE, KEY_ALL_ACCESS, nullptr, &key,
                        &disposition) == ERROR_SUCCESS) {
      for (const auto& [valueName, value] : dsn.settings) {
        RegSetValueExW(key, valueName.c_str(), 0, REG_SZ, reinterpret_cast<const BYTE*>(value.c_str()),
                       static_cast<DWORD>((value.size() + 1) * sizeof(wchar_t)));
      }
      // The key read back: its count, then every value, through the
      // read-back's own buffers.
      DWORD count = 0;
      RegQueryInfoKeyW(key, nullptr, nullptr, nullptr, nullptr, nullptr, nullptr, &count, nullptr, nullptr, nullptr,
                       nullptr);
      for (DWORD index = 0; index < count; ++index) {
        DWORD nameUnits = static_cast<DWORD>(readBackName.size());
        DWORD dataBytes = kDataBytes;
        RegEnumValueW(key, index, readBackName.data(), &nameUnits, nullptr, nullptr, data.data(), &dataBytes);
      }
      RegCloseKey(key);
      ++made;
    }
    RegCloseKey(tree);
  }
  return made;
}

}  // namespace benchmarks
