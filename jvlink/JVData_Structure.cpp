#include "jvlink/JVData_Structure.h"

#include <algorithm>
#include <climits>

namespace tavolen {

void AppendCut(std::string& out, std::string_view record, FieldDef f) {
  if (f.len <= 0) return;
  const auto len = static_cast<size_t>(f.len);
  size_t n = 0;
  if (f.pos >= 1 && static_cast<size_t>(f.pos - 1) < record.size()) {
    const auto start = static_cast<size_t>(f.pos - 1);
    n = std::min(record.size() - start, len);
    out.append(record.substr(start, n));
  }
  out.append(len - n, ' ');
}

std::string Cut(std::string_view record, int pos, int len) {
  std::string out;
  out.reserve(static_cast<size_t>(std::max(len, 0)));
  AppendCut(out, record, {pos, len});
  return out;
}

int ReadNumber(std::string_view text) {
  size_t b = text.find_first_not_of(' ');
  if (b == std::string_view::npos) return 0;
  size_t e = text.find_last_not_of(' ');
  std::string_view t = text.substr(b, e - b + 1);
  bool neg = false;
  if (!t.empty() && (t[0] == '-' || t[0] == '+')) {
    neg = t[0] == '-';
    t.remove_prefix(1);
  }
  if (t.empty()) return 0;
  long long v = 0;
  for (char c : t) {
    if (c < '0' || c > '9') return 0;
    v = v * 10 + (c - '0');
    if (v > INT_MAX) return 0;
  }
  return static_cast<int>(neg ? -v : v);
}

}  // namespace tavolen
