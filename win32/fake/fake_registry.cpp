// The registry on the fake: a tree of keys below HKEY_CURRENT_USER and
// HKEY_LOCAL_MACHINE, with the answers Windows gives for what the tools rely
// on: missing keys, access rights, keys with subkeys, deleted keys, buffer
// sizes, and values enumerated in the order they were first written.
#include <algorithm>
#include <cstring>

#include "win32/api.h"
#include "win32/fake/fake_state.h"

namespace win32::fake {
namespace {

constexpr std::size_t kMaxValueNameUnits = 16383;

std::shared_ptr<Key> RootKey(HKEY root) {
  State& s = TheState();
  if (root == HKEY_CURRENT_USER) {
    return s.currentUser;
  }
  if (root == HKEY_LOCAL_MACHINE) {
    return s.localMachine;
  }
  return nullptr;
}

bool IsRoot(const Key& key) { return key.parent == nullptr && !key.deleted; }

// The key a handle stands for (a root or an open key), with the handle's rights.
std::optional<OpenKey> FromHandle(HKEY handle) {
  if (auto root = RootKey(handle)) {
    return OpenKey{root, KEY_ALL_ACCESS};
  }
  State& s = TheState();
  const auto found = s.openKeys.find(reinterpret_cast<std::uintptr_t>(handle));
  if (found == s.openKeys.end()) {
    return std::nullopt;
  }
  return found->second;
}

// The live key behind a handle, if the handle holds the rights asked for.
LSTATUS Reach(HKEY handle, REGSAM needed, OpenKey& open) {
  const auto found = FromHandle(handle);
  if (!found) {
    return ERROR_INVALID_HANDLE;
  }
  if (found->key->deleted) {
    return ERROR_KEY_DELETED;
  }
  if ((found->access & needed) != needed) {
    return ERROR_ACCESS_DENIED;
  }
  open = *found;
  return ERROR_SUCCESS;
}

HKEY NewHandle(std::shared_ptr<Key> key, REGSAM access) {
  State& s = TheState();
  const std::uintptr_t id = s.nextHandle;
  s.nextHandle += 4;
  s.openKeys[id] = OpenKey{std::move(key), access};
  return reinterpret_cast<HKEY>(id);
}

// A path names keys below the key it starts from: it cannot begin with a
// backslash. Runs of backslashes between names, and at the end, count as one.
bool IsMalformedPath(std::u16string_view path) { return !path.empty() && path.front() == u'\\'; }

std::vector<std::u16string_view> SplitPath(std::u16string_view path) {
  std::vector<std::u16string_view> parts;
  while (!path.empty()) {
    const auto slash = path.find(u'\\');
    const auto part = path.substr(0, slash);
    if (!part.empty()) {
      parts.push_back(part);
    }
    if (slash == std::u16string_view::npos) {
      break;
    }
    path.remove_prefix(slash + 1);
  }
  return parts;
}

std::shared_ptr<Key> FindSubkey(const Key& key, std::u16string_view name) {
  for (const auto& sub : key.subkeys) {
    if (SameName(sub->name, name)) {
      return sub;
    }
  }
  return nullptr;
}

std::shared_ptr<Key> Walk(std::shared_ptr<Key> from, std::u16string_view path) {
  for (const auto part : SplitPath(path)) {
    from = FindSubkey(*from, part);
    if (!from) {
      return nullptr;
    }
  }
  return from;
}

std::shared_ptr<Key> AddSubkey(Key& parent, std::u16string_view name) {
  auto key = std::make_shared<Key>();
  key->name = std::u16string(name);
  key->parent = &parent;
  parent.subkeys.push_back(key);
  return key;
}

std::shared_ptr<Key> WalkCreating(std::shared_ptr<Key> from, std::u16string_view path) {
  for (const auto part : SplitPath(path)) {
    auto next = FindSubkey(*from, part);
    from = next ? next : AddSubkey(*from, part);
  }
  return from;
}

std::u16string_view Text(const char16_t* text) { return text == nullptr ? std::u16string_view() : text; }

RegistryValue* FindValue(Key& key, std::u16string_view name) {
  for (auto& value : key.values) {
    if (SameName(value.name, name)) {
      return &value;
    }
  }
  return nullptr;
}

void StoreValue(Key& key, RegistryValue value) {
  if (RegistryValue* existing = FindValue(key, value.name)) {
    // Rewriting a value keeps its place in the enumeration and its name.
    existing->type = value.type;
    existing->data = std::move(value.data);
  } else {
    key.values.push_back(std::move(value));
  }
}

// A text whose size leaves out its NUL is stored with it when the NUL follows
// in the caller's buffer, as Windows does: readers of REG_SZ expect one.
DWORD StoredBytes(DWORD type, const BYTE* data, DWORD dataBytes) {
  const bool isText = type == REG_SZ || type == REG_EXPAND_SZ || type == REG_MULTI_SZ;
  if (!isText || data == nullptr || dataBytes < sizeof(char16_t)) {
    return dataBytes;
  }
  const auto unitAt = [data](DWORD index) {
    return static_cast<char16_t>(data[index * 2] | (data[index * 2 + 1] << 8));
  };
  const DWORD units = dataBytes / sizeof(char16_t);
  return unitAt(units - 1) != 0 && unitAt(units) == 0 ? dataBytes + sizeof(char16_t) : dataBytes;
}

void Detach(Key& key) {
  Key* parent = key.parent;
  auto& siblings = parent->subkeys;
  siblings.erase(std::remove_if(siblings.begin(), siblings.end(), [&](const auto& k) { return k.get() == &key; }),
                 siblings.end());
  key.parent = nullptr;
  key.deleted = true;
}

// A tree deleted whole: its subkeys are gone with it.
void MarkSubkeysDeleted(Key& key) {
  for (const auto& sub : key.subkeys) {
    sub->deleted = true;
    MarkSubkeysDeleted(*sub);
  }
}

// Keeps what the program read, with where the (live) key stands: its root and
// its path below it.
void NoteValueRead(const Key& key, const RegistryValue& value) {
  State& s = TheState();
  std::u16string path;
  const Key* top = &key;
  for (; top->parent != nullptr; top = top->parent) {
    path = path.empty() ? top->name : top->name + u"\\" + path;
  }
  const HKEY root = top == s.currentUser.get() ? HKEY_CURRENT_USER : HKEY_LOCAL_MACHINE;
  s.valuesRead.push_back({s.totalCalls, root, std::move(path), value});
}

}  // namespace

// --- Test-facing set-up and inspection -------------------------------------------

void CreateKey(HKEY root, std::u16string_view path) { WalkCreating(RootKey(root), path); }

void SetValue(HKEY root, std::u16string_view path, const RegistryValue& value) {
  StoreValue(*WalkCreating(RootKey(root), path), value);
}

void SetText(HKEY root, std::u16string_view path, std::u16string_view name, std::u16string_view text) {
  SetValue(root, path, {std::u16string(name), REG_SZ, TextBytes(text)});
}

bool KeyExists(HKEY root, std::u16string_view path) { return Walk(RootKey(root), path) != nullptr; }

std::optional<std::vector<RegistryValue>> KeyValues(HKEY root, std::u16string_view path) {
  const auto key = Walk(RootKey(root), path);
  if (!key) {
    return std::nullopt;
  }
  return key->values;
}

void DenyAccess(HKEY root, std::u16string_view path, REGSAM rights) {
  WalkCreating(RootKey(root), path)->denied |= rights;
}

void DeleteKeyTree(HKEY root, std::u16string_view path) {
  const auto key = Walk(RootKey(root), path);
  if (!key || IsRoot(*key)) {
    return;
  }
  Detach(*key);
  MarkSubkeysDeleted(*key);
}

void DeleteValue(HKEY root, std::u16string_view path, std::u16string_view name) {
  if (const auto key = Walk(RootKey(root), path)) {
    std::erase_if(key->values, [&](const RegistryValue& value) { return SameName(value.name, name); });
  }
}

const std::vector<ValueRead>& ValuesRead() { return TheState().valuesRead; }

int OpenKeyCount() { return static_cast<int>(TheState().openKeys.size()); }

std::vector<BYTE> TextBytes(std::u16string_view text, bool withNul) {
  std::vector<BYTE> bytes;
  bytes.reserve((text.size() + 1) * 2);
  for (const char16_t unit : text) {
    bytes.push_back(static_cast<BYTE>(unit & 0xFF));
    bytes.push_back(static_cast<BYTE>(unit >> 8));
  }
  if (withNul) {
    bytes.push_back(0);
    bytes.push_back(0);
  }
  return bytes;
}

}  // namespace win32::fake

// --- The seam's registry operations --------------------------------------------------

namespace win32 {
using namespace fake;

LSTATUS RegOpenKeyExW(HKEY key, const char16_t* subKey, DWORD options, REGSAM desired, PHKEY result) {
  *result = nullptr;
  if (const auto failure = EnterCall(Call::RegOpenKeyExW)) {
    return static_cast<LSTATUS>(*failure);
  }
  OpenKey from;
  if (const LSTATUS status = Reach(key, 0, from); status != ERROR_SUCCESS) {
    return status;
  }
  if (options != 0) {
    return ERROR_INVALID_PARAMETER;
  }
  if (IsMalformedPath(Text(subKey))) {
    return ERROR_BAD_PATHNAME;
  }
  const auto target = Walk(from.key, Text(subKey));
  if (!target) {
    return ERROR_FILE_NOT_FOUND;
  }
  if ((target->denied & desired) != 0) {
    return ERROR_ACCESS_DENIED;
  }
  *result = NewHandle(target, desired);
  return ERROR_SUCCESS;
}

LSTATUS RegQueryInfoKeyW(HKEY key, DWORD* valueCount) {
  if (const auto failure = EnterCall(Call::RegQueryInfoKeyW)) {
    return static_cast<LSTATUS>(*failure);
  }
  OpenKey open;
  if (const LSTATUS status = Reach(key, KEY_QUERY_VALUE, open); status != ERROR_SUCCESS) {
    return status;
  }
  *valueCount = static_cast<DWORD>(open.key->values.size());
  return ERROR_SUCCESS;
}

LSTATUS RegEnumValueW(HKEY key, DWORD index, char16_t* valueName, DWORD* valueNameUnits, BYTE* data,
                      DWORD* dataBytes) {
  if (const auto failure = EnterCall(Call::RegEnumValueW)) {
    return static_cast<LSTATUS>(*failure);
  }
  OpenKey open;
  if (const LSTATUS status = Reach(key, KEY_QUERY_VALUE, open); status != ERROR_SUCCESS) {
    return status;
  }
  const auto& values = open.key->values;
  if (index >= values.size()) {
    return ERROR_NO_MORE_ITEMS;
  }
  const RegistryValue& value = values[index];
  const auto storedBytes = static_cast<DWORD>(value.data.size());
  // The name needs room for its NUL. When it has none, nothing is copied and
  // its size stays as given; the data's size is told either way.
  if (value.name.size() + 1 > *valueNameUnits) {
    if (dataBytes != nullptr) {
      *dataBytes = storedBytes;
    }
    return ERROR_MORE_DATA;
  }
  std::memcpy(valueName, value.name.c_str(), (value.name.size() + 1) * sizeof(char16_t));
  *valueNameUnits = static_cast<DWORD>(value.name.size());
  if (dataBytes == nullptr) {
    NoteValueRead(*open.key, value);
    return ERROR_SUCCESS;
  }
  // The data is copied as stored, or not at all.
  const bool fits = storedBytes <= *dataBytes;
  if (fits && data != nullptr && storedBytes != 0) {
    std::memcpy(data, value.data.data(), storedBytes);
  }
  *dataBytes = storedBytes;
  if (!fits) {
    return ERROR_MORE_DATA;
  }
  NoteValueRead(*open.key, value);
  return ERROR_SUCCESS;
}

LSTATUS RegDeleteKeyW(HKEY key, const char16_t* subKey) {
  if (const auto failure = EnterCall(Call::RegDeleteKeyW)) {
    return static_cast<LSTATUS>(*failure);
  }
  OpenKey from;
  if (const LSTATUS status = Reach(key, 0, from); status != ERROR_SUCCESS) {
    return status;
  }
  if (IsMalformedPath(Text(subKey))) {
    return ERROR_BAD_PATHNAME;
  }
  const auto target = Walk(from.key, Text(subKey));
  if (!target) {
    return ERROR_FILE_NOT_FOUND;
  }
  // A root cannot be deleted, nor a key that still has subkeys.
  if (IsRoot(*target) || !target->subkeys.empty() || (target->denied & DELETE) != 0) {
    return ERROR_ACCESS_DENIED;
  }
  Detach(*target);
  return ERROR_SUCCESS;
}

LSTATUS RegCreateKeyExW(HKEY key, const char16_t* subKey, DWORD options, REGSAM desired, PHKEY result,
                        DWORD* disposition) {
  *result = nullptr;
  if (const auto failure = EnterCall(Call::RegCreateKeyExW)) {
    return static_cast<LSTATUS>(*failure);
  }
  OpenKey from;
  if (const LSTATUS status = Reach(key, 0, from); status != ERROR_SUCCESS) {
    return status;
  }
  if (options != REG_OPTION_NON_VOLATILE) {
    return ERROR_INVALID_PARAMETER;
  }
  if (IsMalformedPath(Text(subKey))) {
    return ERROR_BAD_PATHNAME;
  }
  auto target = Walk(from.key, Text(subKey));
  const bool existed = target != nullptr;
  if (!target) {
    // Creating a subkey is checked against the parent key's own security, not
    // against the rights of the handle it is reached through.
    if ((from.key->denied & KEY_CREATE_SUB_KEY) != 0) {
      return ERROR_ACCESS_DENIED;
    }
    target = WalkCreating(from.key, Text(subKey));
  }
  if ((target->denied & desired) != 0) {
    return ERROR_ACCESS_DENIED;
  }
  *result = NewHandle(target, desired);
  if (disposition != nullptr) {
    *disposition = existed ? REG_OPENED_EXISTING_KEY : REG_CREATED_NEW_KEY;
  }
  return ERROR_SUCCESS;
}

LSTATUS RegSetValueExW(HKEY key, const char16_t* valueName, DWORD type, const BYTE* data, DWORD dataBytes) {
  if (const auto failure = EnterCall(Call::RegSetValueExW)) {
    return static_cast<LSTATUS>(*failure);
  }
  OpenKey open;
  if (const LSTATUS status = Reach(key, KEY_SET_VALUE, open); status != ERROR_SUCCESS) {
    return status;
  }
  const auto name = Text(valueName);
  if (name.size() > kMaxValueNameUnits) {
    return ERROR_INVALID_PARAMETER;
  }
  const DWORD stored = StoredBytes(type, data, dataBytes);
  StoreValue(*open.key, {std::u16string(name), type, std::vector<BYTE>(data, data + stored)});
  return ERROR_SUCCESS;
}

LSTATUS RegCloseKey(HKEY key) {
  if (const auto failure = EnterCall(Call::RegCloseKey)) {
    return static_cast<LSTATUS>(*failure);
  }
  if (RootKey(key)) {
    return ERROR_SUCCESS;
  }
  return TheState().openKeys.erase(reinterpret_cast<std::uintptr_t>(key)) == 1 ? ERROR_SUCCESS
                                                                                : ERROR_INVALID_HANDLE;
}

}  // namespace win32
