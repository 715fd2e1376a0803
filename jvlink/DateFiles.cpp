#include "jvlink/DateFiles.h"

#include <algorithm>

#include "jvlink/FileIO.h"
#include "jvlink/JVData_Structure.h"
#include "jvlink/TextLines.h"

namespace tavolen {

const char* ChangeExtension(ChangeType type) {
  switch (type) {
    case ChangeType::WE:
      return ".jvWE";
    case ChangeType::AV:
      return ".jvAV";
    case ChangeType::JC:
      return ".jvJC";
    case ChangeType::TC:
      return ".jvTC";
    case ChangeType::CC:
      return ".jvCC";
  }
  return "";
}

SjisString RecordDateKey(std::string_view record) {
  static const SjisString year = Sj("年"), month = Sj("月"), day = Sj("日");
  if (!AllDigits(Cut(record, Header::Date))) return {};
  return Cut(record, Header::Year) + year + Cut(record, Header::Month) + month +
         Cut(record, Header::Day) + day;
}

SjisString DateFileName(std::string_view dateKey, std::string_view suffix) {
  SjisString name(dateKey);
  name += suffix;
  return name;
}

SjisString FileDateKey(const std::filesystem::path& dateFile) {
  const SjisString name = PathText(dateFile.filename());
  return name.substr(0, std::min(name.size(), kDateKeyLength));
}

std::filesystem::path SiblingDateFile(const std::filesystem::path& dateFile,
                                      std::string_view suffix) {
  if (dateFile.empty()) return {};
  std::filesystem::path p = dateFile;
  p.replace_extension(std::string(suffix));
  return p;
}

}  // namespace tavolen
