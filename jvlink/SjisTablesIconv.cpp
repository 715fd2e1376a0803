#include <iconv.h>

#include "jvlink/SjisTables.h"

namespace tavolen {

// glibc's "CP932" is Microsoft's code page 932.
void BuildSjisTables(SjisTables& t) {
  iconv_t dec = iconv_open("UTF-16LE", "CP932");
  iconv_t enc = iconv_open("CP932", "UTF-16LE");
  auto decode = [&](const char* in, int n) -> char16_t {
    char out[8];
    char* ip = const_cast<char*>(in);
    char* op = out;
    size_t il = static_cast<size_t>(n), ol = sizeof out;
    iconv(dec, nullptr, nullptr, nullptr, nullptr);
    if (iconv(dec, &ip, &il, &op, &ol) == static_cast<size_t>(-1) || il != 0 || op - out != 2)
      return 0;
    return static_cast<char16_t>(static_cast<unsigned char>(out[0]) |
                                 (static_cast<unsigned char>(out[1]) << 8));
  };
  auto encode = [&](char16_t unit, char* out) -> int {
    char in[2] = {static_cast<char>(unit & 0xFF), static_cast<char>(unit >> 8)};
    char* ip = in;
    char* op = out;
    size_t il = 2, ol = 8;
    iconv(enc, nullptr, nullptr, nullptr, nullptr);
    if (iconv(enc, &ip, &il, &op, &ol) == static_cast<size_t>(-1)) return 0;
    return static_cast<int>(op - out);
  };
  FillSjisTables(t, decode, encode);
  iconv_close(dec);
  iconv_close(enc);
}

}  // namespace tavolen
