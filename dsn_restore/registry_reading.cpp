#include "dsn_restore/registry_reading.h"

#include <array>

#include "dsn_restore/odbc_names.h"
#include "dsn_restore/show_system_error.h"
#include "win32/unique_handles.h"

namespace dsn_restore {
namespace {

constexpr DWORD kNameBufferUnits = 255;
constexpr DWORD kDataBufferBytes = 65536;
constexpr char16_t kEnumerationFailureCaption[] = u"Cannot parse a Windows registry";

// Calls visit(name, text) for each value of the key, in enumeration order,
// until it returns false. A key that cannot be opened has no values here. The
// buffers are fixed: a value that does not fit fails its call and is shown.
template <typename Visit>
void ForEachValue(HKEY root, const std::u16string& path, Visit visit) {
  win32::UniqueHkey key;
  if (win32::RegOpenKeyExW(root, path.c_str(), 0, KEY_READ, key.put()) != ERROR_SUCCESS) {
    return;
  }
  DWORD count = 0;
  if (win32::RegQueryInfoKeyW(key.get(), &count) != ERROR_SUCCESS) {
    count = 0;
  }
  std::array<char16_t, kNameBufferUnits> name{};
  std::vector<BYTE> data(kDataBufferBytes);
  for (DWORD index = 0; index < count; ++index) {
    DWORD nameUnits = kNameBufferUnits;
    DWORD dataBytes = kDataBufferBytes;
    const LSTATUS status =
        win32::RegEnumValueW(key.get(), index, name.data(), &nameUnits, data.data(), &dataBytes);
    if (status != ERROR_SUCCESS) {
      ShowSystemError(static_cast<DWORD>(status), kEnumerationFailureCaption);
      continue;
    }
    if (!visit(std::u16string(name.data(), nameUnits), ValueText(data.data(), dataBytes))) {
      return;
    }
  }
}

// A DSN's name becomes a key name below the ODBC tree: it must name one key.
bool NamesOneKey(const std::u16string& dsnName) {
  return !dsnName.empty() && dsnName.find(u'\\') == std::u16string::npos;
}

}  // namespace

std::u16string ValueText(const BYTE* data, DWORD dataBytes) {
  std::u16string text;
  for (DWORD i = 0; i + 1 < dataBytes; i += 2) {
    const auto unit = static_cast<char16_t>(data[i] | (data[i + 1] << 8));
    if (unit == 0) {
      break;
    }
    text.push_back(unit);
  }
  return text;
}

DsnNameList ListDriverDsns(HKEY root, const std::u16string& dataSourcesPath) {
  DsnNameList names;
  ForEachValue(root, dataSourcesPath, [&](std::u16string name, const std::u16string& driver) {
    if (driver == kDriverName) {
      if (NamesOneKey(name)) {
        names.push_back(std::move(name));
      } else {
        ShowSystemError(ERROR_INVALID_NAME, kEnumerationFailureCaption);
      }
    }
    return true;
  });
  return names;
}

std::u16string ReadDsnBackup(HKEY root, const std::u16string& dsnKeyPath) {
  std::u16string backup;
  ForEachValue(root, dsnKeyPath, [&](const std::u16string& name, std::u16string text) {
    if (name != kBackupValueName) {
      return true;
    }
    backup = std::move(text);
    return false;
  });
  return backup;
}

}  // namespace dsn_restore
