#pragma once
// UTF-16 (the registry's text) to UTF-8 (the JSON reader's text) and back.
#include <cstddef>
#include <optional>
#include <string>
#include <string_view>

namespace dsn_restore {

struct Utf8Text {
  std::string bytes;
  // Set when the UTF-16 text holds a surrogate without its pair: the byte
  // offset in `bytes` where the conversion stopped.
  std::optional<std::size_t> unpairedSurrogateAt;
};

// UTF-16 to UTF-8, every code point, characters beyond the Basic Multilingual
// Plane included. Stops at an unpaired surrogate.
Utf8Text NarrowText(std::u16string_view text);

// UTF-8 up to its first zero byte, to UTF-16. A malformed sequence (which the
// JSON reader never hands out) becomes U+FFFD.
std::u16string WidenText(const char* utf8);

std::u16string DecimalText(long long number);

}  // namespace dsn_restore
