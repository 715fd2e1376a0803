#include "tests/support/Files.h"

#include <algorithm>
#include <cstdio>
#include <cstdlib>
#include <fstream>
#include <iterator>

namespace tavolen::testsupport {
namespace {

std::string Utf8(const std::u8string& s) {
  return std::string(s.begin(), s.end());
}
std::string Utf8(const fs::path& p) {
  return Utf8(p.u8string());
}

}  // namespace

fs::path TempRoot() {
  const char* base = std::getenv("TAVOLEN_TEST_TMP");
  return fs::path(base && *base ? base : fs::temp_directory_path().string());
}

fs::path TempDir(const std::string& name) {
  const fs::path dir = TempRoot() / name;
  std::error_code ec;
  // A test that took the write permission of a folder away may have stopped before giving it
  // back.
  for (const fs::path& p : {dir, dir / "Data"})
    fs::permissions(p, fs::perms::owner_all, fs::perm_options::add, ec);
  fs::remove_all(dir, ec);
  fs::create_directories(dir);
  return dir;
}

fs::path FreshDir(const std::string& name) {
  const fs::path dir = TempDir(name);
  fs::create_directories(dir / "Data");
  return dir;
}

std::string ReadFileBytes(const fs::path& path) {
  std::ifstream in(path, std::ios::binary);
  if (!in) return {};
  return std::string(std::istreambuf_iterator<char>(in), std::istreambuf_iterator<char>());
}

bool WriteFileBytes(const fs::path& path, std::string_view bytes) {
  std::ofstream out(path, std::ios::binary | std::ios::trunc);
  if (!out) return false;
  out.write(bytes.data(), static_cast<std::streamsize>(bytes.size()));
  out.close();
  return !out.fail();
}

std::vector<std::string> Names(const fs::path& dir) {
  std::vector<std::string> out;
  std::error_code ec;
  for (const auto& e : fs::directory_iterator(dir, ec)) out.push_back(Utf8(e.path().filename()));
  std::sort(out.begin(), out.end());
  return out;
}

size_t CountEntries(const fs::path& dir) {
  size_t n = 0;
  for (auto it = fs::recursive_directory_iterator(dir); it != fs::recursive_directory_iterator();
       ++it)
    ++n;
  return n;
}

Snapshot TakeSnapshot(const fs::path& root) {
  Snapshot s;
  for (auto it = fs::recursive_directory_iterator(root); it != fs::recursive_directory_iterator();
       ++it)
    s[Utf8(fs::relative(it->path(), root).generic_u8string())] =
        it->is_directory() ? std::string("<dir>") : ReadFileBytes(it->path());
  return s;
}

std::vector<std::string> Changed(const Snapshot& before, const Snapshot& after) {
  std::vector<std::string> out;
  for (const auto& [name, bytes] : after) {
    auto it = before.find(name);
    if (it == before.end() || it->second != bytes) out.push_back(name);
  }
  for (const auto& [name, bytes] : before)
    if (!after.count(name)) out.push_back(name);
  return out;
}

long ResidentKilobytes() {
  std::ifstream status("/proc/self/status");
  std::string line;
  while (std::getline(status, line))
    if (line.rfind("VmRSS:", 0) == 0) return std::strtol(line.c_str() + 6, nullptr, 10);
  return -1;
}

std::string DateName(std::string_view date8) {
  std::string out(date8.substr(0, 4));
  out += "年";
  out += date8.substr(4, 2);
  out += "月";
  out += date8.substr(6, 2);
  out += "日";
  return out;
}

}  // namespace tavolen::testsupport
