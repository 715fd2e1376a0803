// Fuzzes the code page 932 codec: decoding and encoding never crash or read past their input,
// both decoders agree, a second round trip changes nothing, and DropCutLeadByte removes at most
// one lead byte at the end.
#include <cstdint>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <memory>
#include <string>
#include <string_view>

#include "fuzz/FuzzSupport.h"
#include "jvlink/Sjis.h"

namespace tavolen {
namespace {

void CheckDropCutLeadByte(std::string_view s) {
  std::string_view d = DropCutLeadByte(s);
  FUZZ_CHECK(d.data() == s.data());
  FUZZ_CHECK(d.size() == s.size() ||
             (d.size() + 1 == s.size() && IsSjisLeadByte(static_cast<unsigned char>(s.back()))));
  FUZZ_CHECK(DropCutLeadByte(d) == d);
}

void Run(std::string_view input) {
  const std::u16string utf16 = SjisToUtf16(input);
  FUZZ_CHECK(utf16.size() <= input.size());
  const SjisString again = Utf16ToSjis(utf16);
  FUZZ_CHECK(Utf8ToSjis(SjisToUtf8(input)) == again);
  // Every decoded character encodes; only the replacement character becomes "?".
  const std::u16string utf16Again = SjisToUtf16(again);
  FUZZ_CHECK(utf16Again.size() == utf16.size());
  for (size_t i = 0; i < utf16.size(); ++i)
    FUZZ_CHECK(utf16Again[i] == (utf16[i] == u'\xFFFD' ? u'?' : utf16[i]));
  FUZZ_CHECK(Utf16ToSjis(utf16Again) == again);

  // The input read as UTF-16 and as UTF-8 (mostly invalid) encodes without a crash.
  std::u16string units(input.size() / 2, u'\0');
  for (size_t i = 0; i < units.size(); ++i)
    units[i] = static_cast<char16_t>(static_cast<unsigned char>(input[2 * i]) |
                                     (static_cast<unsigned char>(input[2 * i + 1]) << 8));
  const SjisString fromUnits = Utf16ToSjis(units);
  SjisToUtf16(fromUnits);
  Utf8ToSjis(input);

  CheckDropCutLeadByte(input);
  // Each short prefix in a buffer of its exact size, so that a read past it is caught.
  for (size_t n = 0; n < input.size() && n < 64; ++n) {
    std::unique_ptr<char[]> exact(new char[n]);
    std::memcpy(exact.get(), input.data(), n);
    CheckDropCutLeadByte(std::string_view(exact.get(), n));
    SjisToUtf16(std::string_view(exact.get(), n));
  }
}

}  // namespace
}  // namespace tavolen

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
  tavolen::Run(std::string_view(reinterpret_cast<const char*>(data), size));
  return 0;
}
