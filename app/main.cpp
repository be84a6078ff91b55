// Process entry: set up COM, the C runtime's locale and the common controls, then run the dialog.
#include <windows.h>
#include <commctrl.h>
#include <objbase.h>

#include <clocale>

#include "app/app_module.h"
#include "app/main_dlg.h"

int WINAPI wWinMain(HINSTANCE instance, HINSTANCE, PWSTR, int) {
  // Neither result changes what follows: without COM the shell calls still work for plain paths.
  (void)CoInitialize(nullptr);
  _wsetlocale(LC_ALL, L"chs");
  INITCOMMONCONTROLSEX controls{};
  controls.dwSize = sizeof(controls);
  controls.dwICC = ICC_BAR_CLASSES;
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
