// The registry as the tools use it: keys opened, created and deleted by path,
// a key's values read through fixed buffers, REG_SZ values written.
#include "tests/behaviour/behaviour_case.h"
#include "tests/behaviour/declared_differences.h"
#include "tests/behaviour/registry_steps.h"

namespace behaviour {
namespace {

using win32::UniqueHkey;
using Names = std::vector<std::u16string>;

BEHAVIOUR_CASE(Registry, MissingKeyOrParentIsFileNotFound) {
  UniqueHkey key;
  CHECK_EQ(Open(Scratch(u"Missing"), KEY_READ, key), ERROR_FILE_NOT_FOUND);
  CHECK_TRUE(!key);
  CHECK_EQ(Open(Scratch(u"Missing"), KEY_ALL_ACCESS, key), ERROR_FILE_NOT_FOUND);
  CHECK_EQ(Open(Scratch(u"Missing\\Child"), KEY_READ, key), ERROR_FILE_NOT_FOUND);
  UniqueHkey scratch;
  REQUIRE_EQ(Open(kScratchKey, KEY_ALL_ACCESS, scratch), ERROR_SUCCESS);
  CHECK_EQ(win32::RegDeleteKeyW(scratch.get(), u"Missing"), ERROR_FILE_NOT_FOUND);
  CHECK_EQ(win32::RegDeleteKeyW(scratch.get(), u"Missing\\Child"), ERROR_FILE_NOT_FOUND);
}

BEHAVIOUR_CASE(Registry, PathBeginningWithABackslashIsRefused) {
  UniqueHkey key;
  REQUIRE_EQ(Create(Scratch(u"K\\Sub"), key), ERROR_SUCCESS);
  UniqueHkey scratch;
  REQUIRE_EQ(Open(kScratchKey, KEY_ALL_ACCESS, scratch), ERROR_SUCCESS);
  CHECK_EQ(Open(u"\\" + Scratch(u"K"), KEY_READ, key), ERROR_BAD_PATHNAME);
  CHECK_EQ(Create(scratch.get(), u"\\K\\New", key), ERROR_BAD_PATHNAME);
  CHECK_EQ(win32::RegDeleteKeyW(scratch.get(), u"\\K\\Sub"), ERROR_BAD_PATHNAME);
  CHECK_EQ(Open(Scratch(u"K\\New"), KEY_READ, key), ERROR_FILE_NOT_FOUND);
  CHECK_EQ(Open(Scratch(u"K\\Sub"), KEY_READ, key), ERROR_SUCCESS);
}

BEHAVIOUR_CASE(Registry, DoubledAndTrailingBackslashesCountAsOne) {
  UniqueHkey key;
  REQUIRE_EQ(Create(Scratch(u"K\\Sub"), key), ERROR_SUCCESS);
  CHECK_EQ(Open(std::u16string(kScratchKey) + u"\\\\K\\\\Sub", KEY_READ, key), ERROR_SUCCESS);
  CHECK_EQ(Open(Scratch(u"K\\Sub\\\\"), KEY_READ, key), ERROR_SUCCESS);
  DWORD disposition = 0;
  CHECK_EQ(Create(Scratch(u"K\\\\Sub"), key, &disposition), ERROR_SUCCESS);
  CHECK_EQ(disposition, REG_OPENED_EXISTING_KEY);
}

BEHAVIOUR_CASE(Registry, CreateSaysWhetherItMadeTheKeyAndMakesMissingParents) {
  UniqueHkey key;
  DWORD disposition = 0;
  REQUIRE_EQ(Create(Scratch(u"A\\B\\C"), key, &disposition), ERROR_SUCCESS);
  CHECK_EQ(disposition, REG_CREATED_NEW_KEY);
  CHECK_EQ(Open(Scratch(u"A\\B"), KEY_READ, key), ERROR_SUCCESS);
  CHECK_EQ(Create(Scratch(u"a\\b\\c"), key, &disposition), ERROR_SUCCESS);
  CHECK_EQ(disposition, REG_OPENED_EXISTING_KEY);
  UniqueHkey parent;
  REQUIRE_EQ(Open(Scratch(u"A\\B"), KEY_ALL_ACCESS, parent), ERROR_SUCCESS);
  CHECK_EQ(Create(parent.get(), u"C", key, &disposition), ERROR_SUCCESS);
  CHECK_EQ(disposition, REG_OPENED_EXISTING_KEY);
}

BEHAVIOUR_CASE(Registry, KeyWithASubkeyIsNotDeleted) {
  UniqueHkey key;
  REQUIRE_EQ(Create(Scratch(u"K\\Sub"), key), ERROR_SUCCESS);
  REQUIRE_EQ(Open(Scratch(u"K"), KEY_ALL_ACCESS, key), ERROR_SUCCESS);
  CHECK_EQ(win32::RegDeleteKeyW(key.get(), u""), ERROR_ACCESS_DENIED);
  UniqueHkey still;
  CHECK_EQ(Open(Scratch(u"K\\Sub"), KEY_READ, still), ERROR_SUCCESS);
  CHECK_EQ(win32::RegDeleteKeyW(key.get(), u"Sub"), ERROR_SUCCESS);
  CHECK_EQ(win32::RegDeleteKeyW(key.get(), u""), ERROR_SUCCESS);
  CHECK_EQ(Open(Scratch(u"K"), KEY_READ, still), ERROR_FILE_NOT_FOUND);
}

// A key deleted through one handle, as another program deletes it: the other
// handle still names the deleted key, and the path a new one.
BEHAVIOUR_CASE(Registry, HandleOfADeletedKeyAnswersKeyDeleted) {
  UniqueHkey deleter;
  REQUIRE_EQ(Create(Scratch(u"K"), deleter), ERROR_SUCCESS);
  REQUIRE_EQ(SetText(deleter.get(), u"Backup", u"{}"), ERROR_SUCCESS);
  UniqueHkey held;
  REQUIRE_EQ(Open(Scratch(u"K"), KEY_ALL_ACCESS, held), ERROR_SUCCESS);
  REQUIRE_EQ(win32::RegDeleteKeyW(deleter.get(), u""), ERROR_SUCCESS);

  CheckEveryCallAnswersKeyDeleted(held.get(), u"Sub");
  CHECK_EQ(win32::RegDeleteKeyW(held.get(), u""), ERROR_KEY_DELETED);

  UniqueHkey again;
  CHECK_EQ(Open(Scratch(u"K"), KEY_READ, again), ERROR_FILE_NOT_FOUND);
  DWORD disposition = 0;
  REQUIRE_EQ(Create(Scratch(u"K"), again, &disposition), ERROR_SUCCESS);
  CHECK_EQ(disposition, REG_CREATED_NEW_KEY);
  CHECK_EQ(ValueCount(again.get()), 0);
}

BEHAVIOUR_CASE(Registry, ValuesComeInTheOrderTheyWereFirstWritten) {
  UniqueHkey key;
  REQUIRE_EQ(Create(Scratch(u"K"), key), ERROR_SUCCESS);
  for (const char16_t* name : {u"Zeta", u"alpha", u"Backup", u"Middle"}) {
    REQUIRE_EQ(SetText(key.get(), name, u"x"), ERROR_SUCCESS);
  }
  CHECK_EQ(ValueNames(key.get()), WindowsOrWine(kValueOrder, Names{u"Zeta", u"alpha", u"Backup", u"Middle"},
                                                Names{u"alpha", u"Backup", u"Middle", u"Zeta"}));
}

// Names compare without regard to letter case: a value written again under
// another case is the same value, and keeps its first name and its place.
BEHAVIOUR_CASE(Registry, ValueWrittenAgainKeepsItsNameAndPlace) {
  UniqueHkey key;
  REQUIRE_EQ(Create(Scratch(u"K"), key), ERROR_SUCCESS);
  REQUIRE_EQ(SetText(key.get(), u"First", u"1"), ERROR_SUCCESS);
  REQUIRE_EQ(SetText(key.get(), u"Second", u"2"), ERROR_SUCCESS);
  REQUIRE_EQ(SetText(key.get(), u"FIRST", u"three"), ERROR_SUCCESS);
  CHECK_EQ(ValueNames(key.get()), (Names{u"First", u"Second"}));
  const Enumerated first = Enumerate(key.get(), 0);
  CHECK_EQ(first.data, Bytes(std::u16string(u"three\0", 6)));
}

// A REG_SZ whose size leaves out its NUL is stored with the NUL when it
// follows in the caller's buffer; other types and other texts as given.
BEHAVIOUR_CASE(Registry, TextWithoutItsNulGetsItWhenTheNulFollows) {
  struct Row {
    const char* name;
    DWORD type;
    std::u16string buffer;
    std::size_t bytes;
    std::vector<BYTE> stored;
  };
  const Row rows[] = {
      {"REG_SZ, NUL after the size", REG_SZ, u"abc", 6, Bytes(std::u16string(u"abc\0", 4))},
      {"REG_EXPAND_SZ, NUL after the size", REG_EXPAND_SZ, u"abc", 6, Bytes(std::u16string(u"abc\0", 4))},
      {"REG_SZ, text after the size", REG_SZ, u"abcd", 6, Bytes(u"abc")},
      {"REG_SZ, NUL counted", REG_SZ, u"abc", 8, Bytes(std::u16string(u"abc\0", 4))},
      {"REG_SZ, empty", REG_SZ, u"", 0, {}},
      {"REG_SZ, only the NUL", REG_SZ, u"", 2, {0, 0}},
      {"REG_BINARY, NUL after the size", REG_BINARY, u"abc", 6, Bytes(u"abc")},
  };
  for (const Row& row : rows) {
    const Note note(row.name);
    UniqueHkey key;
    REQUIRE_EQ(Create(Scratch(Ascii(row.name)), key), ERROR_SUCCESS);
    REQUIRE_EQ(SetValue(key.get(), u"v", row.type, row.buffer, row.bytes), ERROR_SUCCESS);
    const Enumerated e = Enumerate(key.get(), 0);
    CHECK_EQ(e.status, ERROR_SUCCESS);
    CHECK_EQ(e.dataBytes, row.stored.size());
    CHECK_EQ(e.data, row.stored);
  }
}

// The tools' name buffer holds 255 units: a name needs one more for its NUL.
// Too small a buffer copies nothing and leaves the name size as given, and
// tells the data's size; too small a data buffer still gives the name.
BEHAVIOUR_CASE(Registry, EnumerationBuffersTooSmallAreMoreData) {
  struct Row {
    std::size_t nameUnits;
    LSTATUS status;
  };
  for (const Row row : {Row{254, ERROR_SUCCESS}, Row{255, ERROR_MORE_DATA}, Row{256, ERROR_MORE_DATA}}) {
    const Note note(std::to_string(row.nameUnits) + " units");
    UniqueHkey key;
    REQUIRE_EQ(Create(Scratch(u"K" + std::u16string(1, static_cast<char16_t>(u'0' + row.nameUnits % 10))), key),
               ERROR_SUCCESS);
    const std::u16string name(row.nameUnits, u'n');
    REQUIRE_EQ(SetText(key.get(), name, u"x"), ERROR_SUCCESS);
    const Enumerated e = Enumerate(key.get(), 0, 255, 65536);
    CHECK_EQ(e.status, row.status);
    CHECK_EQ(e.dataBytes, 4);
    if (row.status == ERROR_SUCCESS) {
      CHECK_EQ(e.nameUnits, row.nameUnits);
      CHECK_EQ(e.name, name);
    } else {
      CHECK_EQ(e.nameUnits, 255);
      CHECK_TRUE(!e.nameWritten);
      CHECK_TRUE(!e.dataWritten);
    }
  }

  UniqueHkey key;
  REQUIRE_EQ(Create(Scratch(u"Data"), key), ERROR_SUCCESS);
  REQUIRE_EQ(SetText(key.get(), u"v", u"abc"), ERROR_SUCCESS);
  const Enumerated small = Enumerate(key.get(), 0, 255, 4);
  CHECK_EQ(small.status, ERROR_MORE_DATA);
  CHECK_EQ(small.nameUnits, 1);
  CHECK_EQ(small.dataBytes, 8);
  CHECK_TRUE(!small.dataWritten);
  CHECK_EQ(Enumerate(key.get(), 1).status, ERROR_NO_MORE_ITEMS);
}

BEHAVIOUR_CASE(Registry, ValueNameOfAtMost16383Units) {
  UniqueHkey key;
  REQUIRE_EQ(Create(Scratch(u"K"), key), ERROR_SUCCESS);
  const std::u16string longest(16383, u'v');
  CHECK_EQ(SetText(key.get(), longest, u"x"), ERROR_SUCCESS);
  const Enumerated e = Enumerate(key.get(), 0, 16384);
  CHECK_EQ(e.status, ERROR_SUCCESS);
  CHECK_TRUE(e.name == longest);
  CHECK_EQ(SetText(key.get(), std::u16string(16384, u'w'), u"x"), ERROR_INVALID_PARAMETER);
  CHECK_EQ(ValueCount(key.get()), 1);
}

// Windows upcases each UTF-16 unit through its table before comparing names:
// Greek and Cyrillic fold as Latin does, a letter outside the Basic
// Multilingual Plane (a surrogate pair) does not, nor does a letter whose
// upper case lowers to another one.
BEHAVIOUR_CASE(Registry, NamesFoldLetterCaseUnitByUnit) {
  struct Row {
    const char* name;
    std::u16string first;
    std::u16string second;
    bool same;
  };
  const Row rows[] = {
      {"Latin-1", u"\u00C9t\u00E9", u"\u00E9T\u00C9", true},
      {"y with diaeresis", u"\u00FF", u"\u0178", true},
      {"Greek", u"\u0391\u039B\u03A6\u0391", u"\u03B1\u03BB\u03C6\u03B1", true},
      {"Cyrillic", u"\u0414\u0410\u041D\u041D\u042B\u0415", u"\u0434\u0430\u043D\u043D\u044B\u0435", true},
      {"Deseret, outside the BMP", u"\U00010400", u"\U00010428", false},
      {"final sigma", u"\u03A3", u"\u03C2", false},
      {"dotless i", u"I", u"\u0131", false},
      {"long s", u"S", u"\u017F", false},
  };
  for (const Row& row : rows) {
    const Note note(row.name);
    UniqueHkey values;
    REQUIRE_EQ(Create(Scratch(u"Values"), values), ERROR_SUCCESS);
    REQUIRE_EQ(SetText(values.get(), row.first, u"1"), ERROR_SUCCESS);
    REQUIRE_EQ(SetText(values.get(), row.second, u"2"), ERROR_SUCCESS);
    CHECK_EQ(ValueNames(values.get()).size(), row.same ? 1 : 2);
    REQUIRE_EQ(win32::RegDeleteKeyW(values.get(), u""), ERROR_SUCCESS);

    UniqueHkey key;
    REQUIRE_EQ(Create(Scratch(row.first), key), ERROR_SUCCESS);
    CHECK_EQ(Open(Scratch(row.second), KEY_READ, key), row.same ? ERROR_SUCCESS : ERROR_FILE_NOT_FOUND);
  }
}

// The rights of a handle are checked, except for creating a subkey, which
// Windows checks against the key's own security only.
BEHAVIOUR_CASE(Registry, HandleRightsAreChecked) {
  UniqueHkey key;
  REQUIRE_EQ(Create(Scratch(u"K"), key), ERROR_SUCCESS);
  UniqueHkey reader;
  REQUIRE_EQ(Open(Scratch(u"K"), KEY_READ, reader), ERROR_SUCCESS);
  CHECK_EQ(SetText(reader.get(), u"v", u"x"), ERROR_ACCESS_DENIED);
  CHECK_EQ(ValueCount(reader.get()), 0);
  UniqueHkey sub;
  DWORD disposition = 0;
  CHECK_EQ(Create(reader.get(), u"Sub", sub, &disposition), ERROR_SUCCESS);
  CHECK_EQ(disposition, REG_CREATED_NEW_KEY);
}

// An administrator withdraws one right from a key, for every user. The
// tools open keys for KEY_READ and KEY_ALL_ACCESS, delete them and create
// them below the tree key.
BEHAVIOUR_CASE(Registry, RightWithdrawnFromAKeyIsRefused) {
  const auto refused = [](bool onWineToo) {
    return onWineToo ? ERROR_ACCESS_DENIED : WindowsOrWine<long>(kKeySecurity, ERROR_ACCESS_DENIED, ERROR_SUCCESS);
  };
  struct Row {
    const char* name;
    REGSAM withdrawn;
  };
  for (const Row row : {Row{"DELETE", DELETE}, Row{"KEY_CREATE_SUB_KEY", KEY_CREATE_SUB_KEY},
                        Row{"KEY_SET_VALUE", KEY_SET_VALUE}, Row{"KEY_QUERY_VALUE", KEY_QUERY_VALUE}}) {
    const Note note(row.name);
    const std::u16string path = Scratch(Ascii(row.name));
    UniqueHkey key;
    REQUIRE_EQ(Create(path, key), ERROR_SUCCESS);
    key.reset();
    other_program::WithdrawRights(path, row.withdrawn);
    CHECK_EQ(Open(path, KEY_ALL_ACCESS, key), ERROR_ACCESS_DENIED);
    CHECK_EQ(Open(path, row.withdrawn, key), refused(row.withdrawn != DELETE));
    CHECK_EQ(Open(path, KEY_READ, key), row.withdrawn == KEY_QUERY_VALUE ? ERROR_ACCESS_DENIED : ERROR_SUCCESS);
    if (row.withdrawn == KEY_CREATE_SUB_KEY) {
      UniqueHkey sub;
      CHECK_EQ(Create(key.get(), u"Sub", sub), refused(false));
    }
    if (row.withdrawn == DELETE) {
      UniqueHkey scratch;
      REQUIRE_EQ(Open(kScratchKey, KEY_ALL_ACCESS, scratch), ERROR_SUCCESS);
      CHECK_EQ(win32::RegDeleteKeyW(scratch.get(), Ascii(row.name).c_str()), refused(false));
    }
  }
}

BEHAVIOUR_CASE(Registry, CountAndTheEndOfTheValues) {
  UniqueHkey key;
  REQUIRE_EQ(Create(Scratch(u"K"), key), ERROR_SUCCESS);
  CHECK_EQ(ValueCount(key.get()), 0);
  CHECK_EQ(Enumerate(key.get(), 0).status, ERROR_NO_MORE_ITEMS);
  REQUIRE_EQ(SetText(key.get(), u"", u"unnamed"), ERROR_SUCCESS);
  REQUIRE_EQ(SetText(key.get(), u"v", u""), ERROR_SUCCESS);
  CHECK_EQ(ValueCount(key.get()), 2);
  CHECK_EQ(ValueNames(key.get()), (Names{u"", u"v"}));
  CHECK_EQ(Enumerate(key.get(), 2).status, ERROR_NO_MORE_ITEMS);
}

}  // namespace
}  // namespace behaviour
