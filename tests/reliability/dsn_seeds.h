#pragma once
// The representative runs of dsn-restore that the sweeps repeat: DSNs in both
// trees with good and bad backups, each backup and member name its own.
#include <optional>
#include <string>
#include <utility>
#include <vector>

#include "support/odbc_fixture.h"

namespace dsn_seeds {

using Settings = std::vector<std::pair<std::u16string, std::u16string>>;

struct SeededDsn {
  HKEY root;
  std::u16string name;
  std::u16string driver;
  std::optional<std::u16string> backup;
  Settings values;
  bool hasSubkey = false;
};

inline std::vector<win32::fake::RegistryValue> AsValues(const Settings& values) {
  std::vector<win32::fake::RegistryValue> out;
  for (const auto& [name, text] : values) {
    out.push_back(odbc_fixture::Sz(name, text));
  }
  return out;
}

// A DSN the restore rebuilds: of the driver, with a backup.
inline bool BackedUp(const SeededDsn& dsn) { return dsn.backup && dsn.driver == odbc_fixture::kDriver; }

// The registry the run starts from: the machine tree, and each DSN listed with
// its key, its settings, its backup, and a subkey where it has one.
inline void Arrange(const std::vector<SeededDsn>& dsns) {
  using namespace odbc_fixture;
  win32::fake::CreateKey(HKEY_LOCAL_MACHINE, kTree);
  for (const SeededDsn& dsn : dsns) {
    AddDsn(dsn.root, dsn.name, dsn.driver);
    win32::fake::CreateKey(dsn.root, DsnKey(dsn.name));
    for (const auto& [name, text] : dsn.values) {
      win32::fake::SetText(dsn.root, DsnKey(dsn.name), name, text);
    }
    if (dsn.backup) {
      win32::fake::SetText(dsn.root, DsnKey(dsn.name), u"Backup", *dsn.backup);
    }
    if (dsn.hasSubkey) {
      win32::fake::CreateKey(dsn.root, DsnKey(dsn.name) + u"\\Options");
    }
  }
}

// Several DSNs in both trees, with good and bad backups. Alpha's repeats a
// name in another letter case and sets the default value.
inline std::vector<SeededDsn> SeveralInBothTrees() {
  using odbc_fixture::kDriver;
  return {
      {HKEY_CURRENT_USER, u"Alpha", kDriver,
       u"{\"AlphaServer\":\"db1\",\"AlphaPort\":\"5432\",\"\":\"default\",\"alphaport\":\"6543\"}",
       {{u"AlphaServer", u"old"}, {u"Stale", u"x"}}},
      {HKEY_CURRENT_USER, u"Broken", kDriver, u"{\"BrokenServer\":", {{u"BrokenServer", u"old"}}},
      {HKEY_CURRENT_USER, u"Typed", kDriver, u"{\"TypedServer\":\"db\",\"TypedPort\":1}", {}},
      {HKEY_CURRENT_USER, u"Foreign", u"SQL Server", u"{\"ForeignServer\":\"db9\"}", {{u"ForeignServer", u"x"}}},
      {HKEY_CURRENT_USER, u"Plain", kDriver, std::nullopt, {{u"Server", u"plain"}}},
      {HKEY_LOCAL_MACHINE, u"Gamma", kDriver, u"{\"GammaServer\":\"caf\u00e9 \U0001F600\",\"GammaPort\":\"7\"}",
       {{u"Old", u"1"}}},
      {HKEY_LOCAL_MACHINE, u"Nested", kDriver, u"{\"NestedServer\":\"db3\"}", {{u"NestedServer", u"old"}}, true},
  };
}

// One DSN with many members, and no per-user tree.
inline std::vector<SeededDsn> OneWithManyMembers() {
  std::u16string many = u"{";
  for (int i = 0; i < 12; ++i) {
    many += (i ? u"," : u"") + std::u16string(u"\"Setting") + odbc_fixture::DecimalFor(i) + u"\":\"value " +
            odbc_fixture::DecimalFor(i) + u"\"";
  }
  return {{HKEY_LOCAL_MACHINE, u"Wide", odbc_fixture::kDriver, many + u"}", {{u"Old", u"1"}}}};
}

}  // namespace dsn_seeds
