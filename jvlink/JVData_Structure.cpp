#include "jvlink/JVData_Structure.h"

#include <climits>

namespace tavolen {

std::string Cut(std::string_view record, int pos, int len) {
  if (len <= 0) return {};
  std::string out(static_cast<size_t>(len), ' ');
  if (pos < 1) return out;
  size_t start = static_cast<size_t>(pos - 1);
  if (start >= record.size()) return out;
  size_t n = std::min(record.size() - start, static_cast<size_t>(len));
  out.replace(0, n, record.substr(start, n));
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
