// Placeholder until the update worker lands; replaced by update_hook.cpp.
#include "app/update_hook.h"

void StartUpdateCheck(HWND) {}
LRESULT OnUpdateNotice(HWND, const wchar_t*) { return 0; }
