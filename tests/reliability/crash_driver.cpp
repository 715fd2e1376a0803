// The crash test's victim: runs the operation stream of CrashOps.h on an application folder,
// from a given index on, and reports on standard output the number of operations completed
// after each one ("<n>\n"), until it is killed or has run `limit` operations.
//   crash_driver <application folder> <seed> <first index> [limit]
#include <sys/prctl.h>
#include <unistd.h>

#include <csignal>
#include <cstdio>
#include <cstdlib>
#include <string>

#include "tests/reliability/CrashOps.h"

int main(int argc, char** argv) {
  if (argc < 4) {
    std::fprintf(stderr, "usage: %s APP SEED FIRST [LIMIT]\n", argv[0]);
    return 2;
  }
  // Never outlive the test that runs it.
  prctl(PR_SET_PDEATHSIG, SIGKILL);
  const std::filesystem::path app = argv[1];
  const uint64_t seed = std::strtoull(argv[2], nullptr, 10);
  const uint64_t first = std::strtoull(argv[3], nullptr, 10);
  const uint64_t limit = argc > 4 ? std::strtoull(argv[4], nullptr, 10) : 1000000;
  for (uint64_t i = first; i < first + limit; ++i) {
    if (!tavolen::reliability::ApplyCrashOp(app, seed, i)) {
      std::fprintf(stderr, "operation %llu failed\n", static_cast<unsigned long long>(i));
      return 3;
    }
    const std::string done = std::to_string(i + 1) + "\n";
    if (write(STDOUT_FILENO, done.data(), done.size()) < 0) return 4;
  }
  return 0;
}
