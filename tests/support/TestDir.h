// A scratch folder named after the running test.
#pragma once

#include <gtest/gtest.h>

#include <string>

#include "tests/support/Files.h"

namespace tavolen::testsupport {

// An empty folder TempRoot()/group/<suite>.<test> for the running test.
inline fs::path TestDir(const std::string& group) {
  const auto* info = ::testing::UnitTest::GetInstance()->current_test_info();
  return TempDir(group + "/" + info->test_suite_name() + "." + info->name());
}

// TestDir(group) with an empty Data folder inside: a fresh application folder.
inline fs::path FreshTestDir(const std::string& group) {
  const fs::path dir = TestDir(group);
  fs::create_directories(dir / "Data");
  return dir;
}

}  // namespace tavolen::testsupport
