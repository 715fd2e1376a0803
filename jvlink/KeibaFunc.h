// Code tables and fixed-width text helpers: record codes into display text, and the wording of
// JV-Link result codes. Pure functions over code page 932 byte strings; lengths are bytes.
#pragma once

#include <string>
#include <string_view>

#include "jvlink/Sjis.h"

namespace tavolen {

SjisString AddMinutesHHNN(std::string_view hhnn, int minutes);
SjisString OverwriteAt(std::string_view text, std::string_view piece, int position);
SjisString PadNumber(std::string_view digits);
SjisString CourseName(std::string_view code, int form = 2);
SjisString WeatherName(std::string_view code);
SjisString GoingName(std::string_view code, int surface);
SjisString TrackName(std::string_view code);
SjisString SexName(std::string_view code);
SjisString WeightRuleName(std::string_view code);
SjisString RaceConditionName(std::string_view code);
SjisString ScratchKindName(std::string_view code);
SjisString ScratchReasonName(std::string_view code);
SjisString CircledNumber(std::string_view number);

// The message for a JV-Link result: the explanation for operation and code, then "(code)".
SjisString JVResultMessage(std::string_view operation, int code);

}  // namespace tavolen
