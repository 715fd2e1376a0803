#include <windows.h>

#include "jvlink/Sjis.h"
#include "jvlink/SjisTables.h"

namespace tavolen {

// Windows' own code page 932. Invalid input fails instead of being guessed
// (MB_ERR_INVALID_CHARS), and no best-fit character stands in for one the code page lacks
// (WC_NO_BEST_FIT_CHARS), as glibc's converter does.
void BuildSjisTables(SjisTables& t) {
  auto decode = [](const char* in, int n) -> char16_t {
    wchar_t out[4];
    int got = MultiByteToWideChar(932, MB_ERR_INVALID_CHARS, in, n, out, 4);
    return got == 1 ? static_cast<char16_t>(out[0]) : char16_t{0};
  };
  for (int b = 1; b < 256; ++b) {
    if (IsSjisLeadByte(static_cast<unsigned char>(b))) continue;
    char c = static_cast<char>(b);
    t.single[b] = decode(&c, 1);
  }
  for (int lead = 0x81; lead <= 0xFC; ++lead) {
    if (!IsSjisLeadByte(static_cast<unsigned char>(lead))) continue;
    for (int trail = 0x40; trail <= 0xFC; ++trail) {
      if (!IsSjisTrailByte(static_cast<unsigned char>(trail))) continue;
      char in[2] = {static_cast<char>(lead), static_cast<char>(trail)};
      t.pair[(lead << 8) | trail] = decode(in, 2);
    }
  }
  for (uint32_t cp = 1; cp < 0x10000; ++cp) {
    if (cp >= 0xD800 && cp <= 0xDFFF) continue;
    wchar_t in = static_cast<wchar_t>(cp);
    char out[8];
    BOOL usedDefault = FALSE;
    int n = WideCharToMultiByte(932, WC_NO_BEST_FIT_CHARS, &in, 1, out, sizeof out, nullptr,
                                &usedDefault);
    if (usedDefault) continue;
    if (n == 1)
      t.encode[cp] = static_cast<unsigned char>(out[0]);
    else if (n == 2)
      t.encode[cp] = static_cast<uint16_t>((static_cast<unsigned char>(out[0]) << 8) |
                                           static_cast<unsigned char>(out[1]));
  }
}

}  // namespace tavolen
