#include "dsn_restore/key_read_back.h"

#include <algorithm>
#include <memory>
#include <string>

#include "win32/api.h"

namespace dsn_restore {
namespace {

struct WrittenValue {
  std::u16string name;  // as the first member of that name wrote it: the registry keeps it so
  std::u16string text;  // as the last one did
  bool readBack = false;
};

bool SameValueName(const std::u16string& a, const std::u16string& b) {
  return win32::CompareStringOrdinal(a.data(), static_cast<int>(a.size()), b.data(), static_cast<int>(b.size()),
                                     TRUE) == CSTR_EQUAL;
}

std::vector<WrittenValue> WrittenValues(const std::vector<BackupMember>& members) {
  std::vector<WrittenValue> values;
  for (const BackupMember& member : members) {
    const auto same = std::find_if(values.begin(), values.end(),
                                   [&](const WrittenValue& value) { return SameValueName(value.name, member.name); });
    if (same != values.end()) {
      same->text = member.value;
    } else {
      values.push_back({member.name, member.value});
    }
  }
  return values;
}

// What a read reports about the key, when it is not a value read.
ReadBack AfterFailedRead(LSTATUS status) {
  if (status == ERROR_KEY_DELETED) {
    return ReadBack::kGone;
  }
  // Fewer values than counted: one was removed while they were read.
  return status == ERROR_NO_MORE_ITEMS ? ReadBack::kChanged : ReadBack::kUnread;
}

}  // namespace

ReadBack ReadBackKey(HKEY key, const std::vector<BackupMember>& members) {
  std::vector<WrittenValue> written = WrittenValues(members);
  DWORD count = 0;
  if (const LSTATUS status = win32::RegQueryInfoKeyW(key, &count); status != ERROR_SUCCESS) {
    return AfterFailedRead(status);
  }
  if (count != written.size()) {
    return ReadBack::kChanged;
  }
  // Room for the longest name the registry takes, and for any text a backup
  // (itself at most 64 KiB) can hold; left uninitialised, as the registry
  // fills what it reports.
  constexpr DWORD kNameUnits = kMaxValueNameUnits + 1;
  constexpr DWORD kDataBytes = 65536;
  const auto name = std::make_unique_for_overwrite<char16_t[]>(kNameUnits);
  const auto data = std::make_unique_for_overwrite<BYTE[]>(kDataBytes);
  for (DWORD index = 0; index < count; ++index) {
    DWORD nameUnits = kNameUnits;
    DWORD dataBytes = kDataBytes;
    const LSTATUS status = win32::RegEnumValueW(key, index, name.get(), &nameUnits, data.get(), &dataBytes);
    if (status != ERROR_SUCCESS) {
      return AfterFailedRead(status);
    }
    const std::u16string valueName(name.get(), nameUnits);
    const auto value = std::find_if(written.begin(), written.end(),
                                    [&](const WrittenValue& w) { return !w.readBack && w.name == valueName; });
    if (value == written.end()) {
      return ReadBack::kChanged;
    }
    const auto* text = reinterpret_cast<const BYTE*>(value->text.c_str());
    const std::size_t textBytes = (value->text.size() + 1) * sizeof(char16_t);  // with its NUL, as written
    if (dataBytes != textBytes || !std::equal(text, text + textBytes, data.get())) {
      return ReadBack::kChanged;
    }
    value->readBack = true;
  }
  return ReadBack::kAsWritten;
}

}  // namespace dsn_restore
