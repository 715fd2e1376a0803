// The crash test's victim: runs an operation stream of CrashOps.h ("mixed" or "standin") or the
// program's own logic of CrashLogic.h ("logic") on an application folder, from a given index on,
// and reports on standard output the number of operations completed after each one ("<n>\n"),
// until it is killed, has run `limit` or (logic) has run the whole day.
//   crash_driver <application folder> <stream> <seed> <first index> [limit]
#include <sys/prctl.h>
#include <unistd.h>

#include <csignal>
#include <cstdio>
#include <cstdlib>
#include <memory>
#include <string>

#include "tests/reliability/CrashLogic.h"
#include "tests/reliability/CrashOps.h"

int main(int argc, char** argv) {
  if (argc < 5) {
    std::fprintf(stderr, "usage: %s APP mixed|standin|logic SEED FIRST [LIMIT]\n", argv[0]);
    return 2;
  }
  // Never outlive the test that runs it.
  prctl(PR_SET_PDEATHSIG, SIGKILL);
  const std::filesystem::path app = argv[1];
  const bool logic = std::string(argv[2]) == "logic";
  const auto stream = std::string(argv[2]) == "standin" ? tavolen::reliability::CrashStream::StandIn
                                                        : tavolen::reliability::CrashStream::Mixed;
  const uint64_t seed = std::strtoull(argv[3], nullptr, 10);
  const uint64_t first = std::strtoull(argv[4], nullptr, 10);
  const uint64_t limit = argc > 5 ? std::strtoull(argv[5], nullptr, 10) : 1000000;
  // The stand-in's records are gathered before the first write.
  if (stream == tavolen::reliability::CrashStream::StandIn &&
      tavolen::reliability::StandInDayRecords().empty())
    return 5;
  std::unique_ptr<tavolen::reliability::LogicStream> logicStream;
  if (logic) {
    logicStream = std::make_unique<tavolen::reliability::LogicStream>(app);
    if (!logicStream->Init()) return 5;
  }
  // From here on every moment is a write or between two writes.
  if (write(STDOUT_FILENO, "ready\n", 6) < 0) return 4;
  if (logic && !logicStream->RecordStartup()) return 3;
  const uint64_t end =
      logic ? std::min(first + limit, tavolen::reliability::kLogicOps) : first + limit;
  for (uint64_t i = first; i < end; ++i) {
    const bool ok =
        logic ? logicStream->Apply(i) : tavolen::reliability::ApplyCrashOp(app, stream, seed, i);
    if (!ok) {
      std::fprintf(stderr, "operation %llu failed\n", static_cast<unsigned long long>(i));
      return 3;
    }
    const std::string done = std::to_string(i + 1) + "\n";
    if (write(STDOUT_FILENO, done.data(), done.size()) < 0) return 4;
  }
  return 0;
}
