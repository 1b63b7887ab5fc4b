#include "active_profile.h"

#include <atomic>
#include <cstdio>

#include "builtin_profiles.h"
#include "profile_parser.h"
#include "sim_system.h"

namespace sim {
namespace {

std::atomic<const ActiveProfile*> currentProfile{nullptr};

bool ReadFile(const std::string& path, std::string& contents) {
  std::FILE* file = std::fopen(path.c_str(), "rb");
  if (file == nullptr) return false;
  char chunk[4096];
  size_t got = 0;
  while ((got = std::fread(chunk, 1, sizeof chunk, file)) > 0) contents.append(chunk, got);
  const bool failed = std::ferror(file) != 0;
  std::fclose(file);
  return !failed;
}

}  // namespace

void LoadProfile(const std::string& profileSetting, const std::string& injectSetting, ActiveProfile& loaded) {
  loaded.profileSetting = profileSetting;
  loaded.injectSetting = injectSetting;
  const std::string name = profileSetting.empty() ? kDefaultProfileName : profileSetting;
  std::string error;
  bool usable = false;
  if (const char* builtin = FindBuiltinProfile(name)) {
    usable = ParseProfileText(builtin, loaded.profile, error);
  } else {
    std::string contents;
    if (!ReadFile(name, contents)) {
      error = "no built-in profile and no readable file of that name";
    } else {
      usable = ParseProfileText(contents, loaded.profile, error);
    }
  }
  if (!usable) {
    loaded.fileError = name + ": " + error;
    loaded.error = std::string(kProfileVariable) + "=" + loaded.fileError;
  } else if (!ParseInjection(injectSetting, loaded.profile, error)) {
    usable = false;
    loaded.error = std::string(kInjectVariable) + ": " + error;
    loaded.fileError = loaded.error;
  }
  if (!usable) loaded.profile = Profile{};
}

const ActiveProfile& CurrentProfile() {
  const ActiveProfile* current = currentProfile.load(std::memory_order_acquire);
  if (current != nullptr && EnvironmentHolds(kProfileVariable, current->profileSetting) &&
      EnvironmentHolds(kInjectVariable, current->injectSetting)) {
    return *current;
  }
  std::string profileSetting;
  std::string injectSetting;
  ReadEnvironment(kProfileVariable, profileSetting);
  ReadEnvironment(kInjectVariable, injectSetting);
  auto* fresh = new ActiveProfile;
  LoadProfile(profileSetting, injectSetting, *fresh);
  fresh->previous = current;
  while (!currentProfile.compare_exchange_weak(fresh->previous, fresh, std::memory_order_acq_rel)) {
    const ActiveProfile* published = fresh->previous;
    if (published != nullptr && published->profileSetting == profileSetting &&
        published->injectSetting == injectSetting) {
      delete fresh;  // another thread published the same settings first
      return *published;
    }
  }
  std::string host;
  const bool checking = ReadEnvironment(kLoaderHangVariable, host) && host == kCheckingHost;
  if (!fresh->error.empty() && !checking) ReportProblem(fresh->error + " (answering as if there were no tablet)");
  return *fresh;
}

}  // namespace sim
