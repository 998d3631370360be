#pragma once
// A behaviour case: a short sequence of seam calls (win32/api.h) and the
// answers a real Win32 gives them. The same cases run on the model (the Linux
// build) and on the real calls (the Windows builds, under Wine here); each
// starts in an empty scratch key and folder of its own (platform.h).
//
// CHECK_EQ records a failure and goes on; REQUIRE_EQ also ends the case.
// A Note names the row of a table of cases in the failures it sees.
#include <cstdint>
#include <optional>
#include <string>
#include <string_view>
#include <type_traits>
#include <utility>
#include <vector>

#include "win32/platform_types.h"

namespace behaviour {

using CaseBody = void (*)();

// Adds a case to the suite; true, for a static initializer to hold.
bool Register(const char* group, const char* name, CaseBody body);

#define BEHAVIOUR_CASE(group, name)                                \
  static void group##_##name();                                    \
  [[maybe_unused]] static const bool group##_##name##_registered = \
      ::behaviour::Register(#group, #name, &group##_##name);       \
  static void group##_##name()

// ASCII text as UTF-16, for names made from a table's row names.
inline std::u16string Ascii(std::string_view text) { return std::u16string(text.begin(), text.end()); }

// --- How values appear in a failure -------------------------------------------
std::string DescribeText(std::u16string_view text);               // u"..." with \uXXXX escapes
std::string DescribeBytes(const void* bytes, std::size_t count);  // {0x41, 0x00, ...}

template <typename T>
std::string Describe(const T& value) {
  if constexpr (std::is_same_v<T, bool>) {
    return value ? "true" : "false";
  } else if constexpr (std::is_same_v<T, char16_t>) {
    return DescribeText(std::u16string_view(&value, 1));
  } else if constexpr (std::is_enum_v<T>) {
    return std::to_string(static_cast<long long>(value));
  } else if constexpr (std::is_integral_v<T> && std::is_signed_v<T>) {
    return std::to_string(static_cast<long long>(value));
  } else if constexpr (std::is_integral_v<T>) {
    return std::to_string(static_cast<unsigned long long>(value));
  } else if constexpr (std::is_convertible_v<T, std::u16string_view>) {
    return DescribeText(value);
  } else if constexpr (std::is_same_v<T, std::string>) {
    return DescribeBytes(value.data(), value.size());
  } else if constexpr (std::is_same_v<T, std::vector<BYTE>>) {
    return DescribeBytes(value.data(), value.size());
  } else if constexpr (requires { value.has_value(); }) {
    return value ? Describe(*value) : std::string("nothing");
  } else {
    std::string out = "{";
    for (const auto& item : value) {
      out += (out.size() > 1 ? ", " : "") + Describe(item);
    }
    return out + "}";
  }
}

// --- Checks --------------------------------------------------------------------
void Fail(const char* file, int line, const std::string& what);

template <typename A, typename E>
bool Same(const A& actual, const E& expected) {
  if constexpr (std::is_integral_v<A> && std::is_integral_v<E>) {
    // Codes come as LSTATUS, DWORD or int: compare the numbers.
    return static_cast<long long>(actual) == static_cast<long long>(expected);
  } else {
    return actual == expected;
  }
}

template <typename A, typename E>
bool CheckEqual(const A& actual, const E& expected, const char* expression, const char* file, int line) {
  if (Same(actual, expected)) {
    return true;
  }
  Fail(file, line, std::string(expression) + "\n      is: " + Describe(actual) + "\n  expected: " + Describe(expected));
  return false;
}

#define CHECK_EQ(actual, expected) ::behaviour::CheckEqual((actual), (expected), #actual, __FILE__, __LINE__)
#define REQUIRE_EQ(actual, expected)                                                   \
  do {                                                                                 \
    if (!::behaviour::CheckEqual((actual), (expected), #actual, __FILE__, __LINE__)) { \
      return;                                                                          \
    }                                                                                  \
  } while (false)
#define CHECK_TRUE(condition) \
  ::behaviour::CheckEqual(static_cast<bool>(condition), true, #condition, __FILE__, __LINE__)
#define REQUIRE_TRUE(condition)                                                                         \
  do {                                                                                                  \
    if (!::behaviour::CheckEqual(static_cast<bool>(condition), true, #condition, __FILE__, __LINE__)) { \
      return;                                                                                           \
    }                                                                                                   \
  } while (false)

// Ends a case that has nothing to check on this platform, saying why.
void NotHere(const char* why);

// Names the row of a table in every failure met while it lives.
class Note {
 public:
  explicit Note(std::string text);
  Note(const Note&) = delete;
  Note& operator=(const Note&) = delete;
  ~Note();
};

}  // namespace behaviour
