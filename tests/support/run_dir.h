// A temporary directory of this test process's own, for the files a test
// writes: made with mkdtemp on first use, so that two runs of the suite on
// one machine (two build trees, CI beside a developer) never share a name,
// and removed with everything in it when every test of the process passed.
// A failed run leaves it for a look.
#pragma once

#include <gtest/gtest.h>
#include <stdlib.h>

#include <cerrno>
#include <cstring>
#include <filesystem>
#include <string>

class RunDirectory : public ::testing::Environment {
 public:
  // The directory, with a trailing slash; its name starts with prefix.
  static const std::string& path(const char* prefix = "drmorvel-test") {
    static const std::string made = make(prefix);
    return made;
  }

  void TearDown() override {
    if (!made_ || !::testing::UnitTest::GetInstance()->Passed()) return;
    std::error_code ignored;
    std::filesystem::remove_all(path(), ignored);
  }

 private:
  static inline bool made_ = false;

  static std::string make(const char* prefix) {
    std::string pattern = ::testing::TempDir() + prefix + "-XXXXXX";
    if (mkdtemp(pattern.data()) == nullptr) {
      ADD_FAILURE() << "cannot make a directory like " << pattern << ": " << std::strerror(errno);
      return ::testing::TempDir();
    }
    made_ = true;
    return pattern + "/";
  }
};

// Registered once per test program that includes this header.
inline ::testing::Environment* const run_directory_environment =
    ::testing::AddGlobalTestEnvironment(new RunDirectory);
