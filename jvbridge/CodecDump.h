// Every answer of the code page 932 codec in one byte string: the decoding of every single
// byte and every byte pair, then the encoding of every UTF-16 unit. The Windows build and the
// Linux build must give the same string.
#pragma once

#include <string>

#include "jvlink/Sjis.h"

namespace tavolen {

inline std::string CodecDump() {
  std::string out;
  auto putUnits = [&](const std::u16string& u) {
    out.push_back(static_cast<char>(u.size()));
    for (char16_t c : u) {
      out.push_back(static_cast<char>(c & 0xFF));
      out.push_back(static_cast<char>(c >> 8));
    }
  };
  for (int b = 0; b < 256; ++b) putUnits(SjisToUtf16(std::string(1, static_cast<char>(b))));
  for (int lead = 0x81; lead <= 0xFC; ++lead)
    for (int trail = 0x40; trail <= 0xFC; ++trail)
      putUnits(SjisToUtf16(std::string{static_cast<char>(lead), static_cast<char>(trail)}));
  for (int u = 0; u < 0x10000; ++u) {
    const std::string s = Utf16ToSjis(std::u16string(1, static_cast<char16_t>(u)));
    out.push_back(static_cast<char>(s.size()));
    out += s;
  }
  return out;
}

}  // namespace tavolen
