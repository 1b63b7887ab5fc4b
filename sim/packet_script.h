// The pen script of a profile and the behaviour of the pen entry points:
//   packet <field> <value> [<field> <value>]...
//   call <WTOpenW|WTEnable|WTPacketsGet|WTClose> <action>...
// (described for driver developers in README.md).
#pragma once

#include <string>
#include <string_view>
#include <vector>

#include "profile.h"

namespace sim {

// "WTOpenW", "WTEnable", "WTPacketsGet" or "WTClose".
bool IsPenEntryName(std::string_view name);

// words: field, value, field, value... Fields not named keep the value of
// the packet before (0 for the first), except serial (one more) and time
// (5 more; 0 for the first). "packet none" empties the script so far.
bool AddScriptedPacket(const std::vector<std::string_view>& words, Profile& profile, std::string& error);

// words: the entry point's name, then its actions. Several lines for one
// entry point combine; a later fault replaces an earlier one.
bool AddPenCallBehaviour(const std::vector<std::string_view>& words, Profile& profile, std::string& error);

}  // namespace sim
