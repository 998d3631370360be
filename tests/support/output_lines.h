#pragma once
// The lines a console program wrote, each without its end of line; text
// after the last end of line is not a line.
#include <string>
#include <vector>

inline std::vector<std::u16string> OutputLines(const std::u16string& text) {
  std::vector<std::u16string> lines;
  std::size_t start = 0;
  for (std::size_t end; (end = text.find(u'\n', start)) != std::u16string::npos; start = end + 1) {
    lines.push_back(text.substr(start, end - start));
  }
  return lines;
}
