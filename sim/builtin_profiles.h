// The tablets that the simulated library knows by name. Each is profile
// text in the documented format, so the built-ins double as examples.
#pragma once

#include <span>
#include <string_view>

namespace sim {

struct BuiltinProfile {
  const char* name;
  const char* summary;  // one line for the README and diagnostics
  const char* text;
};

// The profile used when PADSCOPE_SIM_PROFILE is unset or empty.
inline constexpr const char* kDefaultProfileName = "default";

std::span<const BuiltinProfile> BuiltinProfiles();

// The text of the built-in profile `name`, or null.
const char* FindBuiltinProfile(std::string_view name);

}  // namespace sim
