#include <iconv.h>

#include "jvlink/Sjis.h"
#include "jvlink/SjisTables.h"

namespace tavolen {

// glibc's "CP932" is Microsoft's code page 932.
void BuildSjisTables(SjisTables& t) {
  iconv_t dec = iconv_open("UTF-16LE", "CP932");
  iconv_t enc = iconv_open("CP932", "UTF-16LE");
  auto decode = [&](const char* in, size_t n) -> char16_t {
    char out[8];
    char* ip = const_cast<char*>(in);
    char* op = out;
    size_t il = n, ol = sizeof out;
    iconv(dec, nullptr, nullptr, nullptr, nullptr);
    if (iconv(dec, &ip, &il, &op, &ol) == static_cast<size_t>(-1) || il != 0 || op - out != 2)
      return 0;
    return static_cast<char16_t>(static_cast<unsigned char>(out[0]) |
                                 (static_cast<unsigned char>(out[1]) << 8));
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
    char in[2] = {static_cast<char>(cp & 0xFF), static_cast<char>(cp >> 8)};
    char out[8];
    char* ip = in;
    char* op = out;
    size_t il = 2, ol = sizeof out;
    iconv(enc, nullptr, nullptr, nullptr, nullptr);
    if (iconv(enc, &ip, &il, &op, &ol) == static_cast<size_t>(-1)) continue;
    size_t n = op - out;
    if (n == 1)
      t.encode[cp] = static_cast<unsigned char>(out[0]);
    else if (n == 2)
      t.encode[cp] = static_cast<uint16_t>((static_cast<unsigned char>(out[0]) << 8) |
                                           static_cast<unsigned char>(out[1]));
  }
  iconv_close(dec);
  iconv_close(enc);
}

}  // namespace tavolen
