// The profile that the environment selects right now:
//   PADSCOPE_SIM_PROFILE  a built-in profile name or the path of a profile
//                         file; unset or empty means "default";
//   PADSCOPE_SIM_INJECT   behaviours added to it (see ParseInjection).
// Both variables are read on every call; a profile is parsed again only
// when one of them has changed.
#pragma once

#include <string>

#include "profile.h"

namespace sim {

inline constexpr char kProfileVariable[] = "PADSCOPE_SIM_PROFILE";
inline constexpr char kInjectVariable[] = "PADSCOPE_SIM_INJECT";
// PADSCOPE_SIM_LOADER_HANG=check: the host only checks the profile and says
// itself what is wrong with it (no message, no loader hang).
inline constexpr char kLoaderHangVariable[] = "PADSCOPE_SIM_LOADER_HANG";
inline constexpr char kCheckingHost[] = "check";

struct ActiveProfile {
  std::string profileSetting;  // the two variables as they were read
  std::string injectSetting;
  Profile profile;             // empty when the settings could not be used
  std::string error;           // why not; empty when they could
  std::string fileError;       // the same, naming the profile's file or name first
  // The profile this one replaced. Kept so that every profile ever built
  // stays reachable (leak checkers see a chain, not a leak).
  const ActiveProfile* previous = nullptr;
};

// Never fails. The returned profile is never freed: a thread that a host
// abandons inside a call (hung, terminated) may still hold it, so every
// profile lives until the process ends. Safe to call on any thread.
const ActiveProfile& CurrentProfile();

// Builds the profile for the two settings (used by CurrentProfile).
void LoadProfile(const std::string& profileSetting, const std::string& injectSetting, ActiveProfile& loaded);

}  // namespace sim
