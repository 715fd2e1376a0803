// tavolen-codec-dump FILE: writes the codec's answers (CodecDump) to FILE, so that a test can
// compare the Windows build of the codec with the Linux build.
#include <cstdio>

#include "jvbridge/CodecDump.h"

int main(int argc, char** argv) {
  if (argc != 2) {
    std::fprintf(stderr, "usage: tavolen-codec-dump FILE\n");
    return 2;
  }
  const std::string dump = tavolen::CodecDump();
  std::FILE* f = std::fopen(argv[1], "wb");
  if (!f) return 1;
  const bool ok = std::fwrite(dump.data(), 1, dump.size(), f) == dump.size();
  return std::fclose(f) == 0 && ok ? 0 : 1;
}
