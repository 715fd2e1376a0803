#include <windows.h>

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
  auto encode = [](char16_t unit, char* out) -> int {
    wchar_t in = static_cast<wchar_t>(unit);
    BOOL usedDefault = FALSE;
    int n = WideCharToMultiByte(932, WC_NO_BEST_FIT_CHARS, &in, 1, out, 8, nullptr, &usedDefault);
    return usedDefault ? 0 : n;
  };
  FillSjisTables(t, decode, encode);
}

}  // namespace tavolen
