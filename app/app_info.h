#pragma once
// Fixed texts of the tool.

#include "app_version.h"

inline constexpr wchar_t kAppVersion[] = L"" MORVELT_VERSION_TEXT;
// "%s" takes kAppVersion.
inline constexpr wchar_t kTitleFormat[] = L"Vantrel剑灵反和谐登陆器 v%s";
// The maker's community page, opened by the home-page button.
inline constexpr wchar_t kHomePageUrl[] = L"https://bbs.vantrel.com/forum-bns-1.html";
