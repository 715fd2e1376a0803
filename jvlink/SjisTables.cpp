#include "jvlink/SjisTables.h"

#include "jvlink/Sjis.h"

namespace tavolen {

void FillSjisTables(SjisTables& t, const SjisDecode& decode, const SjisEncode& encode) {
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
    char out[8];
    const int n = encode(static_cast<char16_t>(cp), out);
    if (n == 1)
      t.encode[cp] = static_cast<unsigned char>(out[0]);
    else if (n == 2)
      t.encode[cp] = static_cast<uint16_t>((static_cast<unsigned char>(out[0]) << 8) |
                                           static_cast<unsigned char>(out[1]));
  }
}

}  // namespace tavolen
