#include "jvlink/Sjis.h"

#include <iconv.h>

#include <array>
#include <memory>

namespace tavolen {
namespace {

constexpr char16_t kUnmapped = 0;
constexpr char16_t kReplacement = 0xFFFD;

// Tables built once from glibc's "CP932", which is Microsoft's code page 932.
struct Tables {
  std::array<char16_t, 256> single{};
  std::array<char16_t, 65536> pair{};
  std::array<uint16_t, 65536> encode{};  // 0 = not representable (U+0000 itself is handled apart)

  Tables() {
    iconv_t dec = iconv_open("UTF-16LE", "CP932");
    iconv_t enc = iconv_open("CP932", "UTF-16LE");
    auto decode = [&](const char* in, size_t n) -> char16_t {
      char out[8];
      char* ip = const_cast<char*>(in);
      char* op = out;
      size_t il = n, ol = sizeof out;
      iconv(dec, nullptr, nullptr, nullptr, nullptr);
      if (iconv(dec, &ip, &il, &op, &ol) == static_cast<size_t>(-1) || il != 0 || op - out != 2)
        return kUnmapped;
      return static_cast<char16_t>(static_cast<unsigned char>(out[0]) |
                                   (static_cast<unsigned char>(out[1]) << 8));
    };
    for (int b = 0; b < 256; ++b) {
      if (IsSjisLeadByte(static_cast<unsigned char>(b))) continue;
      char c = static_cast<char>(b);
      single[b] = b == 0 ? char16_t{0} : decode(&c, 1);
    }
    for (int lead = 0x81; lead <= 0xFC; ++lead) {
      if (!IsSjisLeadByte(static_cast<unsigned char>(lead))) continue;
      for (int trail = 0x40; trail <= 0xFC; ++trail) {
        if (!IsSjisTrailByte(static_cast<unsigned char>(trail))) continue;
        char in[2] = {static_cast<char>(lead), static_cast<char>(trail)};
        pair[(lead << 8) | trail] = decode(in, 2);
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
        encode[cp] = static_cast<unsigned char>(out[0]);
      else if (n == 2)
        encode[cp] = static_cast<uint16_t>((static_cast<unsigned char>(out[0]) << 8) |
                                           static_cast<unsigned char>(out[1]));
    }
    iconv_close(dec);
    iconv_close(enc);
  }
};

const Tables& T() {
  static const auto* tables = new Tables();  // never destroyed: usable during static teardown
  return *tables;
}

template <typename Sink>
void DecodeSjis(std::string_view s, Sink&& sink) {
  const Tables& t = T();
  size_t i = 0;
  while (i < s.size()) {
    auto b = static_cast<unsigned char>(s[i]);
    if (IsSjisLeadByte(b)) {
      if (i + 1 < s.size() && IsSjisTrailByte(static_cast<unsigned char>(s[i + 1]))) {
        char16_t u = t.pair[(b << 8) | static_cast<unsigned char>(s[i + 1])];
        sink(u == kUnmapped ? kReplacement : u);
        i += 2;
      } else {
        ++i;  // a lead byte without its trail byte is dropped
      }
      continue;
    }
    char16_t u = t.single[b];
    sink(b != 0 && u == kUnmapped ? kReplacement : u);
    ++i;
  }
}

void AppendEncoded(SjisString& out, uint32_t cp) {
  if (cp == 0) {
    out.push_back('\0');
    return;
  }
  uint16_t code = cp < 0x10000 ? T().encode[cp] : 0;
  if (code == 0)
    out.push_back('?');
  else if (code < 0x100)
    out.push_back(static_cast<char>(code));
  else {
    out.push_back(static_cast<char>(code >> 8));
    out.push_back(static_cast<char>(code & 0xFF));
  }
}

void AppendUtf8(std::string& out, char16_t u) {
  if (u < 0x80) {
    out.push_back(static_cast<char>(u));
  } else if (u < 0x800) {
    out.push_back(static_cast<char>(0xC0 | (u >> 6)));
    out.push_back(static_cast<char>(0x80 | (u & 0x3F)));
  } else {
    out.push_back(static_cast<char>(0xE0 | (u >> 12)));
    out.push_back(static_cast<char>(0x80 | ((u >> 6) & 0x3F)));
    out.push_back(static_cast<char>(0x80 | (u & 0x3F)));
  }
}

}  // namespace

bool IsSjisLeadByte(unsigned char b) {
  return (b >= 0x81 && b <= 0x9F) || (b >= 0xE0 && b <= 0xFC);
}

bool IsSjisTrailByte(unsigned char b) {
  return (b >= 0x40 && b <= 0x7E) || (b >= 0x80 && b <= 0xFC);
}

std::u16string SjisToUtf16(std::string_view sjis) {
  std::u16string out;
  out.reserve(sjis.size());
  DecodeSjis(sjis, [&](char16_t u) { out.push_back(u); });
  return out;
}

std::string SjisToUtf8(std::string_view sjis) {
  std::string out;
  out.reserve(sjis.size() * 3 / 2);
  DecodeSjis(sjis, [&](char16_t u) { AppendUtf8(out, u); });
  return out;
}

SjisString Utf16ToSjis(std::u16string_view s) {
  SjisString out;
  out.reserve(s.size() * 2);
  for (size_t i = 0; i < s.size(); ++i) {
    char16_t u = s[i];
    if (u >= 0xD800 && u <= 0xDBFF && i + 1 < s.size() && s[i + 1] >= 0xDC00 &&
        s[i + 1] <= 0xDFFF) {
      ++i;  // a character beyond the BMP: never in code page 932
      out.push_back('?');
    } else if (u >= 0xD800 && u <= 0xDFFF) {
      out.push_back('?');
    } else {
      AppendEncoded(out, u);
    }
  }
  return out;
}

SjisString Utf8ToSjis(std::string_view s) {
  SjisString out;
  out.reserve(s.size());
  size_t i = 0;
  while (i < s.size()) {
    auto b = static_cast<unsigned char>(s[i]);
    int len = b < 0x80 ? 1 : (b >> 5) == 0x6 ? 2 : (b >> 4) == 0xE ? 3 : (b >> 3) == 0x1E ? 4 : 0;
    if (len == 0 || i + len > s.size()) {
      out.push_back('?');
      ++i;
      continue;
    }
    uint32_t cp = len == 1 ? b : len == 2 ? (b & 0x1F) : len == 3 ? (b & 0x0F) : (b & 0x07);
    bool ok = true;
    for (int k = 1; k < len; ++k) {
      auto c = static_cast<unsigned char>(s[i + k]);
      if ((c & 0xC0) != 0x80) {
        ok = false;
        break;
      }
      cp = (cp << 6) | (c & 0x3F);
    }
    static constexpr uint32_t kMin[] = {0, 0, 0x80, 0x800, 0x10000};
    if (!ok || cp < kMin[len] || cp > 0x10FFFF || (cp >= 0xD800 && cp <= 0xDFFF)) {
      out.push_back('?');
      ++i;
      continue;
    }
    AppendEncoded(out, cp);
    i += len;
  }
  return out;
}

std::string_view DropCutLeadByte(std::string_view s) {
  // Walk from the start: only a walk knows whether the last byte is a lead or a trail byte.
  size_t i = 0;
  while (i < s.size()) {
    if (IsSjisLeadByte(static_cast<unsigned char>(s[i]))) {
      if (i + 1 >= s.size()) return s.substr(0, i);
      i += 2;
    } else {
      ++i;
    }
  }
  return s;
}

}  // namespace tavolen
