// Identifiers shared by Morvelt.rc and the dialog code.
#pragma once

#define IDR_MAINFRAME 128
#define IDD_MAINDLG 129

#define IDC_SETTINGS 1000
#define IDC_HOMEPAGE 1001
#define IDC_LAUNCH_OFFICIAL 1002
#define IDC_LAUNCH_PATCHED 1003
#define IDC_GAME_DIR 1004
#define IDC_LAUNCH_SUMMONER 1005

#ifndef IDC_STATIC
#define IDC_STATIC (-1)
#endif
