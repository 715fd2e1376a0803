// Builds fixed-width JV-Data records: a blank record of the layout's length ending in CR LF,
// with fields written at their 1-based byte positions.
#pragma once

#include <string>
#include <string_view>

#include "jvlink/JVData_Structure.h"
#include "jvlink/Sjis.h"

namespace tavolen {

class RecordWriter {
 public:
  // length includes the CR LF that ends the record.
  explicit RecordWriter(int length);

  // Writes text into the field: cut at a character boundary when it is longer, padded with
  // half-width blanks when shorter. Nothing is written outside the record's data bytes.
  RecordWriter& Put(FieldDef field, std::string_view text);
  RecordWriter& Put(int pos, int len, std::string_view text) {
    return Put(FieldDef{pos, len}, text);
  }
  // A number right-aligned and zero-filled in the field ("05").
  RecordWriter& PutNumber(FieldDef field, long long value);
  RecordWriter& PutNumber(int pos, int len, long long value) {
    return PutNumber(FieldDef{pos, len}, value);
  }

  const SjisString& Bytes() const { return bytes_; }

 private:
  SjisString bytes_;
};

// Code page 932 text cut to at most `bytes` bytes without splitting a double-byte character,
// then padded to exactly `bytes` with full-width blanks (and one half-width blank for an odd
// remainder), the way JV-Data pads its full-width name fields.
SjisString PadFullWidth(std::string_view sjis, int bytes);

// value as `width` zero-filled digits.
std::string ZeroFilled(long long value, int width);

}  // namespace tavolen
