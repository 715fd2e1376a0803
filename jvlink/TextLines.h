// Files as lists of text lines, the way the program loads, changes and saves them.
#pragma once

#include <string>
#include <string_view>
#include <vector>

namespace tavolen {

using Lines = std::vector<std::string>;

// Calls each(line) for every line of text in place, cut as SplitLines cuts them. The line ends
// are found a run at a time (memchr), not byte by byte: a day's files hold hundreds of kilobytes.
template <typename Each>
void ForEachLine(std::string_view text, Each&& each) {
  constexpr size_t kNone = std::string_view::npos;
  size_t start = 0, cr = text.find('\r'), lf = text.find('\n');
  while (start < text.size()) {
    if (cr != kNone && cr < start) cr = text.find('\r', start);
    if (lf != kNone && lf < start) lf = text.find('\n', start);
    const size_t end = cr < lf ? cr : lf;
    if (end == kNone) {
      each(text.substr(start));
      return;
    }
    each(text.substr(start, end - start));
    start = end + 1;
    if (text[end] == '\r' && start < text.size() && text[start] == '\n') ++start;
  }
}

// Splits at CR LF, LF or CR. A final line end does not start another line; an empty text has
// no lines.
Lines SplitLines(std::string_view text);

// Every line followed by CR LF, the last one too.
std::string JoinLinesCrLf(const Lines& lines);

// The text without blanks and control characters at either end.
std::string_view TrimBlanks(std::string_view s);

// True for a text of ASCII digits only; an empty text is not a number, so it is false.
bool AllDigits(std::string_view s);

}  // namespace tavolen
