// WinLayout: sizes of the Windows viewer at the screen's scale. Layouts are given in
// pixels at 96 dots per inch and scaled by the window's DPI (per monitor).
#pragma once

#include <windows.h>

namespace orv::win {

inline constexpr UINT DesignDpi = USER_DEFAULT_SCREEN_DPI;

inline UINT WindowDpi(HWND window)
{
    const UINT dpi = window ? GetDpiForWindow(window) : GetDpiForSystem();
    return dpi ? dpi : DesignDpi;
}

inline int Scale(int pixels, UINT dpi) { return MulDiv(pixels, static_cast<int>(dpi), static_cast<int>(DesignDpi)); }

// The system's message font at dpi; the caller deletes it.
inline HFONT MessageFont(UINT dpi)
{
    NONCLIENTMETRICSW metrics{};
    metrics.cbSize = sizeof metrics;
    if (!SystemParametersInfoForDpi(SPI_GETNONCLIENTMETRICS, sizeof metrics, &metrics, 0, dpi))
        return static_cast<HFONT>(GetStockObject(DEFAULT_GUI_FONT));
    return CreateFontIndirectW(&metrics.lfMessageFont);
}

// The work area of the monitor the window is on.
inline RECT WorkArea(HWND window)
{
    MONITORINFO info{};
    info.cbSize = sizeof info;
    GetMonitorInfoW(MonitorFromWindow(window, MONITOR_DEFAULTTONEAREST), &info);
    return info.rcWork;
}

}  // namespace orv::win
