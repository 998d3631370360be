#pragma once
// A test that runs on a clean fake platform and ends with every key and file
// closed and every system text freed, whatever path the code under test took.
#include <gtest/gtest.h>

#include <cstdio>
#include <ostream>
#include <string>
#include <string_view>

#include "win32/fake/fake_win32.h"

namespace win32::fake {

inline std::string Utf8ForPrinting(std::u16string_view text) {
  std::string out;
  for (const char16_t unit : text) {
    if (unit < 0x80) {
      out.push_back(static_cast<char>(unit));
    } else {
      char escape[12];
      std::snprintf(escape, sizeof escape, "\\u%04X", static_cast<unsigned>(unit));
      out += escape;
    }
  }
  return out;
}

inline void PrintTo(const ShownBox& box, std::ostream* os) {
  *os << "{caption \"" << Utf8ForPrinting(box.caption) << "\", text \"" << Utf8ForPrinting(box.text)
      << "\", type " << box.type << "}";
}

inline void PrintTo(const RegistryValue& value, std::ostream* os) {
  *os << "{\"" << Utf8ForPrinting(value.name) << "\", type " << value.type << ", " << value.data.size()
      << " bytes}";
}

}  // namespace win32::fake

// Text predicates for EXPECT_PRED2: gMock's string matchers know no char16_t.
inline bool StartsWith(const std::u16string& text, const std::u16string& prefix) { return text.starts_with(prefix); }
inline bool EndsWith(const std::u16string& text, const std::u16string& suffix) { return text.ends_with(suffix); }
inline bool HasSubstr(const std::u16string& text, const std::u16string& part) {
  return text.find(part) != std::u16string::npos;
}

class FakePlatformTest : public ::testing::Test {
 protected:
  void SetUp() override { win32::fake::Reset(); }
  void TearDown() override {
    EXPECT_EQ(win32::fake::OpenKeyCount(), 0) << "a registry key was left open";
    EXPECT_EQ(win32::fake::OpenFileCount(), 0) << "a file handle was left open";
    EXPECT_EQ(win32::fake::LocalAllocationCount(), 0) << "a system text was not freed";
  }
};
