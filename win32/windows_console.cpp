// The seam's Windows side for the standard streams. Text reaches a console
// as UTF-16 through WriteConsoleW, so every character shows whatever the
// runtime's locale; redirected output is UTF-8 with CR LF line ends, as a
// text-mode stream writes them. Nothing is buffered, so a flush has nothing
// left to do.
#include <cstdio>
#include <string>

#include "win32/api.h"
#include "win32/windows_text.h"

namespace win32 {

void WriteStandardOutput(const char16_t* text, std::size_t units) {
  const HANDLE output = ::GetStdHandle(STD_OUTPUT_HANDLE);
  if (output == nullptr || output == INVALID_HANDLE_VALUE || units == 0) {
    return;
  }
  DWORD written = 0;
  DWORD mode = 0;
  if (::GetConsoleMode(output, &mode)) {
    ::WriteConsoleW(output, AsWide(text), static_cast<DWORD>(units), &written, nullptr);
    return;
  }
  std::u16string lines;
  for (std::size_t i = 0; i < units; ++i) {
    if (text[i] == u'\n') {
      lines.push_back(u'\r');
    }
    lines.push_back(text[i]);
  }
  const int bytes = ::WideCharToMultiByte(CP_UTF8, 0, AsWide(lines.c_str()), static_cast<int>(lines.size()),
                                          nullptr, 0, nullptr, nullptr);
  std::string utf8(static_cast<std::size_t>(bytes), '\0');
  ::WideCharToMultiByte(CP_UTF8, 0, AsWide(lines.c_str()), static_cast<int>(lines.size()), utf8.data(), bytes,
                        nullptr, nullptr);
  ::WriteFile(output, utf8.data(), static_cast<DWORD>(utf8.size()), &written, nullptr);
}

void FlushStandardOutput() {}

int ReadStandardInputCharacter() { return std::getchar(); }

}  // namespace win32
