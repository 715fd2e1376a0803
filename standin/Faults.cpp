#include "standin/Faults.h"

#include <charconv>
#include <sstream>

#include "jvlink/TextLines.h"

namespace tavolen {
namespace {

constexpr std::string_view kOperations[] = {"JVInit",   "JVClose",      "JVSetUIProperties",
                                            "JVOpen",   "JVStatus",     "JVRead",
                                            "JVRTOpen", "JVWatchEvent", "JVWatchEventClose"};

bool IsSessionCounted(std::string_view op) {
  return op == "JVRead" || op == "JVStatus";
}

bool ToInt(const std::string& s, int& v) {
  auto [p, ec] = std::from_chars(s.data(), s.data() + s.size(), v);
  return ec == std::errc() && p == s.data() + s.size();
}

}  // namespace

std::vector<FaultRule> ParseFaults(std::string_view text) {
  std::vector<FaultRule> rules;
  for (const auto& raw : SplitLines(text)) {
    std::string line(TrimBlanks(raw));
    if (line.empty() || line[0] == '#') continue;
    std::istringstream in(line);
    std::vector<std::string> words;
    for (std::string w; in >> w;) words.push_back(w);
    if (words.size() < 2 || words.size() % 2 != 0) continue;
    FaultRule rule;
    rule.operation = words[0];
    bool known = false;
    for (auto op : kOperations) known = known || op == rule.operation;
    if (!known || !ToInt(words[1], rule.code) || rule.code >= 0) continue;
    bool ok = true;
    for (size_t i = 2; ok && i + 1 < words.size(); i += 2) {
      int n = 0;
      ok = ToInt(words[i + 1], n) && n >= 0;
      if (!ok) break;
      if (words[i] == "after") {
        rule.after = n;
      } else if (words[i] == "times" && n > 0) {
        rule.times = n;
      } else {
        ok = false;
      }
    }
    if (ok) rules.push_back(rule);
  }
  return rules;
}

void FaultPlan::Refresh(const fs::path& file) {
  std::string text;
  if (!FileExists(file) || !ReadWholeFile(file, text)) text.clear();
  if (text == text_) return;
  text_ = std::move(text);
  rules_ = ParseFaults(text_);
  calls_.clear();
}

int FaultPlan::OnCall(std::string_view operation) {
  int* count = nullptr;
  for (auto& [op, n] : calls_)
    if (op == operation) count = &n;
  if (!count) {
    calls_.emplace_back(std::string(operation), 0);
    count = &calls_.back().second;
  }
  const int before = (*count)++;
  return Match(operation, before);
}

int FaultPlan::OnSessionCall(std::string_view operation, int count) {
  return Match(operation, count);
}

void FaultPlan::StartSession() {
  for (auto& r : rules_)
    if (IsSessionCounted(r.operation)) r.used = 0;
}

int FaultPlan::Match(std::string_view operation, int count) {
  for (auto& r : rules_) {
    if (r.operation != operation || count < r.after) continue;
    if (r.times > 0 && r.used >= r.times) continue;
    ++r.used;
    return r.code;
  }
  return 0;
}

}  // namespace tavolen
