// Times the per-tree restore pass on HKEY_CURRENT_USER seeded with N DSNs of
// the driver; on the same data, the same registry calls alone (the minimal
// pass, the limit of this design); and `reg import` of a .reg file that sets
// the same final keys and values.
//
//   restore-benchmark.exe N REPEATS REG_FILE
//
// Prints one line per timed run: "restore N <ms>", "minimal N <ms>" or
// "import N <ms>", then where one more restore spends its time:
// "phase list|read|rewrite N <ms>". A failure is one line on standard error.
#include <windows.h>

#include <cstdio>
#include <string>
#include <vector>

#include "benchmarks/minimal_restore_pass.h"
#include "benchmarks/sample_dsn.h"
#include "dsn_restore/odbc_names.h"
#include "dsn_restore/registry_reading.h"
#include "dsn_restore/restore_dsn.h"
#include "dsn_restore/restore_run.h"

namespace {

using namespace benchmarks;

const wchar_t* W(const std::u16string& text) { return reinterpret_cast<const wchar_t*>(text.c_str()); }

const std::u16string kTree(dsn_restore::kOdbcTreePath);

void SetText(HKEY key, const std::u16string& name, const std::u16string& text) {
  RegSetValueExW(key, W(name), 0, REG_SZ, reinterpret_cast<const BYTE*>(text.c_str()),
                 static_cast<DWORD>((text.size() + 1) * 2));
}

HKEY Create(const std::u16string& path) {
  HKEY key = nullptr;
  RegCreateKeyExW(HKEY_CURRENT_USER, W(path), 0, nullptr, 0, KEY_ALL_ACCESS, nullptr, &key, nullptr);
  return key;
}

void Clear() { RegDeleteTreeW(HKEY_CURRENT_USER, L"SOFTWARE\\ODBC"); }

// The DSNs as they stand before a restore: a listing entry, an old setting
// and the backup.
void Seed(int count) {
  HKEY sources = Create(kTree + u"\\ODBC Data Sources");
  for (int n = 0; n < count; ++n) {
    SetText(sources, DsnName(n), std::u16string(dsn_restore::kDriverName));
    HKEY dsn = Create(kTree + u"\\" + DsnName(n));
    SetText(dsn, u"Server", u"stale.example.com");
    SetText(dsn, u"Backup", BackupDocument(n));
    RegCloseKey(dsn);
  }
  RegCloseKey(sources);
}

std::u16string RegString(const std::u16string& text) {
  std::u16string out = u"\"";
  for (const char16_t c : text) {
    if (c == u'\\' || c == u'"') {
      out += u'\\';
    }
    out += c;
  }
  return out + u"\"";
}

// The same final keys and values, for reg import.
void WriteRegFile(const std::wstring& path, int count) {
  const std::u16string root = u"HKEY_CURRENT_USER\\" + kTree;
  std::u16string text = u"\xFEFFWindows Registry Editor Version 5.00\r\n\r\n[" + root + u"\\ODBC Data Sources]\r\n";
  for (int n = 0; n < count; ++n) {
    text += RegString(DsnName(n)) + u"=" + RegString(std::u16string(dsn_restore::kDriverName)) + u"\r\n";
  }
  for (int n = 0; n < count; ++n) {
    text += u"\r\n[" + root + u"\\" + DsnName(n) + u"]\r\n";
    for (const auto& [name, value] : DsnSettings(n)) {
      text += RegString(name) + u"=" + RegString(value) + u"\r\n";
    }
  }
  if (FILE* out = _wfopen(path.c_str(), L"wb")) {
    fwrite(text.data(), sizeof(char16_t), text.size(), out);
    fclose(out);
  }
}

double Milliseconds(LARGE_INTEGER from, LARGE_INTEGER to) {
  LARGE_INTEGER frequency;
  QueryPerformanceFrequency(&frequency);
  return 1000.0 * static_cast<double>(to.QuadPart - from.QuadPart) / static_cast<double>(frequency.QuadPart);
}

double TimeImport(const std::wstring& regFile) {
  std::wstring command = L"reg.exe import \"" + regFile + L"\"";
  STARTUPINFOW startup{};
  startup.cb = sizeof startup;
  PROCESS_INFORMATION process{};
  LARGE_INTEGER start, end;
  QueryPerformanceCounter(&start);
  if (!CreateProcessW(nullptr, command.data(), nullptr, nullptr, FALSE, CREATE_NO_WINDOW, nullptr, nullptr, &startup,
                      &process)) {
    return -1;
  }
  WaitForSingleObject(process.hProcess, INFINITE);
  QueryPerformanceCounter(&end);
  CloseHandle(process.hThread);
  CloseHandle(process.hProcess);
  return Milliseconds(start, end);
}

// The pass's three parts, timed apart: listing the DSNs, reading their
// backups, rewriting their keys.
void TimePhases(int count) {
  Clear();
  Seed(count);
  LARGE_INTEGER start, listed, read, rewritten;
  QueryPerformanceCounter(&start);
  const dsn_restore::DsnNameList names =
      dsn_restore::ListDriverDsns(HKEY_CURRENT_USER, kTree + u"\\ODBC Data Sources");
  QueryPerformanceCounter(&listed);
  std::vector<std::u16string> backups;
  for (const auto& name : names) {
    backups.push_back(dsn_restore::ReadDsnBackup(HKEY_CURRENT_USER, kTree + u"\\" + name));
  }
  QueryPerformanceCounter(&read);
  for (std::size_t i = 0; i < names.size(); ++i) {
    dsn_restore::RestoreDsn(HKEY_CURRENT_USER, names[i], kTree, backups[i]);
  }
  QueryPerformanceCounter(&rewritten);
  printf("phase list %d %.3f\nphase read %d %.3f\nphase rewrite %d %.3f\n", count, Milliseconds(start, listed), count,
         Milliseconds(listed, read), count, Milliseconds(read, rewritten));
}

}  // namespace

int wmain(int argc, wchar_t** argv) {
  if (argc != 4) {
    fputs("usage: restore-benchmark.exe N REPEATS REG_FILE\n", stderr);
    return 2;
  }
  const int count = _wtoi(argv[1]);
  const int repeats = _wtoi(argv[2]);
  const std::wstring regFile = argv[3];
  WriteRegFile(regFile, count);
  const MinimalPassInput minimalInput = MakeMinimalPassInput(count);
  for (int r = 0; r < repeats; ++r) {
    Clear();
    Seed(count);
    LARGE_INTEGER start, end;
    QueryPerformanceCounter(&start);
    const int restored = dsn_restore::RestoreHive(HKEY_CURRENT_USER, kTree);
    QueryPerformanceCounter(&end);
    if (restored != count) {
      fprintf(stderr, "restored %d of %d DSNs\n", restored, count);
      return 1;
    }
    printf("restore %d %.3f\n", count, Milliseconds(start, end));

    Clear();
    Seed(count);
    QueryPerformanceCounter(&start);
    const int made = MinimalRestorePass(HKEY_CURRENT_USER, minimalInput);
    QueryPerformanceCounter(&end);
    if (made != count) {
      fprintf(stderr, "the minimal pass made %d of %d DSN keys\n", made, count);
      return 1;
    }
    printf("minimal %d %.3f\n", count, Milliseconds(start, end));

    Clear();
    const double import = TimeImport(regFile);
    HKEY check = nullptr;
    const std::u16string last = kTree + u"\\" + DsnName(count - 1);
    if (import < 0 || RegOpenKeyExW(HKEY_CURRENT_USER, W(last), 0, KEY_READ, &check) != ERROR_SUCCESS) {
      fputs("reg import did not set the keys\n", stderr);
      return 1;
    }
    RegCloseKey(check);
    printf("import %d %.3f\n", count, import);
    fflush(stdout);
  }
  TimePhases(count);
  Clear();
  return 0;
}
