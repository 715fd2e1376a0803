// Scratch folders and raw file bytes for the tests of this folder.
#pragma once

#include <cstdlib>
#include <fstream>
#include <iterator>
#include <string>

#include "jvlink/FileIO.h"

namespace tavolen::testing {

inline fs::path TempDir(const std::string& name) {
  const char* base = std::getenv("TAVOLEN_TEST_TMP");
  fs::path dir = fs::path(base ? base : fs::temp_directory_path().string()) / "appcore" / name;
  fs::remove_all(dir);
  fs::create_directories(dir);
  return dir;
}

inline void PutBytes(const fs::path& path, const std::string& bytes) {
  std::ofstream out(path, std::ios::binary | std::ios::trunc);
  out << bytes;
}

inline std::string Bytes(const fs::path& path) {
  std::ifstream in(path, std::ios::binary);
  return std::string(std::istreambuf_iterator<char>(in), std::istreambuf_iterator<char>());
}

inline int FileCount(const fs::path& dir) {
  int n = 0;
  for ([[maybe_unused]] const auto& e : fs::directory_iterator(dir)) ++n;
  return n;
}

}  // namespace tavolen::testing
