// The fuzz target's check holds for the seed corpus, and catches a restore
// that breaks each of its invariants (planted variants of RestoreDsn, and a
// planted fault under the real one).
#include "fuzz/restore_dsn_oracle.h"

#include <gtest/gtest.h>

#include <filesystem>
#include <fstream>
#include <iterator>
#include <vector>

#include "win32/api.h"

namespace {

using restore_dsn_oracle::BrokenInvariant;
using restore_dsn_oracle::Restore;

const std::u16string kValid = u"{\"Server\":\"db1\",\"Port\":\"5432\"}";

TEST(RestoreDsnOracle, HoldsForTheSeedCorpus) {
  int seeds = 0;
  for (const auto& entry : std::filesystem::directory_iterator(RESTORE_DSN_SEEDS)) {
    std::ifstream file(entry.path(), std::ios::binary);
    const std::vector<unsigned char> bytes((std::istreambuf_iterator<char>(file)), std::istreambuf_iterator<char>());
    const char* broken = BrokenInvariant(restore_dsn_oracle::BackupFromBytes(bytes.data(), bytes.size()));
    EXPECT_EQ(broken, nullptr) << entry.path().filename() << ": " << broken;
    ++seeds;
  }
  EXPECT_GE(seeds, 10);
}

// Restores gone wrong, one invariant each.
bool StrayValueThenFails(HKEY root, std::u16string, std::u16string, std::u16string) {
  win32::fake::SetText(root, restore_dsn_oracle::kKey, u"Stray", u"1");
  return false;
}
bool TwoBoxesForOneFailure(HKEY, std::u16string, std::u16string, std::u16string) {
  win32::MessageBoxW(u"first", u"Cannot restore DSN Sales", MB_OK);
  win32::MessageBoxW(u"again", u"Cannot restore DSN Sales", MB_OK);
  return false;
}
bool KeyLeftOpen(HKEY root, std::u16string, std::u16string, std::u16string) {
  HKEY key = nullptr;
  win32::RegOpenKeyExW(root, restore_dsn_oracle::kKey.c_str(), 0, KEY_READ, &key);
  return false;
}
bool SystemTextLeft(HKEY, std::u16string, std::u16string, std::u16string) {
  char16_t* text = nullptr;
  win32::FormatMessageW(FORMAT_MESSAGE_ALLOCATE_BUFFER | FORMAT_MESSAGE_FROM_SYSTEM, 5, 0, &text);
  return false;
}
bool SuccessWithoutWriting(HKEY, std::u16string, std::u16string, std::u16string) { return true; }
bool SuccessWithABox(HKEY root, std::u16string name, std::u16string tree, std::u16string backup) {
  const bool restored = dsn_restore::RestoreDsn(root, std::move(name), std::move(tree), std::move(backup));
  win32::MessageBoxW(u"done", u"Restored", MB_OK);
  return restored;
}
void CreateFailsAfterTheDelete() { win32::fake::FailCall(win32::fake::Call::RegCreateKeyExW, ERROR_ACCESS_DENIED); }

struct PlantedCase {
  const char* name;
  Restore restore;
  void (*plant)();
  std::u16string backup;
  std::string invariant;
};

TEST(RestoreDsnOracle, CatchesARestoreThatBreaksEachInvariant) {
  const PlantedCase cases[] = {
      {"create failing after the delete", dsn_restore::RestoreDsn, CreateFailsAfterTheDelete, kValid,
       "a failed restore leaves the key exactly as it was"},
      {"stray value before failing", StrayValueThenFails, nullptr, u"not json",
       "a failed restore leaves the key exactly as it was"},
      {"two boxes for one failure", TwoBoxesForOneFailure, nullptr, u"not json",
       "a failed restore shows its failure in one box at most"},
      {"key left open", KeyLeftOpen, nullptr, kValid, "no registry key left open"},
      {"system text left", SystemTextLeft, nullptr, kValid, "no system text left allocated"},
      {"success without writing", SuccessWithoutWriting, nullptr, kValid,
       "a restored key holds exactly its members"},
      {"success with a box", SuccessWithABox, nullptr, kValid, "a restore that worked shows nothing"},
  };
  for (const PlantedCase& c : cases) {
    const char* broken = BrokenInvariant(c.backup, c.restore, c.plant);
    EXPECT_EQ(broken == nullptr ? std::string("none") : std::string(broken), c.invariant) << c.name;
  }
  // What the planted variants leave behind goes with the next reset.
  win32::fake::Reset();
}

}  // namespace
