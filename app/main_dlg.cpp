#include "app/main_dlg.h"

#include <commdlg.h>
#include <shellapi.h>

#include <optional>

#include "app/app_info.h"
#include "app/center_window.h"
#include "app/resource.h"
#include "app/update_hook.h"
#include "patch/game_patcher.h"
#include "settings/game_directory.h"

namespace {

const wchar_t* Wide(const std::u16string& text) { return reinterpret_cast<const wchar_t*>(text.c_str()); }

constexpr wchar_t kMessageCaption[] = L"提示";
constexpr wchar_t kErrorCaption[] = L"错误";
// Another copy of the tool changed this game's files for all of the press's wait.
constexpr wchar_t kOtherCopyBusy[] = L"另一个窗口正在修改游戏文件，请等它完成后再试。";
constexpr wchar_t kGameRunning[] = L"游戏正在运行，请先退出游戏再切换版本。";
constexpr wchar_t kNotTheLauncher[] = L"您选择的不是游戏登陆器文件。";
constexpr wchar_t kChooseLauncherTitle[] = L"请选择剑灵登陆器程序(TCLS\\Launcher.exe)";
// One filter: description, pattern, and the list's closing empty string.
constexpr wchar_t kLauncherFilter[] = L"游戏目录\\TCLS\\Launcher.exe\0Launcher.exe\0";
constexpr DWORD kFileNameUnits = 260;
constexpr DWORD kFileTitleUnits = 256;

// The open dialog is asked for a hook; it has nothing to do but let the dialog run as usual.
UINT_PTR CALLBACK OpenFileHook(HWND, UINT, WPARAM, LPARAM) { return 0; }

}  // namespace

const CMainDlg::LaunchAction CMainDlg::kLaunchOfficial{
    &GamePatcher::RestorePackages, &GamePatcher::InstallStockData, L"部分文件无法修改，可能无法完全还原。"};
const CMainDlg::LaunchAction CMainDlg::kLaunchPatched{
    &GamePatcher::InstallPackages, &GamePatcher::InstallPatchedData, L"部分文件无法修改，反和谐可能无法正常生效。"};
const CMainDlg::LaunchAction CMainDlg::kLaunchSummoner{
    &GamePatcher::InstallPackages, &GamePatcher::InstallStockData, L"反和谐补丁安装失败!"};

CMainDlg::CMainDlg(const CAppModule& module) : module_(module) {}

CMainDlg::~CMainDlg() = default;

INT_PTR CMainDlg::DoModal(HWND owner) { return CDialogImpl::DoModal(module_.GetResourceInstance(), IDD_MAINDLG, owner); }

bool CMainDlg::HandleMessage(UINT message, WPARAM wParam, LPARAM lParam, LRESULT& result) {
  switch (message) {
    case WM_INITDIALOG:
      result = OnInitDialog();
      return true;
    case WM_UPDATE_NOTICE:
      OnNotice(reinterpret_cast<const wchar_t*>(wParam));
      result = 0;
      return true;
    case WM_ACTION_WAITING:
      if (wParam != 0) {
        actionView_.Waiting();
        taskbar_.Waiting();
      }
      return true;
    case WM_ACTION_PROGRESS:
      actionThread_.ProgressShown();
      actionView_.Progress(static_cast<uint32_t>(wParam), static_cast<uint32_t>(lParam));
      taskbar_.Show(static_cast<uint32_t>(wParam), static_cast<uint32_t>(lParam));
      return true;
    case WM_ACTION_DONE:
      OnActionDone(static_cast<patch::ActionOutcome>(wParam));
      return true;
    case WM_STATE_READ:
      OnStateRead();
      return true;
    case WM_SETCURSOR:
      // The busy cursor over the dialog for as long as the action runs; the window itself works.
      if (!busyCursor_ || LOWORD(lParam) != HTCLIENT) return false;
      busyCursor_->Show();
      result = TRUE;
      return true;
    default:
      break;
  }
  if (message == TaskbarProgress::ButtonCreatedMessage()) {
    taskbar_.Attach(m_hWnd);
    return true;
  }
  if (message != WM_COMMAND) return false;

  // No case for IDOK: Enter in the edit control must not end the dialog.
  switch (LOWORD(wParam)) {
    case IDCANCEL:
      OnCancel();
      return true;
    case IDC_LAUNCH_OFFICIAL:
      OnLaunch(kLaunchOfficial);
      return true;
    case IDC_LAUNCH_PATCHED:
      OnLaunch(kLaunchPatched);
      return true;
    case IDC_LAUNCH_SUMMONER:
      OnLaunch(kLaunchSummoner);
      return true;
    case IDC_SETTINGS:
      OnSettings();
      return true;
    case IDC_HOMEPAGE:
      if (HIWORD(wParam) != BN_CLICKED) return false;
      OnHomePage();
      return true;
    default:
      return false;
  }
}

LRESULT CMainDlg::OnInitDialog() {
  CenterWindow(m_hWnd);
  SetIcons();
  SetTitle();
  const std::u16string directory = settings::LoadGameDirectory();
  if (!directory.empty()) ApplyGameDirectory(directory);
  StartUpdateCheck(m_hWnd);
  return TRUE;  // let the system focus the first tab stop
}

void CMainDlg::SetIcons() {
  const HINSTANCE instance = module_.GetResourceInstance();
  largeIcon_.reset(static_cast<HICON>(LoadImageW(instance, MAKEINTRESOURCEW(IDR_MAINFRAME), IMAGE_ICON,
                                                 GetSystemMetrics(SM_CXICON), GetSystemMetrics(SM_CYICON),
                                                 LR_DEFAULTCOLOR)));
  SendMessageW(m_hWnd, WM_SETICON, ICON_BIG, reinterpret_cast<LPARAM>(largeIcon_.get()));
  smallIcon_.reset(static_cast<HICON>(LoadImageW(instance, MAKEINTRESOURCEW(IDR_MAINFRAME), IMAGE_ICON,
                                                 GetSystemMetrics(SM_CXSMICON), GetSystemMetrics(SM_CYSMICON),
                                                 LR_DEFAULTCOLOR)));
  SendMessageW(m_hWnd, WM_SETICON, ICON_SMALL, reinterpret_cast<LPARAM>(smallIcon_.get()));
}

void CMainDlg::SetTitle() {
  std::wstring title = kTitleFormat;
  title.replace(title.find(L"%s"), 2, kAppVersion);
  SetWindowTextW(m_hWnd, title.c_str());
}

// The tool never ends while files are being changed or the action's box is open: Esc and the
// close box are refused then (the close box is greyed out).
void CMainDlg::OnCancel() {
  if (ActionRunning()) return;
  EndDialog(m_hWnd, IDCANCEL);
}

void CMainDlg::OnLaunch(const LaunchAction& action) {
  // The launch buttons are enabled only together with the patcher; a forged command finds none.
  if (!patcher_ || ActionRunning()) return;
  running_ = &action;
  // The press runs at once; the reader stops at its next file and what it read is dropped.
  stateReader_.Stop();
  stateLine_.Hide();
  focusBeforeAction_ = GetFocus();
  SetActionControlsEnabled(false);
  busyCursor_.emplace();
  actionView_.Show(m_hWnd);
  if (!actionThread_.Start(m_hWnd, *patcher_, action.first, action.second)) {
    OnActionDone(patch::ActionOutcome::kFailed);  // nothing was touched: no thread could be had
  }
}

void CMainDlg::OnActionDone(patch::ActionOutcome outcome) {
  if (!ActionRunning()) return;
  actionThread_.Join();
  actionView_.Hide();
  busyCursor_.reset();  // gone before any message box
  if (outcome == patch::ActionOutcome::kOtherCopyBusy) {
    // Nothing was changed, and the other copy starts the launcher itself when it is done.
    taskbar_.Clear();
    MessageBoxW(m_hWnd, kOtherCopyBusy, kMessageCaption, MB_ICONWARNING | MB_OK | MB_TOPMOST);
  } else if (outcome == patch::ActionOutcome::kGameRunning) {
    // Nothing was changed, and the game that runs needs no launcher.
    taskbar_.Clear();
    MessageBoxW(m_hWnd, kGameRunning, kMessageCaption, MB_ICONWARNING | MB_OK | MB_TOPMOST);
  } else {
    if (outcome == patch::ActionOutcome::kFailed) {
      taskbar_.Failed();
      MessageBoxW(m_hWnd, running_->failureText, kMessageCaption, MB_ICONERROR | MB_OK | MB_TOPMOST);
    }
    taskbar_.Clear();
    // Started whatever happened above; a launcher that cannot be started is not reported.
    const std::u16string launcher = gameDirectory_ + kLauncherRelPath;
    ShellExecuteW(nullptr, L"open", Wide(launcher), nullptr, nullptr, SW_SHOW);
  }
  running_ = nullptr;
  SetActionControlsEnabled(true);
  if (focusBeforeAction_ != nullptr && IsWindowEnabled(focusBeforeAction_)) SetFocus(focusBeforeAction_);
  ReadGameState();
  if (deferredNotice_) {
    const std::wstring notice = std::move(*deferredNotice_);
    deferredNotice_.reset();
    OnNotice(notice.c_str());
  }
}

// The update worker sends its notice once; during an action a Yes could end the dialog while files
// are being changed, so the notice waits for the action's end.
void CMainDlg::OnNotice(const wchar_t* text) {
  if (text == nullptr) return;
  if (ActionRunning()) {
    deferredNotice_.emplace(text);  // a copy: the worker's text is gone once this handler returns
    return;
  }
  (void)OnUpdateNotice(m_hWnd, text);  // always 0
}

void CMainDlg::ReadGameState() {
  if (!patcher_ || ActionRunning()) return;
  stateLine_.Checking(m_hWnd);
  stateReader_.Start(m_hWnd, {patcher_->GameDirectory(), patcher_->PackageBytes(), patcher_->PatchedDataBytes(),
                              patcher_->StockDataBytes()});
}

void CMainDlg::OnStateRead() {
  const std::optional<patch::GameState> state = stateReader_.Finished();
  if (ActionRunning()) return;  // the action's line has the strip; the state is read after it
  if (state) {
    stateLine_.Show(m_hWnd, patch::DescribeGameState(*state));
  } else if (!stateReader_.Reading()) {
    stateLine_.Hide();  // the archives or the game could not be read: better nothing than a guess
  }
}

void CMainDlg::SetActionControlsEnabled(bool enabled) {
  for (const int id : {IDC_LAUNCH_PATCHED, IDC_LAUNCH_OFFICIAL, IDC_LAUNCH_SUMMONER, IDC_SETTINGS}) {
    EnableWindow(GetDlgItem(m_hWnd, id), enabled ? TRUE : FALSE);
  }
  EnableMenuItem(GetSystemMenu(m_hWnd, FALSE), SC_CLOSE, MF_BYCOMMAND | (enabled ? MF_ENABLED : MF_GRAYED));
}

void CMainDlg::OnSettings() {
  wchar_t fileName[kFileNameUnits] = {};
  wchar_t fileTitle[kFileTitleUnits] = {};
  OPENFILENAMEW dialog{};
  dialog.lStructSize = sizeof(dialog);
  dialog.hwndOwner = GetActiveWindow();
  dialog.lpstrFilter = kLauncherFilter;
  dialog.lpstrFile = fileName;
  dialog.nMaxFile = kFileNameUnits;
  dialog.lpstrFileTitle = fileTitle;
  dialog.nMaxFileTitle = kFileTitleUnits;
  dialog.lpstrTitle = kChooseLauncherTitle;
  dialog.Flags = OFN_FILEMUSTEXIST | OFN_EXPLORER | OFN_ENABLESIZING | OFN_ENABLEHOOK;
  dialog.lpfnHook = OpenFileHook;
  if (!GetOpenFileNameW(&dialog)) return;  // cancelled, or the system dialog failed

  const std::optional<std::u16string> directory =
      settings::GameDirectoryFromChosenLauncher(reinterpret_cast<const char16_t*>(fileName));
  if (!directory) {
    MessageBoxW(m_hWnd, kNotTheLauncher, kErrorCaption, MB_ICONERROR | MB_OK);
    return;
  }
  ApplyGameDirectory(*directory);
}

void CMainDlg::OnHomePage() { ShellExecuteW(nullptr, L"open", kHomePageUrl, nullptr, nullptr, SW_SHOW); }

void CMainDlg::ApplyGameDirectory(const std::u16string& directory) {
  settings::SaveGameDirectory(directory);  // not remembered for the next start, still used for this run
  gameDirectory_ = directory;
  if (!patcher_) {
    patcher_ = std::make_unique<GamePatcher>(directory);
  } else {
    patcher_->SetGameDirectory(directory);  // accepted: the directory was checked before it got here
  }
  SetDlgItemTextW(m_hWnd, IDC_GAME_DIR, Wide(directory));
  EnableWindow(GetDlgItem(m_hWnd, IDC_LAUNCH_PATCHED), TRUE);
  EnableWindow(GetDlgItem(m_hWnd, IDC_LAUNCH_OFFICIAL), TRUE);
  EnableWindow(GetDlgItem(m_hWnd, IDC_LAUNCH_SUMMONER), TRUE);
  ReadGameState();
}
