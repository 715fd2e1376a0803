// Finds horses among the runner records stored in the race files, by part of the name, so that
// the user can mark a horse that is not on the card shown. Pure C++.
#pragma once

#include <functional>
#include <string_view>
#include <vector>

#include "jvlink/FileIO.h"
#include "jvlink/Sjis.h"

namespace tavolen {

struct FoundHorse {
  SjisString registrationNumber;
  SjisString name;     // unpadded, as in the latest entry file that holds the horse
  SjisString dateKey;  // the date of that entry file
  friend bool operator==(const FoundHorse&, const FoundHorse&) = default;
};

// Every horse of the entry files ("*.jvSEr") in the data folder whose name the matcher accepts,
// once per registration number (with its latest name), sorted by name; at most maxResults.
std::vector<FoundHorse> FindHorses(const fs::path& dataFolder,
                                   const std::function<bool(std::string_view name)>& matches,
                                   size_t maxResults = 200);

}  // namespace tavolen
