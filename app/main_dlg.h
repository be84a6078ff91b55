#pragma once
// The tool's only window: shows the game directory and runs the launch actions.
#include <windows.h>

#include <memory>
#include <optional>
#include <string>

#include "app/action_thread.h"
#include "app/action_view.h"
#include "app/app_module.h"
#include "app/dialog_impl.h"
#include "app/state_line.h"
#include "app/state_reader.h"
#include "app/taskbar_progress.h"
#include "app/wait_cursor.h"
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
  // Starts the action on its own thread; the dialog stays responsive with the launch and settings
  // buttons disabled until OnActionDone has shown the outcome and started the launcher.
  void OnLaunch(const LaunchAction& action);
  void OnActionDone(patch::ActionOutcome outcome);
  void OnNotice(const wchar_t* text);
  // Reads which version the game's files hold, off the dialog's thread, while no action runs.
  void ReadGameState();
  void OnStateRead();
  void SetActionControlsEnabled(bool enabled);
  bool ActionRunning() const { return running_ != nullptr; }
  void OnSettings();
  void OnHomePage();

  void ApplyGameDirectory(const std::u16string& directory);
  void SetIcons();
  void SetTitle();

  const CAppModule& module_;
  std::u16string gameDirectory_;
  std::unique_ptr<GamePatcher> patcher_;
  // The action in progress, from the press until its box is closed and the launcher started.
  const LaunchAction* running_ = nullptr;
  HWND focusBeforeAction_ = nullptr;
  std::optional<WaitCursor> busyCursor_;
  ActionView actionView_;
  StateLine stateLine_;
  // Reads nothing of the patcher: its sources are copies and the process's resources.
  StateReader stateReader_;
  TaskbarProgress taskbar_;
  // A notice that arrived during an action, offered once it is over.
  std::optional<std::wstring> deferredNotice_;
  // Declared after the patcher: destroyed, and so joined, before it.
  ActionThread actionThread_;
  // Destroyed with the dialog object, after its window is gone.
  UniqueIcon largeIcon_;
  UniqueIcon smallIcon_;
};
