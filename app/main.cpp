// Process entry: error mode, COM, the C runtime's locale and the common controls, then the dialog.
#include <windows.h>
#include <commctrl.h>
#include <objbase.h>

#include <clocale>

#include "app/app_module.h"
#include "app/main_dlg.h"

int WINAPI wWinMain(HINSTANCE instance, HINSTANCE, PWSTR, int) {
  // A remembered game on a removed disk or an empty card reader must fail quietly, not raise the
  // system's "No disk" box before the dialog. The thread form keeps the launcher the tool starts
  // out of it: a process-wide mode would be inherited. Result ignored: without it only the box returns.
  (void)SetThreadErrorMode(SEM_FAILCRITICALERRORS, nullptr);
  // Neither result changes what follows: without COM the shell calls still work for plain paths.
  (void)CoInitialize(nullptr);
  _wsetlocale(LC_ALL, L"chs");
  INITCOMMONCONTROLSEX controls{};
  controls.dwSize = sizeof(controls);
  controls.dwICC = ICC_BAR_CLASSES | ICC_PROGRESS_CLASS;
  InitCommonControlsEx(&controls);

  CAppModule module;
  module.Init(instance);
  INT_PTR result = 0;
  {
    CMainDlg dialog(module);
    result = dialog.DoModal(GetActiveWindow());
  }  // the dialog's patcher and its archives go before the module and COM
  module.Term();
  CoUninitialize();
  return static_cast<int>(result);
}
