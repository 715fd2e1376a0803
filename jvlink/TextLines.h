// Files as lists of text lines, the way the program loads, changes and saves them.
#pragma once

#include <string>
#include <string_view>
#include <vector>

namespace tavolen {

using Lines = std::vector<std::string>;

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
