#include "tests/settings/machine_registry.h"

namespace settingstest {

InstallKey::InstallKey(RegistryView) : unavailable_("this system has no machine registry") {}
InstallKey::~InstallKey() = default;
bool InstallKey::SetInstallPath(const std::u16string&) { return false; }
bool InstallKey::ViewsAreSeparate() { return false; }

}  // namespace settingstest
