// Fault injection for the stand-in: a small text file in the feed folder makes a named call
// answer a given result code, so that every failure path of the program can be seen.
//
//   # comment
//   JVOpen -504
//   JVRead -402 after 10
//   JVStatus -502 after 3 times 2
//
// A line is an operation name, a negative result code and two optional parts: "after N" (the
// fault starts once N records have been delivered in the session for JVRead, once N calls
// have been made in the session for JVStatus, and once N calls of that operation have been
// made since the file was last changed for every other operation) and "times K" (the fault
// answers K times and is then spent: per session for JVRead and JVStatus, until the file
// changes for the others). Lines that cannot be read are ignored.
#pragma once

#include <string>
#include <string_view>
#include <vector>

#include "jvlink/FileIO.h"

namespace tavolen {

struct FaultRule {
  std::string operation;
  int code = 0;
  int after = 0;
  int times = 0;  // 0: every time
  int used = 0;
};

std::vector<FaultRule> ParseFaults(std::string_view text);

class FaultPlan {
 public:
  // Re-reads the fault file; when its contents changed, every count starts anew.
  void Refresh(const fs::path& file);
  // For an operation counted by its calls: counts this call and returns the code to answer
  // instead of the call's own, or 0.
  int OnCall(std::string_view operation);
  // For JVRead and JVStatus: count is the session's count (records delivered, calls made).
  int OnSessionCall(std::string_view operation, int count);
  // A new session: spent session faults answer again.
  void StartSession();

  const std::vector<FaultRule>& Rules() const { return rules_; }

 private:
  int Match(std::string_view operation, int count);

  std::string text_;
  std::vector<FaultRule> rules_;
  std::vector<std::pair<std::string, int>> calls_;
};

}  // namespace tavolen
