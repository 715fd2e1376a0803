// Writes the stand-in's demo race day of 6 January 2024 through the program's own acquisition,
// change checks and stores into an application folder: the race files, change files, renew
// file and settings that the Windows and the Linux build must write byte for byte alike.
//   tavolen_demoday_files <application folder>
#include <cstdio>
#include <string>

#include "tests/windows/DemoDayFiles.h"

int main(int argc, char** argv) {
  if (argc != 2) {
    std::fprintf(stderr, "usage: %s APPLICATION-FOLDER\n", argv[0]);
    return 2;
  }
  std::string why;
  if (tavolen::testing::WriteDemoDayThroughTheProgram(argv[1], &why)) return 0;
  std::fprintf(stderr, "%s\n", why.c_str());
  return 1;
}
