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
// The race-condition text as it read on the race's date (yyyymmdd, the first eight characters
// of a race key): from 1 June 2019 the classes 005, 010 and 016 are named "1勝クラス",
// "2勝クラス" and "3勝クラス"; every other code, and every earlier or unreadable date, gives
// RaceConditionName.
SjisString RaceConditionNameOn(std::string_view code, std::string_view yyyymmdd);
SjisString ScratchKindName(std::string_view code);
SjisString ScratchReasonName(std::string_view code);
SjisString CircledNumber(std::string_view number);

// The message for a JV-Link result: the explanation for operation and code, then "(code)".
SjisString JVResultMessage(std::string_view operation, int code);

}  // namespace tavolen
