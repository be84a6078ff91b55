#include "app/center_window.h"

POINT CenteredOrigin(SIZE window, const RECT& centre, const RECT& area) {
  LONG x = (centre.left + centre.right) / 2 - window.cx / 2;
  LONG y = (centre.top + centre.bottom) / 2 - window.cy / 2;
  if (x + window.cx > area.right) x = area.right - window.cx;
  if (x < area.left) x = area.left;
  if (y + window.cy > area.bottom) y = area.bottom - window.cy;
  if (y < area.top) y = area.top;
  return POINT{x, y};
}

void CenterWindow(HWND window) {
  const LONG style = GetWindowLongW(window, GWL_STYLE);
  const bool child = (style & WS_CHILD) != 0;
  HWND centre = child ? GetParent(window) : GetWindow(window, GW_OWNER);
  if (centre != nullptr) {
    const LONG centreStyle = GetWindowLongW(centre, GWL_STYLE);
    if ((centreStyle & WS_VISIBLE) == 0 || (centreStyle & WS_MINIMIZE) != 0) centre = nullptr;
  }

  RECT own{};
  GetWindowRect(window, &own);
  RECT area{};
  RECT centreRect{};
  if (!child) {
    MONITORINFO monitor{};
    monitor.cbSize = sizeof(monitor);
    GetMonitorInfoW(MonitorFromWindow(centre != nullptr ? centre : window, MONITOR_DEFAULTTONEAREST), &monitor);
    area = monitor.rcWork;
    if (centre != nullptr) {
      GetWindowRect(centre, &centreRect);
    } else {
      centreRect = area;
    }
  } else {
    // A child is placed in its parent's client coordinates.
    HWND parent = GetParent(window);
    GetClientRect(parent, &area);
    if (centre != nullptr) {
      GetClientRect(centre, &centreRect);
      MapWindowPoints(centre, parent, reinterpret_cast<POINT*>(&centreRect), 2);
    } else {
      centreRect = area;
    }
  }

  const POINT origin = CenteredOrigin(SIZE{own.right - own.left, own.bottom - own.top}, centreRect, area);
  SetWindowPos(window, nullptr, origin.x, origin.y, -1, -1, SWP_NOSIZE | SWP_NOZORDER | SWP_NOACTIVATE);
}
