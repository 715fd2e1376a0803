// The code page 932 tables behind the codec, built once by the platform's own converter: glibc's
// iconv "CP932" on Linux, MultiByteToWideChar/WideCharToMultiByte(932) on Windows. Both give
// Microsoft's code page 932, so the codec answers the same on both.
#pragma once

#include <array>
#include <cstdint>
#include <functional>

namespace tavolen {

struct SjisTables {
  // 0 = not defined (U+0000 itself is handled apart).
  std::array<char16_t, 256> single{};    // by single byte; lead bytes stay 0
  std::array<char16_t, 65536> pair{};    // by (lead << 8) | trail
  std::array<uint16_t, 65536> encode{};  // by UTF-16 unit: one byte (< 0x100) or a byte pair
};

// Fills the tables; every entry the code page does not define stays 0.
void BuildSjisTables(SjisTables& tables);

// The platform's converter, one character at a time. Decode: one byte or a byte pair (n = 1 or
// 2) to its UTF-16 unit, 0 when undefined. Encode: a UTF-16 unit to its bytes in out (room for
// 8), answering how many; 0 when the code page has no character for it.
using SjisDecode = std::function<char16_t(const char* in, int n)>;
using SjisEncode = std::function<int(char16_t unit, char* out)>;

// Fills the tables by asking the converter about every byte, byte pair and UTF-16 unit (the
// surrogates left out); BuildSjisTables of each platform calls it with its own converter.
void FillSjisTables(SjisTables& tables, const SjisDecode& decode, const SjisEncode& encode);

}  // namespace tavolen
