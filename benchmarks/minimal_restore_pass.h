#pragma once
// The limit of the restore design: exactly the registry calls that one
// restore pass makes over DSNs seeded as restore-benchmark seeds them, in the
// same order, with the same names, buffers and data sizes, and nothing else:
// no JSON, no text conversions, no boxes. Everything it writes is made before
// it is timed.
#include <windows.h>

#include <string>
#include <vector>

namespace benchmarks {

struct MinimalDsn {
  std::wstring keyPath;  // the tree path, a backslash, the name
  std::wstring name;
  std::vector<std::pair<std::wstring, std::wstring>> settings;
};

struct MinimalPassInput {
  std::wstring treePath;
  std::wstring dataSourcesPath;
  std::vector<MinimalDsn> dsns;
};

// The input for DSNs 0 to count - 1.
MinimalPassInput MakeMinimalPassInput(int count);

// Returns how many DSN keys it made again.
int MinimalRestorePass(HKEY root, const MinimalPassInput& input);

}  // namespace benchmarks
