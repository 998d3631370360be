#pragma once
// The whole check: the cache folder and the current directory, each with a
// writing pass and then a reading pass, and the verdict.
#include <string>

namespace cache_access_check {

// "<local application data>\Halvernik ODBC Driver\Cache", or the empty text
// when the folder cannot be looked up or its path cannot be converted to
// UTF-8 (which it says, with no end of line).
std::u16string GetCacheFolder();

// Runs every pass and writes the verdict line.
void RunChecks();

// The program: the checks, then the wait for one character of input.
// Returns the exit status, always 0.
int RunCacheAccessCheck();

}  // namespace cache_access_check
