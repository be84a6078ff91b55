#include "app/main_dlg.h"

#include <commdlg.h>
#include <shellapi.h>

#include <optional>

#include "app/app_info.h"
#include "app/center_window.h"
#include "app/resource.h"
#include "app/update_hook.h"
#include "app/wait_cursor.h"
#include "patch/game_patcher.h"
#include "settings/game_directory.h"

namespace {

const wchar_t* Wide(const std::u16string& text) { return reinterpret_cast<const wchar_t*>(text.c_str()); }

constexpr wchar_t kMessageCaption[] = L"提示";
constexpr wchar_t kErrorCaption[] = L"错误";
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

bool CMainDlg::HandleMessage(UINT message, WPARAM wParam, LPARAM /*lParam*/, LRESULT& result) {
  if (message == WM_INITDIALOG) {
    result = OnInitDialog();
    return true;
  }
  if (message == WM_UPDATE_NOTICE) {
    result = OnUpdateNotice(m_hWnd, reinterpret_cast<const wchar_t*>(wParam));
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

void CMainDlg::OnCancel() { EndDialog(m_hWnd, IDCANCEL); }

void CMainDlg::OnLaunch(const LaunchAction& action) {
  // The launch buttons are enabled only together with the patcher; a forged command finds none.
  if (!patcher_) return;
  if (!RunOperations(action)) {
    MessageBoxW(m_hWnd, action.failureText, kMessageCaption, MB_ICONERROR | MB_OK | MB_TOPMOST);
  }
  // Started whatever happened above; a launcher that cannot be started is not reported.
  const std::u16string launcher = gameDirectory_ + kLauncherRelPath;
  ShellExecuteW(nullptr, L"open", Wide(launcher), nullptr, nullptr, SW_SHOW);
}

bool CMainDlg::RunOperations(const LaunchAction& action) {
  const WaitCursor busy;  // gone before any message box; shown while another copy's action ends too
  return patcher_->RunAction(action.first, action.second) == patch::ActionOutcome::kSucceeded;
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
}
