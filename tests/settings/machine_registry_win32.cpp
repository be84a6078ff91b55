#include "tests/settings/machine_registry.h"

#include <windows.h>

#include "settings/game_directory.h"

namespace settingstest {

namespace {

const wchar_t* Wide(const char16_t* text) { return reinterpret_cast<const wchar_t*>(text); }

}  // namespace

InstallKey::InstallKey(RegistryView view)
    : viewFlag_(view == RegistryView::k32Bit ? KEY_WOW64_32KEY : KEY_WOW64_64KEY) {
  HKEY key = nullptr;
  const LONG status = RegCreateKeyExW(HKEY_LOCAL_MACHINE, Wide(settings::kInstallKeyPath), 0, nullptr, 0,
                                      KEY_SET_VALUE | viewFlag_, nullptr, &key, nullptr);
  if (status != ERROR_SUCCESS) {
    unavailable_ = "HKEY_LOCAL_MACHINE cannot be written here (error " + std::to_string(status) + ")";
    return;
  }
  key_ = key;
}

InstallKey::~InstallKey() {
  if (key_ == nullptr) return;
  RegCloseKey(static_cast<HKEY>(key_));
  // Best effort: a leftover key names a directory that is gone with its test.
  RegDeleteKeyExW(HKEY_LOCAL_MACHINE, Wide(settings::kInstallKeyPath), viewFlag_, 0);
}

bool InstallKey::SetInstallPath(const std::u16string& units) {
  if (key_ == nullptr) return false;
  const auto bytes = static_cast<DWORD>(units.size() * sizeof(char16_t));
  return RegSetValueExW(static_cast<HKEY>(key_), Wide(settings::kInstallPathValue), 0, REG_SZ,
                        reinterpret_cast<const BYTE*>(units.data()), bytes) == ERROR_SUCCESS;
}

bool InstallKey::ViewsAreSeparate() {
#ifdef _WIN64
  return true;
#else
  BOOL wow64 = FALSE;
  return IsWow64Process(GetCurrentProcess(), &wow64) && wow64;
#endif
}

}  // namespace settingstest
