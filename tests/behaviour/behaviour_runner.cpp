// Runs the behaviour cases, each in a fresh scratch key and folder, and says
// how each ended and which declared differences the run met.
//
// usage: behaviour_cases [--filter=TEXT] [--list]
//   --filter: only the cases whose "Group.Name" holds TEXT
#include <cstdio>
#include <cstring>
#include <string>
#include <vector>

#include "tests/behaviour/behaviour_case.h"
#include "tests/behaviour/declared_differences.h"
#include "tests/behaviour/platform.h"

namespace behaviour {
namespace {

struct Case {
  std::string name;
  CaseBody body;
};

std::vector<Case>& Cases() {
  static std::vector<Case> cases;
  return cases;
}

std::vector<std::string>& Notes() {
  static std::vector<std::string> notes;
  return notes;
}

int& FailuresOfThisCase() {
  static int failures = 0;
  return failures;
}

std::string& WhyNotHere() {
  static std::string why;
  return why;
}

std::vector<const Difference*>& DifferencesMet() {
  static std::vector<const Difference*> met;
  return met;
}

}  // namespace

bool Register(const char* group, const char* name, CaseBody body) {
  Cases().push_back({std::string(group) + "." + name, body});
  return true;
}

void Fail(const char* file, int line, const std::string& what) {
  ++FailuresOfThisCase();
  const char* base = std::strrchr(file, '/');
  std::printf("%s:%d: %s\n", base ? base + 1 : file, line, what.c_str());
  for (const std::string& note : Notes()) {
    std::printf("  in: %s\n", note.c_str());
  }
}

void NotHere(const char* why) { WhyNotHere() = why; }

Note::Note(std::string text) { Notes().push_back(std::move(text)); }
Note::~Note() { Notes().pop_back(); }

void Met(const Difference& difference) {
  for (const Difference* met : DifferencesMet()) {
    if (met == &difference) {
      return;
    }
  }
  DifferencesMet().push_back(&difference);
}

std::string DescribeText(std::u16string_view text) {
  std::string out = "u\"";
  for (const char16_t unit : text) {
    if (unit >= 0x20 && unit < 0x7F && unit != u'"' && unit != u'\\') {
      out.push_back(static_cast<char>(unit));
    } else {
      char escape[8];
      std::snprintf(escape, sizeof escape, "\\u%04X", static_cast<unsigned>(unit));
      out += escape;
    }
  }
  return out + "\"";
}

std::string DescribeBytes(const void* bytes, std::size_t count) {
  std::string out = "{";
  const auto* p = static_cast<const unsigned char*>(bytes);
  for (std::size_t i = 0; i < count; ++i) {
    char byte[8];
    std::snprintf(byte, sizeof byte, "%s0x%02X", i == 0 ? "" : ", ", p[i]);
    out += byte;
  }
  return out + "}";
}

}  // namespace behaviour

int main(int argc, char** argv) {
  using namespace behaviour;
  std::string filter;
  bool list = false;
  for (int i = 1; i < argc; ++i) {
    if (std::strncmp(argv[i], "--filter=", 9) == 0) {
      filter = argv[i] + 9;
    } else if (std::strcmp(argv[i], "--list") == 0) {
      list = true;
    } else {
      std::printf("usage: %s [--filter=TEXT] [--list]\n", argv[0]);
      return 2;
    }
  }
  int ran = 0;
  int notHere = 0;
  std::vector<std::string> failed;
  std::printf("behaviour cases on %s\n", PlatformName());
  for (const Case& c : Cases()) {
    if (c.name.find(filter) == std::string::npos) {
      continue;
    }
    if (list) {
      std::printf("%s\n", c.name.c_str());
      continue;
    }
    ++ran;
    std::printf("[ RUN      ] %s\n", c.name.c_str());
    std::fflush(stdout);
    FailuresOfThisCase() = 0;
    WhyNotHere().clear();
    BeginCase();
    c.body();
    for (const std::string& left : EndCase()) {
      Fail("after the case", 0, left);
    }
    if (FailuresOfThisCase() == 0 && !WhyNotHere().empty()) {
      std::printf("[ NOT HERE ] %s: %s\n", c.name.c_str(), WhyNotHere().c_str());
      ++notHere;
    } else if (FailuresOfThisCase() == 0) {
      std::printf("[       OK ] %s\n", c.name.c_str());
    } else {
      std::printf("[  FAILED  ] %s\n", c.name.c_str());
      failed.push_back(c.name);
    }
    std::fflush(stdout);
  }
  if (list) {
    return 0;
  }
  for (const Difference* met : DifferencesMet()) {
    std::printf("[ DIFFERS  ] %s: Wine %s; Windows: %s (%s)\n", met->name, met->wine, met->windows, met->page);
  }
  std::printf("%d cases on %s: %d passed, %zu failed, %d with nothing to check here; %zu declared differences met\n",
              ran, PlatformName(), ran - notHere - static_cast<int>(failed.size()), failed.size(), notHere,
              DifferencesMet().size());
  for (const std::string& name : failed) {
    std::printf("FAILED: %s\n", name.c_str());
  }
  return failed.empty() && ran > 0 ? 0 : 1;
}
