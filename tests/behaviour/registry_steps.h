#pragma once
// The registry steps the cases are made of, each one seam call or a short
// run of them, below the case's scratch key under HKEY_CURRENT_USER, and the
// checks several cases share.
#include <algorithm>
#include <string>
#include <string_view>
#include <vector>

#include "tests/behaviour/behaviour_case.h"
#include "tests/behaviour/platform.h"
#include "win32/api.h"
#include "win32/unique_handles.h"

namespace behaviour {

inline std::u16string Scratch(std::u16string_view below) {
  return std::u16string(kScratchKey) + u"\\" + std::u16string(below);
}

inline LSTATUS Open(const std::u16string& path, REGSAM access, win32::UniqueHkey& key) {
  return win32::RegOpenKeyExW(HKEY_CURRENT_USER, path.c_str(), 0, access, key.put());
}

inline LSTATUS Create(HKEY parent, const std::u16string& path, win32::UniqueHkey& key, DWORD* disposition = nullptr) {
  return win32::RegCreateKeyExW(parent, path.c_str(), REG_OPTION_NON_VOLATILE, KEY_ALL_ACCESS, key.put(), disposition);
}

inline LSTATUS Create(const std::u16string& path, win32::UniqueHkey& key, DWORD* disposition = nullptr) {
  return Create(HKEY_CURRENT_USER, path, key, disposition);
}

// Data of `bytes` bytes taken from `text`, whatever follows them in it.
inline LSTATUS SetValue(HKEY key, const std::u16string& name, DWORD type, const std::u16string& text,
                        std::size_t bytes) {
  return win32::RegSetValueExW(key, name.c_str(), type, reinterpret_cast<const BYTE*>(text.c_str()),
                               static_cast<DWORD>(bytes));
}

// A REG_SZ value as the tools write it: the text and its NUL.
inline LSTATUS SetText(HKEY key, const std::u16string& name, const std::u16string& text) {
  return SetValue(key, name, REG_SZ, text, (text.size() + 1) * sizeof(char16_t));
}

inline std::vector<BYTE> Bytes(std::u16string_view text) {
  std::vector<BYTE> bytes;
  for (const char16_t unit : text) {
    bytes.push_back(static_cast<BYTE>(unit & 0xFF));
    bytes.push_back(static_cast<BYTE>(unit >> 8));
  }
  return bytes;
}

// One RegEnumValueW with buffers of the sizes given, as the tools make the
// call; the buffers are filled with marks first, to see what it wrote.
struct Enumerated {
  LSTATUS status = 0;
  DWORD nameUnits = 0;  // the size argument after the call
  DWORD dataBytes = 0;
  std::u16string name;       // the name buffer's first nameUnits units, after a success
  std::vector<BYTE> data;    // the data buffer's first dataBytes bytes, after a success
  bool nameWritten = false;  // whether the call changed the name buffer at all
  bool dataWritten = false;
};

inline Enumerated Enumerate(HKEY key, DWORD index, DWORD nameUnits = 255, DWORD dataBytes = 65536) {
  constexpr char16_t kNameMark = u'#';
  constexpr BYTE kDataMark = 0xBD;
  std::vector<char16_t> name(nameUnits + 1, kNameMark);
  std::vector<BYTE> data(dataBytes + 1, kDataMark);
  Enumerated e;
  e.nameUnits = nameUnits;
  e.dataBytes = dataBytes;
  e.status = win32::RegEnumValueW(key, index, name.data(), &e.nameUnits, data.data(), &e.dataBytes);
  for (const char16_t unit : name) {
    e.nameWritten |= unit != kNameMark;
  }
  for (const BYTE byte : data) {
    e.dataWritten |= byte != kDataMark;
  }
  if (e.status == ERROR_SUCCESS) {
    e.name.assign(name.data(), std::min<std::size_t>(e.nameUnits, name.size()));
    e.data.assign(data.begin(), data.begin() + std::min<std::size_t>(e.dataBytes, data.size()));
  }
  return e;
}

// The key's value names in enumeration order.
inline std::vector<std::u16string> ValueNames(HKEY key) {
  std::vector<std::u16string> names;
  for (DWORD index = 0;; ++index) {
    const Enumerated e = Enumerate(key, index, 16384);
    if (e.status != ERROR_SUCCESS) {
      break;
    }
    names.push_back(e.name);
  }
  return names;
}

inline DWORD ValueCount(HKEY key) {
  DWORD count = 0;
  return win32::RegQueryInfoKeyW(key, &count) == ERROR_SUCCESS ? count : 0xFFFFFFFF;
}

// A handle whose key was deleted: every call through it answers
// ERROR_KEY_DELETED, a create or an open below it too (`below` was a subkey).
inline void CheckEveryCallAnswersKeyDeleted(HKEY key, const std::u16string& below) {
  DWORD count = 0;
  CHECK_EQ(win32::RegQueryInfoKeyW(key, &count), ERROR_KEY_DELETED);
  CHECK_EQ(Enumerate(key, 0).status, ERROR_KEY_DELETED);
  CHECK_EQ(SetText(key, u"Server", u"db1"), ERROR_KEY_DELETED);
  win32::UniqueHkey sub;
  CHECK_EQ(Create(key, u"New", sub), ERROR_KEY_DELETED);
  CHECK_EQ(win32::RegOpenKeyExW(key, below.c_str(), 0, KEY_READ, sub.put()), ERROR_KEY_DELETED);
}

}  // namespace behaviour
