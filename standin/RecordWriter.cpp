#include "standin/RecordWriter.h"

#include <algorithm>

namespace tavolen {
namespace {

// The longest prefix of at most n bytes that ends on a character boundary.
size_t WholeCharacters(std::string_view sjis, size_t n) {
  size_t i = 0;
  while (i < sjis.size()) {
    size_t w = IsSjisLeadByte(static_cast<unsigned char>(sjis[i])) ? 2 : 1;
    if (i + w > n || i + w > sjis.size()) break;
    i += w;
  }
  return i;
}

}  // namespace

RecordWriter::RecordWriter(int length) : bytes_(static_cast<size_t>(std::max(length, 2)), ' ') {
  bytes_[bytes_.size() - 2] = '\r';
  bytes_[bytes_.size() - 1] = '\n';
}

RecordWriter& RecordWriter::Put(FieldDef field, std::string_view text) {
  const long long dataEnd = static_cast<long long>(bytes_.size()) - 2;
  if (field.pos < 1 || field.len <= 0 || field.pos - 1 + field.len > dataEnd) return *this;
  const size_t keep = WholeCharacters(text, static_cast<size_t>(field.len));
  std::string cell(text.substr(0, keep));
  cell.resize(static_cast<size_t>(field.len), ' ');
  bytes_.replace(static_cast<size_t>(field.pos - 1), cell.size(), cell);
  return *this;
}

RecordWriter& RecordWriter::PutNumber(FieldDef field, long long value) {
  return Put(field, ZeroFilled(value, field.len));
}

SjisString PadFullWidth(std::string_view sjis, int bytes) {
  static const SjisString blank = Sj("　");
  if (bytes <= 0) return {};
  SjisString out(sjis.substr(0, WholeCharacters(sjis, static_cast<size_t>(bytes))));
  while (out.size() + 2 <= static_cast<size_t>(bytes)) out += blank;
  if (out.size() < static_cast<size_t>(bytes)) out += ' ';
  return out;
}

std::string ZeroFilled(long long value, int width) {
  std::string digits = std::to_string(value < 0 ? -value : value);
  if (static_cast<int>(digits.size()) > width) digits = digits.substr(digits.size() - width);
  return std::string(static_cast<size_t>(width) - digits.size(), '0') + digits;
}

}  // namespace tavolen
