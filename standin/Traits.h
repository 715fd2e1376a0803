// Behaviours of the real component that the contract leaves open or that were reported, made
// switchable for tests by a small text file "traits.txt" in the stand-in's folder:
//
//   # comment
//   size back         JVRead writes the record's length (its code page 932 bytes) into size
//   size cut          the same, and a record as long as the size passed or longer is cut to
//                     size - 1 bytes (a character cut in two is dropped)
//   downloading 3     the first 3 JVRead calls of a session answer -3, as while the component
//                     still downloads
//   update box 5      JVOpen and JVRTOpen first show JV-Link's modal update question, answered
//                     after 5 seconds by a timer standing in for the user (the COM stand-in)
//   version 0492      the property m_JVLinkVersion gives "0492" (default: "0500" in the 64-bit
//                     COM stand-in, as JV-Link 5.0.0 states it, "0490" in the 32-bit one)
//   version none      the component has no such property
//
// The file is read at every JVOpen and JVRTOpen. Lines that cannot be read are ignored.
#pragma once

#include <string>
#include <string_view>

#include "jvlink/FileIO.h"

namespace tavolen {

inline constexpr std::string_view kStandInTraitsFileName = "traits.txt";

struct StandInTraits {
  bool sizeBack = false;
  bool sizeCut = false;
  int downloadingReads = 0;
  int updateBoxSeconds = -1;  // below 0: no update box
  // The text m_JVLinkVersion gives; empty: the default of the bitness.
  std::string version;
  bool noVersion = false;  // "version none": the component has no such property

  friend bool operator==(const StandInTraits&, const StandInTraits&) = default;
};

StandInTraits ParseTraits(std::string_view text);
// The traits in folder's traits file; none when there is no file.
StandInTraits LoadTraits(const fs::path& folder);

// A record as a component that cuts at size gives it: at most size - 1 bytes, never half a
// character.
SjisString CutRecord(const SjisString& record, int size);

}  // namespace tavolen
