#include "tests/settings/machine_registry.h"

namespace settingstest {

InstallKey::InstallKey() : unavailable_("this system has no machine registry") {}
InstallKey::~InstallKey() = default;
bool InstallKey::SetInstallPath(const std::u16string&) { return false; }

}  // namespace settingstest
