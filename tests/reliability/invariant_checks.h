#pragma once
// Invariant checks after a sweep's runs, counted for its figures and reported
// through gtest when one fails.
#include <gtest/gtest.h>

#include <string>

struct InvariantChecks {
  int checksPassed = 0;
  int checksFailed = 0;

  void Check(bool holds, const std::string& invariant) {
    if (holds) {
      ++checksPassed;
    } else {
      ++checksFailed;
      ADD_FAILURE() << "invariant broken: " << invariant;
    }
  }
};
