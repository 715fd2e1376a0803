#include "base/AutomaticStep.h"

#include "base/Desktop.h"
#include "base/ErrorLog.h"
#include "jvlink/TextLines.h"

namespace tavolen {

SjisString OneLineText(SjisString text) {
  // A line break (CR LF, CR or LF) becomes one blank.
  SjisString out;
  for (size_t i = 0; i < text.size(); ++i) {
    const char c = text[i];
    if (c == '\r' && i + 1 < text.size() && text[i + 1] == '\n') continue;
    out += c == '\r' || c == '\n' ? ' ' : c;
  }
  return SjisString(TrimBlanks(out));
}

AutomaticStep::AutomaticStep(SjisString name, SjisString headline, ErrorLog& errorLog,
                             Desktop& desktop)
    : name_(std::move(name)),
      headline_(std::move(headline)),
      errorLog_(errorLog),
      desktop_(desktop) {}

SjisString AutomaticStep::NextText() const {
  if (!retryAt_) return {};
  const std::string hhnn = FormatHhnn(*retryAt_);
  return Sj("（次の確認 ") + hhnn.substr(0, 2) + ":" + hhnn.substr(2, 2) + Sj("）");
}

SjisString AutomaticStep::StatusText() const {
  if (!failing_) return {};
  return headline_ + Sj("：") + reason_ + NextText();
}

void AutomaticStep::Failed(const SjisString& reason, const LocalDateTime& retryAt,
                           const SjisString& context, bool logged) {
  reason_ = OneLineText(reason);
  retryAt_ = retryAt;
  ++failures_;
  // A log that cannot be written costs the line only: no box on this path.
  if (!logged) {
    [[maybe_unused]] const FileStatus st =
        errorLog_.RecordError(name_ + context + Sj("：") + reason_ + NextText());
  }
  if (failing_) return;
  failing_ = true;
  ++notifications_;
  desktop_.ShowStatusNotification(name_, headline_ + Sj("。\r\n") + reason_ + NextText(), 10);
}

void AutomaticStep::Succeeded() {
  retryAt_.reset();
  if (!failing_) return;
  failing_ = false;
  reason_.clear();
  ++recoveries_;
  ++notifications_;
  const SjisString text = name_ + Sj("は復旧しました");
  [[maybe_unused]] const FileStatus st = errorLog_.RecordNote(text);
  desktop_.ShowStatusNotification(name_, text, 10);
}

void AutomaticStep::Reset() {
  failing_ = false;
  reason_.clear();
  retryAt_.reset();
}

}  // namespace tavolen
