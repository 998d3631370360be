#include "dsn_restore/text_conversion.h"

namespace dsn_restore {
namespace {

bool IsHighSurrogate(char32_t unit) { return unit >= 0xD800 && unit <= 0xDBFF; }
bool IsLowSurrogate(char32_t unit) { return unit >= 0xDC00 && unit <= 0xDFFF; }

void AppendUtf8(std::string& out, char32_t cp) {
  auto byte = [&out](char32_t b) { out.push_back(static_cast<char>(b)); };
  if (cp < 0x80) {
    byte(cp);
  } else if (cp < 0x800) {
    byte(0xC0 | (cp >> 6));
    byte(0x80 | (cp & 0x3F));
  } else if (cp < 0x10000) {
    byte(0xE0 | (cp >> 12));
    byte(0x80 | ((cp >> 6) & 0x3F));
    byte(0x80 | (cp & 0x3F));
  } else {
    byte(0xF0 | (cp >> 18));
    byte(0x80 | ((cp >> 12) & 0x3F));
    byte(0x80 | ((cp >> 6) & 0x3F));
    byte(0x80 | (cp & 0x3F));
  }
}

void AppendUtf16(std::u16string& out, char32_t cp) {
  if (cp < 0x10000) {
    out.push_back(static_cast<char16_t>(cp));
  } else {
    cp -= 0x10000;
    out.push_back(static_cast<char16_t>(0xD800 + (cp >> 10)));
    out.push_back(static_cast<char16_t>(0xDC00 + (cp & 0x3FF)));
  }
}

}  // namespace

Utf8Text NarrowText(std::u16string_view text) {
  Utf8Text result;
  result.bytes.reserve(text.size());
  for (std::size_t i = 0; i < text.size(); ++i) {
    char32_t cp = text[i];
    if (IsHighSurrogate(cp) && i + 1 < text.size() && IsLowSurrogate(text[i + 1])) {
      cp = 0x10000 + ((cp - 0xD800) << 10) + (text[i + 1] - 0xDC00);
      ++i;
    } else if (IsHighSurrogate(cp) || IsLowSurrogate(cp)) {
      result.unpairedSurrogateAt = result.bytes.size();
      return result;
    }
    AppendUtf8(result.bytes, cp);
  }
  return result;
}

std::u16string WidenText(const char* utf8) {
  std::u16string out;
  const auto* p = reinterpret_cast<const unsigned char*>(utf8);
  while (*p != 0) {
    const unsigned char lead = *p;
    int length = 0;
    char32_t cp = 0;
    char32_t least = 0;
    if (lead < 0x80) {
      length = 1, cp = lead;
    } else if ((lead & 0xE0) == 0xC0) {
      length = 2, cp = lead & 0x1F, least = 0x80;
    } else if ((lead & 0xF0) == 0xE0) {
      length = 3, cp = lead & 0x0F, least = 0x800;
    } else if ((lead & 0xF8) == 0xF0) {
      length = 4, cp = lead & 0x07, least = 0x10000;
    }
    int taken = 1;
    bool valid = length != 0;
    for (; valid && taken < length; ++taken) {
      if ((p[taken] & 0xC0) != 0x80) {
        valid = false;  // also stops at the terminating zero
        break;
      }
      cp = (cp << 6) | (p[taken] & 0x3F);
    }
    if (valid && (cp < least || cp > 0x10FFFF || IsHighSurrogate(cp) || IsLowSurrogate(cp))) {
      valid = false;
    }
    AppendUtf16(out, valid ? cp : 0xFFFD);
    p += taken;
  }
  return out;
}

std::u16string DecimalText(long long number) {
  const std::string digits = std::to_string(number);
  return std::u16string(digits.begin(), digits.end());
}

}  // namespace dsn_restore
