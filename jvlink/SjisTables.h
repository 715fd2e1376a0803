// The code page 932 tables behind the codec, built once by the platform's own converter: glibc's
// iconv "CP932" on Linux, MultiByteToWideChar/WideCharToMultiByte(932) on Windows. Both give
// Microsoft's code page 932, so the codec answers the same on both.
#pragma once

#include <array>
#include <cstdint>

namespace tavolen {

struct SjisTables {
  // 0 = not defined (U+0000 itself is handled apart).
  std::array<char16_t, 256> single{};    // by single byte; lead bytes stay 0
  std::array<char16_t, 65536> pair{};    // by (lead << 8) | trail
  std::array<uint16_t, 65536> encode{};  // by UTF-16 unit: one byte (< 0x100) or a byte pair
};

// Fills the tables; every entry the code page does not define stays 0.
void BuildSjisTables(SjisTables& tables);

}  // namespace tavolen
