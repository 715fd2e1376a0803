#include "jvlink/Sjis.h"

#include "jvlink/SjisTables.h"

#include <cstring>
#include <utility>

#if defined(__SSE2__)
#include <emmintrin.h>
#endif

namespace tavolen {
namespace {

constexpr char16_t kUnmapped = 0;
constexpr char16_t kReplacement = 0xFFFD;

// The points where the platforms' converters disagree, fixed to one answer: glibc also
// encodes a few characters of older Shift-JIS converters (yen sign, overline, wave dash...);
// Windows maps 0x80 and four private-use characters that glibc leaves undefined.
void FixDisputedPoints(SjisTables& t) {
  t.single[0x80] = kUnmapped;
  t.encode[0x80] = 0;
  for (char16_t u = 0xF8F0; u <= 0xF8F3; ++u) t.encode[u] = 0;
  static constexpr std::pair<char16_t, uint16_t> kAlso[] = {
      {0x00A2, 0x8191}, {0x00A3, 0x8192}, {0x00A5, 0x5C},   {0x00AC, 0x81CA}, {0x2014, 0x815C},
      {0x2016, 0x8161}, {0x203E, 0x7E},   {0x2212, 0x817C}, {0x301C, 0x8160}};
  for (auto [u, code] : kAlso) t.encode[u] = code;
}

const SjisTables& T() {
  static const auto* tables = [] {
    auto* t = new SjisTables();
    BuildSjisTables(*t);
    FixDisputedPoints(*t);
    return t;
  }();  // never destroyed: usable during static teardown
  return *tables;
}

template <typename Sink>
void DecodeSjis(std::string_view s, Sink&& sink) {
  const SjisTables& t = T();
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

// Writes the bytes of a character (cp: its code point) at p and returns the end: NUL as itself,
// a character the code page lacks as '?'.
char* PutEncoded(char* p, uint32_t cp, const std::array<uint16_t, 65536>& encode) {
  if (cp == 0) {
    *p++ = '\0';
    return p;
  }
  const uint16_t code = cp < 0x10000 ? encode[cp] : 0;
  if (code == 0) {
    *p++ = '?';
  } else if (code < 0x100) {
    *p++ = static_cast<char>(code);
  } else {
    *p++ = static_cast<char>(code >> 8);
    *p++ = static_cast<char>(code & 0xFF);
  }
  return p;
}

void AppendEncoded(SjisString& out, uint32_t cp) {
  char bytes[2];
  out.append(bytes, static_cast<size_t>(PutEncoded(bytes, cp, T().encode) - bytes));
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
  // Written straight into a buffer of the longest possible length: records of several hundred
  // characters are converted at every read, so no per-character growth checks.
  const std::array<uint16_t, 65536>& encode = T().encode;
  // Records are mostly ASCII digits and blanks, which code page 932 keeps as they are.
  static const bool asciiKept = [&encode] {
    for (char16_t u = 1; u < 0x80; ++u)
      if (encode[u] != u) return false;
    return true;
  }();
  SjisString out(s.size() * 2, '\0');
  char* p = out.data();
  for (size_t i = 0; i < s.size(); ++i) {
    // ASCII characters sixteen or eight at a time while they last (NUL is kept as it is too).
    if (asciiKept) {
#if defined(__SSE2__)
      const __m128i high = _mm_set1_epi16(static_cast<short>(0xFF80)), zero = _mm_setzero_si128();
      while (i + 16 <= s.size()) {
        const __m128i a = _mm_loadu_si128(reinterpret_cast<const __m128i*>(s.data() + i));
        const __m128i b = _mm_loadu_si128(reinterpret_cast<const __m128i*>(s.data() + i + 8));
        const __m128i over = _mm_and_si128(_mm_or_si128(a, b), high);
        if (_mm_movemask_epi8(_mm_cmpeq_epi16(over, zero)) != 0xFFFF) break;
        _mm_storeu_si128(reinterpret_cast<__m128i*>(p), _mm_packus_epi16(a, b));
        p += 16;
        i += 16;
      }
#endif
      while (i + 8 <= s.size()) {
        uint64_t a, b;
        std::memcpy(&a, s.data() + i, 8);
        std::memcpy(&b, s.data() + i + 4, 8);
        if ((a | b) & 0xFF80FF80FF80FF80ULL) break;
        for (int k = 0; k < 8; ++k) p[k] = static_cast<char>(s[i + k]);
        p += 8;
        i += 8;
      }
      if (i >= s.size()) break;
    }
    const char16_t u = s[i];
    if (u >= 0xD800 && u <= 0xDFFF) {
      // A character beyond the BMP (never in code page 932) or a lone surrogate.
      if (u <= 0xDBFF && i + 1 < s.size() && s[i + 1] >= 0xDC00 && s[i + 1] <= 0xDFFF) ++i;
      *p++ = '?';
      continue;
    }
    p = PutEncoded(p, u, encode);
  }
  out.resize(static_cast<size_t>(p - out.data()));
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
