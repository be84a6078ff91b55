#pragma once
// Writes the game's install key for the tests that read the real registry. Where there is no
// machine registry (Linux) or it cannot be written (no administrator rights), Available() says why.
#include <string>

namespace settingstest {

class InstallKey {
 public:
  InstallKey();   // creates HKLM\SOFTWARE\Tencent\Blade_and_Soul when it can
  ~InstallKey();  // removes what the test wrote
  InstallKey(const InstallKey&) = delete;
  InstallKey& operator=(const InstallKey&) = delete;

  // Empty when the key can be written; otherwise the reason it cannot.
  const std::string& Unavailable() const { return unavailable_; }
  // Stores InstallPath as REG_SZ with exactly these units (a zero inside or at the end is the caller's).
  bool SetInstallPath(const std::u16string& units);

 private:
  std::string unavailable_;
  void* key_ = nullptr;
};

}  // namespace settingstest
