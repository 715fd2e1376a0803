// Code page 932 (Microsoft Shift-JIS) texts and their conversion to and from Unicode.
#pragma once

#include <string>
#include <string_view>

namespace tavolen {

// Every text the program keeps in memory is a string of code page 932 bytes.
using SjisString = std::string;

bool IsSjisLeadByte(unsigned char b);
bool IsSjisTrailByte(unsigned char b);

// Decoding never fails and never reads past its input:
//  - a lead byte that is not followed by a trail byte (the end of a fixed-width cut, or a
//    stray byte) is dropped, and decoding goes on with the next byte;
//  - a single byte or a byte pair that the code page does not define becomes U+FFFD.
std::u16string SjisToUtf16(std::string_view sjis);
std::string SjisToUtf8(std::string_view sjis);

// Encoding never fails: a character the code page cannot hold, and every invalid UTF-8 or
// UTF-16 sequence, becomes "?" (0x3F), as Windows' default character does.
SjisString Utf16ToSjis(std::u16string_view utf16);
SjisString Utf8ToSjis(std::string_view utf8);

// A UTF-8 literal in code page 932, for texts written readably in the source.
inline SjisString Sj(std::string_view utf8) {
  return Utf8ToSjis(utf8);
}

// The text without a lead byte that a fixed-width cut left at its end.
std::string_view DropCutLeadByte(std::string_view sjis);

}  // namespace tavolen
