// The profile text format (described for driver developers in README.md):
// one directive per line, "#" starts a comment, a trailing "\" continues
// the line.
//   base <built-in profile>
//   item <category> <index> <encoding> <values...> [<encoding> <values...>...]
//   patch <category> <index> <offset> <encoding> <values...>
//   on <category> <index> <probe|real> <action>...
//   packet <field> <value>...              (packet_script.h)
//   call <pen entry point> <action>...     (packet_script.h)
//   version <key> "<text>" | version <key> none
//   lacks <entry point>...
//   load hang | release hang
#pragma once

#include <string>
#include <string_view>

#include "profile.h"

namespace sim {

// Adds the directives of `text` to `profile`. On failure returns false and
// `error` names the line ("line 7: ..."); `profile` may then hold part of
// the text and must be discarded.
bool ParseProfileText(std::string_view text, Profile& profile, std::string& error);

// Adds behaviours written as in the injection variable:
// "<category>,<index>,<probe|real>,<action>[,<action>...]", several of
// them separated by ";". Blanks around the parts are ignored. A pen entry
// point takes the place of the first three parts: "WTPacketsGet,hang".
bool ParseInjection(std::string_view text, Profile& profile, std::string& error);

// The faults every entry point can be told to commit: segv, ill, fpe,
// stack, raise, raise:CODE, hang, hang-once. False (nothing set) for other words.
bool ParseMisconduct(std::string_view action, Misconduct& misconduct, uint32_t& raiseCode);

}  // namespace sim
