#pragma once
// The tool's only window: shows the game directory and runs the launch actions.
#include <windows.h>

#include <memory>
#include <string>

#include "app/app_module.h"
#include "app/dialog_impl.h"
#include "patch/game_patcher.h"
#include "platform/unique_resource.h"


struct IconTraits {
  using Value = HICON;
  static HICON Invalid() noexcept { return nullptr; }
  static void Close(HICON icon) noexcept {
    const DWORD error = GetLastError();
    DestroyIcon(icon);
    SetLastError(error);
  }
};
using UniqueIcon = platform::UniqueResource<IconTraits>;

class CMainDlg : public CDialogImpl {
 public:
  explicit CMainDlg(const CAppModule& module);
  ~CMainDlg() override;

  // Runs the dialog from template IDD_MAINDLG; the result is the process's exit code.
  INT_PTR DoModal(HWND owner);

 protected:
  bool HandleMessage(UINT message, WPARAM wParam, LPARAM lParam, LRESULT& result) override;

 private:
  // One launch button: two patcher operations, the second run only after the first succeeded.
  struct LaunchAction {
    GamePatcher::Operation first;
    GamePatcher::Operation second;
    const wchar_t* failureText;
  };
  static const LaunchAction kLaunchOfficial;
  static const LaunchAction kLaunchPatched;
  static const LaunchAction kLaunchSummoner;

  LRESULT OnInitDialog();
  void OnCancel();
  void OnLaunch(const LaunchAction& action);
  // The action's two operations under the wait cursor, after any other copy's action on the same
  // game directory has ended; true when both succeeded.
  bool RunOperations(const LaunchAction& action);
  void OnSettings();
  void OnHomePage();

  void ApplyGameDirectory(const std::u16string& directory);
  void SetIcons();
  void SetTitle();

  const CAppModule& module_;
  std::u16string gameDirectory_;
  std::unique_ptr<GamePatcher> patcher_;
  // Destroyed with the dialog object, after its window is gone.
  UniqueIcon largeIcon_;
  UniqueIcon smallIcon_;
};
