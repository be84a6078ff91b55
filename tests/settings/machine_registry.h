#pragma once
// Writes the game's install key for the tests that read the real registry. Where there is no
// machine registry (Linux) or it cannot be written (no administrator rights), Unavailable() says why.
#include <string>

namespace settingstest {

// The registry view a key is written in: the 32-bit one (Wow6432Node on 64-bit Windows), where the
// game's 32-bit installer writes, or the 64-bit one.
enum class RegistryView { k32Bit, k64Bit };

class InstallKey {
 public:
  // Creates HKLM\SOFTWARE\Tencent\Blade_and_Soul in that view when it can.
  explicit InstallKey(RegistryView view = RegistryView::k32Bit);
  ~InstallKey();  // removes what the test wrote
  InstallKey(const InstallKey&) = delete;
  InstallKey& operator=(const InstallKey&) = delete;

  // Empty when the key can be written; otherwise the reason it cannot.
  const std::string& Unavailable() const { return unavailable_; }
  // Stores InstallPath as REG_SZ with exactly these units (a zero inside or at the end is the caller's).
  bool SetInstallPath(const std::u16string& units);
  // 64-bit Windows keeps two views apart; 32-bit Windows has one.
  static bool ViewsAreSeparate();

 private:
  std::string unavailable_;
  void* key_ = nullptr;
  unsigned long viewFlag_ = 0;
};

}  // namespace settingstest
