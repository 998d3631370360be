#pragma once
// A sweep's figures, kept in a file of their own in the build folder
// (figures/<sweep>.txt), from which the test command prints them: a line of
// output can be reworded or lost, a missing or empty file cannot go unnoticed.
#include <filesystem>
#include <fstream>
#include <string>

#ifndef HALVERNIK_FIGURES_DIR
#error "HALVERNIK_FIGURES_DIR names the build folder's figures/ folder"
#endif

namespace figures_file {

// Replaces the sweep's figures file with `text`; false when it cannot be written.
inline bool Write(const std::string& sweep, const std::string& text) {
  const std::filesystem::path folder(HALVERNIK_FIGURES_DIR);
  std::error_code ignored;
  std::filesystem::create_directories(folder, ignored);
  std::ofstream out(folder / (sweep + ".txt"), std::ios::trunc);
  out << text;
  out.close();
  return static_cast<bool>(out);
}

}  // namespace figures_file
