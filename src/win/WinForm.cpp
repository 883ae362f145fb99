#include "WinForm.h"

#include <algorithm>
#include <exception>
#include <new>
#include <sstream>

#include <commctrl.h>
#include <shlobj.h>
#include <windowsx.h>

#include "WinDialogs.h"
#include "WinLayout.h"
#include "WinSettings.h"
#include "base/Log.h"
#include "base/platform/Files.h"
#include "gl/WGLContext.h"
#include "shell/HeadlessContext.h"
#include "terrain/RendererTable.h"
#include "writers/PNG.h"

namespace orv::win {
namespace {

using platform::Narrow;
using platform::Wide;

constexpr const wchar_t* PanelClass = L"TPanel";
constexpr const wchar_t* ViewClass = L"TglWindow";
constexpr const char* ContextErrorCaption = "Error";

// Layout at 96 dots per inch, as the Qt window's.
constexpr int PanelHeight = 73;
constexpr int ButtonHeight = 17;
constexpr int ThumbLength = 15, TickedThumbLength = 11;   // sliders' thumbs, within their 17 or 18 pixels
constexpr int PanelFontPixels = 11;
constexpr int CheckBoxRoom = 20;       // the box and its gap before the caption
constexpr int PanelMargin = 4;
constexpr int MinimumViewHeight = 120;
constexpr int StatusNoticeMs = 10000;
constexpr int MaxTipWidth = 400;

// Command identifiers: the panel's controls by their index in PanelControls, the renderer
// buttons by their index in RendererTable, the actions by theirs in ActionModels, the
// renderer keys after them.
constexpr int ControlIdBase = 100;
constexpr int RendererButtonIdBase = 200;
constexpr int ActionIdBase = 1000;
constexpr int RendererActionIdBase = 1100;
constexpr UINT_PTR NoticeTimer = 1;

constexpr size_t ActionCount = std::size(ActionModels);

std::wstring Latin1(std::string_view text) { return std::wstring(text.begin(), text.end()); }

// The virtual key of a shortcut's key name; 0 for a name it does not know.
WORD VirtualKey(std::string_view key)
{
    if (key.size() == 1 && ((key[0] >= 'A' && key[0] <= 'Z') || (key[0] >= '0' && key[0] <= '9')))
        return static_cast<WORD>(key[0]);
    if (key.size() == 1 && key[0] >= 'a' && key[0] <= 'z')
        return static_cast<WORD>(key[0] - 'a' + 'A');
    if (key.size() >= 2 && key[0] == 'F') {
        const int n = std::atoi(std::string(key.substr(1)).c_str());
        if (n >= 1 && n <= 24)
            return static_cast<WORD>(VK_F1 + n - 1);
    }
    const std::pair<std::string_view, WORD> named[] = {{"Home", VK_HOME}, {"Menu", VK_APPS}, {"End", VK_END},
                                                       {"Space", VK_SPACE}, {"Tab", VK_TAB}};
    for (const auto& [name, code] : named)
        if (name == key)
            return code;
    return 0;
}

bool IsArrow(WPARAM key) { return key == VK_UP || key == VK_DOWN || key == VK_LEFT || key == VK_RIGHT; }

}  // namespace

TWinForm::TWinForm(TViewerOptions options)
    : m_FrontEnd(*this),
      m_Session(std::make_unique<TSession>(m_FrontEnd, std::move(options))),
      m_FrameLoop(std::make_unique<TFrameLoop>(m_Session->Viewer()))
{
}

TWinForm::~TWinForm()
{
    if (m_Accelerators)
        DestroyAcceleratorTable(m_Accelerators);
    if (m_Menu)
        DestroyMenu(m_Menu);
    if (m_Font)
        DeleteObject(m_Font);
}

template <typename F>
void TWinForm::Guard(F&& handler)
{
    try {
        handler();
    } catch (const std::bad_alloc&) {
        ShowBox(m_Window, TMessageKind::Error, std::string(TSession::ApplicationTitle), "out of memory");
    } catch (const std::exception& e) {
        ShowBox(m_Window, TMessageKind::Error, std::string(TSession::ApplicationTitle), e.what());
    }
}

// --- Creation ------------------------------------------------------------------------------

bool TWinForm::Create(int show)
{
    const HINSTANCE instance = GetModuleHandleW(nullptr);
    INITCOMMONCONTROLSEX controls{sizeof controls, ICC_BAR_CLASSES | ICC_STANDARD_CLASSES | ICC_WIN95_CLASSES};
    InitCommonControlsEx(&controls);

    WNDCLASSEXW windowClass{};
    windowClass.cbSize = sizeof windowClass;
    // The context needs a device context of its own that stays.
    windowClass.style = CS_OWNDC;
    windowClass.lpfnWndProc = WindowProc;
    windowClass.hInstance = instance;
    windowClass.hIcon = LoadIconW(instance, MAKEINTRESOURCEW(1));
    windowClass.hIconSm = static_cast<HICON>(LoadImageW(instance, MAKEINTRESOURCEW(1), IMAGE_ICON,
                                                        GetSystemMetrics(SM_CXSMICON), GetSystemMetrics(SM_CYSMICON), 0));
    windowClass.hCursor = LoadCursorW(nullptr, IDC_ARROW);
    windowClass.lpszClassName = WindowClass;
    if (!RegisterClassExW(&windowClass))
        return false;
    WNDCLASSEXW panelClass{};
    panelClass.cbSize = sizeof panelClass;
    panelClass.lpfnWndProc = PanelProc;
    panelClass.hInstance = instance;
    panelClass.hCursor = LoadCursorW(nullptr, IDC_ARROW);
    panelClass.hbrBackground = GetSysColorBrush(COLOR_BTNFACE);
    panelClass.lpszClassName = PanelClass;
    RegisterClassExW(&panelClass);
    // The view: a window of its own whose device context the OpenGL context keeps.
    WNDCLASSEXW viewClass{};
    viewClass.cbSize = sizeof viewClass;
    viewClass.style = CS_OWNDC;
    viewClass.lpfnWndProc = ViewProc;
    viewClass.hInstance = instance;
    viewClass.hCursor = LoadCursorW(nullptr, IDC_ARROW);
    viewClass.lpszClassName = ViewClass;
    RegisterClassExW(&viewClass);

    // The program's name from the first moment; the frame loop adds its rate.
    m_Window = CreateWindowExW(0, WindowClass, Latin1(TSession::ApplicationTitle).c_str(),
                               WS_OVERLAPPEDWINDOW | WS_CLIPCHILDREN, CW_USEDEFAULT, CW_USEDEFAULT,
                               DesignOuterRect.Width, DesignOuterRect.Height, nullptr, nullptr, instance, this);
    if (m_Window == nullptr)
        return false;
    CreateControls();
    CreateActions();
    if (const std::optional<std::string> geometry = RememberedGeometry())
        RestoreGeometry(*geometry);
    else
        PlaceWindow();

    // The view's context (on the view at its size), its own initialisation and its first size.
    Layout();
    try {
        m_Context = std::make_unique<TWGLContext>(m_View);
        m_Context->SetSwapInterval(1);
        TGLViewer::DefaultViewInit();
    } catch (const std::exception& e) {
        m_ContextError = e.what();
    }
    Layout();
    RefreshState();
    ShowWindow(m_Window, show);
    UpdateWindow(m_Window);
    GiveKeyboardToView();
    FormCreate();
    return true;
}

void TWinForm::CreateControls()
{
    const HINSTANCE instance = GetModuleHandleW(nullptr);
    m_Panel = CreateWindowExW(WS_EX_CLIENTEDGE | WS_EX_CONTROLPARENT, PanelClass, L"",
                              WS_CHILD | WS_VISIBLE | WS_CLIPSIBLINGS, 0, 0, 0, 0, m_Window, nullptr, instance, this);
    m_View = CreateWindowExW(0, ViewClass, L"", WS_CHILD | WS_VISIBLE | WS_CLIPSIBLINGS, 0, 0, 0, 0, m_Window, nullptr,
                             instance, this);
    m_Status = CreateWindowExW(0, STATUSCLASSNAMEW, L"", WS_CHILD | WS_VISIBLE | SBARS_SIZEGRIP, 0, 0, 0, 0, m_Window,
                               nullptr, instance, nullptr);
    m_Tips = CreateWindowExW(WS_EX_TOPMOST, TOOLTIPS_CLASSW, nullptr, WS_POPUP | TTS_ALWAYSTIP | TTS_NOPREFIX, 0, 0, 0,
                             0, m_Window, nullptr, instance, nullptr);
    SendMessageW(m_Tips, TTM_SETMAXTIPWIDTH, 0, MaxTipWidth);

    auto child = [&](const wchar_t* kind, const std::wstring& title, DWORD style, int id) {
        return CreateWindowExW(0, kind, title.c_str(), WS_CHILD | WS_VISIBLE | WS_TABSTOP | style, 0, 0, 0, 0, m_Panel,
                               reinterpret_cast<HMENU>(static_cast<INT_PTR>(id)), instance, nullptr);
    };
    // A tip for the control itself and one for its place on the panel, which shows it
    // while the control is disabled (a disabled control gets no mouse messages).
    auto addTips = [&](HWND control, UINT_PTR index) {
        TTTOOLINFOW tool{};
        tool.cbSize = sizeof tool;
        tool.uFlags = TTF_IDISHWND | TTF_SUBCLASS;
        tool.hwnd = m_Panel;
        tool.uId = reinterpret_cast<UINT_PTR>(control);
        tool.lpszText = const_cast<wchar_t*>(L"");
        SendMessageW(m_Tips, TTM_ADDTOOLW, 0, reinterpret_cast<LPARAM>(&tool));
        tool.uFlags = TTF_SUBCLASS;
        tool.uId = index;
        SendMessageW(m_Tips, TTM_ADDTOOLW, 0, reinterpret_cast<LPARAM>(&tool));
    };
    m_Controls.assign(std::size(PanelControls), nullptr);
    for (size_t i = 0; i < std::size(PanelControls); ++i) {
        const TPanelControl& model = PanelControls[i];
        const int id = ControlIdBase + static_cast<int>(i);
        switch (model.Kind) {
        case TPanelKind::CheckBox:
            m_Controls[i] = child(WC_BUTTONW, Latin1(model.Caption), BS_AUTOCHECKBOX, id);
            SendMessageW(m_Controls[i], BM_SETCHECK, model.Checked ? BST_CHECKED : BST_UNCHECKED, 0);
            break;
        case TPanelKind::Slider: {
            const TPanelSlider& range = *model.Slider;
            m_Controls[i] = child(TRACKBAR_CLASSW, L"",
                                  TBS_HORZ | TBS_FIXEDLENGTH | (range.TickMarks ? TBS_AUTOTICKS : TBS_NOTICKS), id);
            SendMessageW(m_Controls[i], TBM_SETRANGEMIN, FALSE, range.Min);
            SendMessageW(m_Controls[i], TBM_SETRANGEMAX, FALSE, range.Max);
            SendMessageW(m_Controls[i], TBM_SETPAGESIZE, 0, range.PageStep);
            SendMessageW(m_Controls[i], TBM_SETTICFREQ, static_cast<WPARAM>(range.TickInterval), 0);
            SendMessageW(m_Controls[i], TBM_SETPOS, TRUE, range.Position);
            break;
        }
        case TPanelKind::Renderers:
            for (size_t r = 0; r < RendererTable.size(); ++r) {
                HWND button = child(WC_BUTTONW, Latin1(RendererTable[r].Label), BS_RADIOBUTTON,
                                    RendererButtonIdBase + static_cast<int>(r));
                SendMessageW(button, BM_SETCHECK, RendererTable[r].Tag == DefaultRenderer().Tag, 0);
                m_RendererButtons.push_back(button);
            }
            break;
        }
        if (m_Controls[i])
            addTips(m_Controls[i], i + 1);
    }
    LayoutPanel();
}

void TWinForm::LayoutPanel()
{
    const UINT dpi = WindowDpi(m_Window);
    if (m_Font)
        DeleteObject(m_Font);
    // The panel's columns are laid out for a small font: 8 points at 96 dots per inch.
    LOGFONTW font{};
    if (HFONT message = MessageFont(dpi)) {
        GetObjectW(message, sizeof font, &font);
        DeleteObject(message);
    }
    font.lfHeight = -Scale(PanelFontPixels, dpi);
    m_Font = CreateFontIndirectW(&font);

    HDC dc = GetDC(m_Panel);
    const HGDIOBJ previous = SelectObject(dc, m_Font);
    auto place = [&](HWND control, int left, int top, int width, int height, bool caption) {
        SendMessageW(control, WM_SETFONT, reinterpret_cast<WPARAM>(m_Font), FALSE);
        if (caption) {
            std::wstring text(static_cast<size_t>(GetWindowTextLengthW(control)) + 1, L'\0');
            GetWindowTextW(control, text.data(), static_cast<int>(text.size()));
            SIZE size{};
            GetTextExtentPoint32W(dc, text.c_str(), static_cast<int>(wcslen(text.c_str())), &size);
            width = size.cx + Scale(CheckBoxRoom, dpi);
        } else {
            width = Scale(width, dpi);
        }
        MoveWindow(control, Scale(left, dpi), Scale(top, dpi), width, Scale(height, dpi), TRUE);
        return width;
    };
    for (size_t i = 0; i < std::size(PanelControls); ++i) {
        const TPanelControl& model = PanelControls[i];
        RECT rect{};
        if (model.Kind == TPanelKind::Slider) {
            place(m_Controls[i], model.Left, model.Top, model.Slider->Width, model.Slider->Height, false);
            // A short thumb leaves the tick marks room below it within the slider's height.
            SendMessageW(m_Controls[i], TBM_SETTHUMBLENGTH,
                         static_cast<WPARAM>(Scale(model.Slider->TickMarks ? TickedThumbLength : ThumbLength, dpi)), 0);
        } else if (model.Kind == TPanelKind::CheckBox) {
            place(m_Controls[i], model.Left, model.Top, 0, ButtonHeight, true);
        } else {
            for (size_t r = 0; r < m_RendererButtons.size(); ++r)
                place(m_RendererButtons[r], model.Left, model.Top + RendererSpacing * static_cast<int>(r), 0,
                      ButtonHeight, true);
        }
        if (m_Controls[i]) {
            // The place's tip follows the control.
            GetWindowRect(m_Controls[i], &rect);
            MapWindowPoints(nullptr, m_Panel, reinterpret_cast<POINT*>(&rect), 2);
            TTTOOLINFOW tool{};
            tool.cbSize = sizeof tool;
            tool.hwnd = m_Panel;
            tool.uId = i + 1;
            tool.rect = rect;
            SendMessageW(m_Tips, TTM_NEWTOOLRECTW, 0, reinterpret_cast<LPARAM>(&tool));
        }
    }
    SelectObject(dc, previous);
    ReleaseDC(m_Panel, dc);
    SendMessageW(m_Status, WM_SETFONT, reinterpret_cast<WPARAM>(m_Font), TRUE);
}

void TWinForm::CreateActions()
{
    std::vector<ACCEL> table;
    auto add = [&](std::string_view shortcuts, int id) {
        for (const TShortcut& shortcut : ParseShortcuts(shortcuts)) {
            const WORD key = VirtualKey(shortcut.Key);
            if (key == 0)
                continue;
            BYTE flags = FVIRTKEY;
            if (shortcut.Ctrl)
                flags |= FCONTROL;
            if (shortcut.Shift)
                flags |= FSHIFT;
            if (shortcut.Alt)
                flags |= FALT;
            table.push_back({flags, key, static_cast<WORD>(id)});
        }
    };
    for (size_t i = 0; i < ActionCount; ++i)
        add(ActionModels[i].Shortcuts, ActionIdBase + static_cast<int>(i));
    for (size_t r = 0; r < RendererTable.size(); ++r)
        add(RendererShortcuts[r], RendererActionIdBase + static_cast<int>(r));
    m_Accelerators = CreateAcceleratorTableW(table.data(), static_cast<int>(table.size()));

    m_Menu = CreatePopupMenu();
    for (const TMenuItemModel& item : PopupMenuItems) {
        if (!item.Action) {
            AppendMenuW(m_Menu, MF_SEPARATOR, 0, nullptr);
            continue;
        }
        const TActionModel& model = ActionModel(*item.Action);
        std::wstring caption = Latin1(model.Caption);
        // "&" would mark the next letter.
        for (size_t at = caption.find(L'&'); at != std::wstring::npos; at = caption.find(L'&', at + 2))
            caption.insert(at, 1, L'&');
        if (const std::vector<TShortcut> keys = ParseShortcuts(model.Shortcuts); !keys.empty())
            caption += L"\t" + Latin1(model.Shortcuts.substr(0, model.Shortcuts.find(", ")));
        const auto index = static_cast<UINT_PTR>(&model - ActionModels);
        AppendMenuW(m_Menu, MF_STRING, ActionIdBase + index, caption.c_str());
    }
}

void TWinForm::FormCreate()
{
    if (!m_Context)
        ShowBox(m_Window, TMessageKind::Error, ContextErrorCaption, m_ContextError);
    POINT cursor{};
    GetCursorPos(&cursor);
    ScreenToClient(m_View, &cursor);
    const POINT mouse = ViewPoint(cursor.x, cursor.y);
    Guard([&] { Session().Start({static_cast<int>(mouse.x), static_cast<int>(mouse.y)}); });
    m_FormCreated = true;
    Guard([&] { Session().ApplyStartOptions(); });
    SyncControls();
    RefreshState();
    InvalidateRect(m_Window, nullptr, FALSE);
}

void TWinForm::PlaceWindow()
{
    MONITORINFO info{};
    info.cbSize = sizeof info;
    const POINT designCorner{DesignOuterRect.Left, DesignOuterRect.Top};
    GetMonitorInfoW(MonitorFromPoint(designCorner, MONITOR_DEFAULTTOPRIMARY), &info);
    const RECT& work = info.rcWork;
    // The design's pixels at the screen's scale.
    const UINT dpi = WindowDpi(m_Window);
    const TScreenRect design{DesignOuterRect.Left, DesignOuterRect.Top, Scale(DesignOuterRect.Width, dpi),
                             Scale(DesignOuterRect.Height, dpi)};
    MINMAXINFO limits{};
    SendMessageW(m_Window, WM_GETMINMAXINFO, 0, reinterpret_cast<LPARAM>(&limits));
    const TScreenRect outer = FitOuterRect(design, {work.left, work.top, work.right - work.left, work.bottom - work.top},
                                           limits.ptMinTrackSize.x, limits.ptMinTrackSize.y);
    SetWindowPos(m_Window, nullptr, outer.Left, outer.Top, outer.Width, outer.Height, SWP_NOZORDER | SWP_NOACTIVATE);
}

// --- Layout ----------------------------------------------------------------------------------

RECT TWinForm::ViewRect() const
{
    RECT client{};
    GetClientRect(m_Window, &client);
    RECT status{};
    GetWindowRect(m_Status, &status);
    RECT view = client;
    view.top = std::min<LONG>(client.bottom, Scale(PanelHeight, WindowDpi(m_Window)));
    view.bottom = std::max<LONG>(view.top, client.bottom - (status.bottom - status.top));
    return view;
}

POINT TWinForm::ViewPoint(int x, int y) const
{
    const int dpi = static_cast<int>(WindowDpi(m_Window));
    return {MulDiv(x, static_cast<int>(DesignDpi), dpi), MulDiv(y, static_cast<int>(DesignDpi), dpi)};
}

void TWinForm::Layout()
{
    RECT client{};
    GetClientRect(m_Window, &client);
    SendMessageW(m_Status, WM_SIZE, 0, 0);
    MoveWindow(m_Panel, 0, 0, client.right, Scale(PanelHeight, WindowDpi(m_Window)), TRUE);
    const RECT view = ViewRect();
    const int width = view.right - view.left, height = std::max<int>(1, view.bottom - view.top);
    MoveWindow(m_View, view.left, view.top, width, view.bottom - view.top, TRUE);
    if (!m_Context)
        return;
    m_Context->MakeCurrent();
    // Only the view's first size puts the camera at its start; later resizes keep it.
    Guard([&] {
        Viewer().ResizeView(width, height, !m_CameraPlaced);
        m_CameraPlaced = true;
    });
}

// --- Messages --------------------------------------------------------------------------------

LRESULT CALLBACK TWinForm::WindowProc(HWND window, UINT message, WPARAM wParam, LPARAM lParam)
{
    if (message == WM_NCCREATE) {
        auto* form = static_cast<TWinForm*>(reinterpret_cast<CREATESTRUCTW*>(lParam)->lpCreateParams);
        SetWindowLongPtrW(window, GWLP_USERDATA, reinterpret_cast<LONG_PTR>(form));
        form->m_Window = window;
    }
    auto* form = reinterpret_cast<TWinForm*>(GetWindowLongPtrW(window, GWLP_USERDATA));
    return form ? form->Handle(message, wParam, lParam) : DefWindowProcW(window, message, wParam, lParam);
}

LRESULT CALLBACK TWinForm::ViewProc(HWND window, UINT message, WPARAM wParam, LPARAM lParam)
{
    if (message == WM_NCCREATE) {
        auto* form = static_cast<TWinForm*>(reinterpret_cast<CREATESTRUCTW*>(lParam)->lpCreateParams);
        SetWindowLongPtrW(window, GWLP_USERDATA, reinterpret_cast<LONG_PTR>(form));
        form->m_View = window;
    }
    auto* form = reinterpret_cast<TWinForm*>(GetWindowLongPtrW(window, GWLP_USERDATA));
    return form ? form->HandleView(message, wParam, lParam) : DefWindowProcW(window, message, wParam, lParam);
}

LRESULT CALLBACK TWinForm::PanelProc(HWND window, UINT message, WPARAM wParam, LPARAM lParam)
{
    // The controls' notifications go to the window.
    switch (message) {
    case WM_COMMAND:
    case WM_HSCROLL:
    case WM_NOTIFY:
        return SendMessageW(GetParent(window), message, wParam, lParam);
    default:
        return DefWindowProcW(window, message, wParam, lParam);
    }
}

LRESULT TWinForm::Handle(UINT message, WPARAM wParam, LPARAM lParam)
{
    switch (message) {
    case WM_SIZE:
        if (wParam != SIZE_MINIMIZED)
            Layout();
        return 0;
    case WM_GETMINMAXINFO: {
        // The panel stays whole: as wide as its controls reach, with their margin.
        auto* limits = reinterpret_cast<MINMAXINFO*>(lParam);
        const UINT dpi = WindowDpi(m_Window);
        int right = 0;
        for (HWND control : m_Controls)
            if (control) {
                RECT rect{};
                GetWindowRect(control, &rect);
                MapWindowPoints(nullptr, m_Window, reinterpret_cast<POINT*>(&rect), 2);
                right = std::max<int>(right, rect.right);
            }
        RECT outer{0, 0, right + Scale(PanelMargin, dpi),
                   Scale(PanelHeight + MinimumViewHeight, dpi)};
        AdjustWindowRectExForDpi(&outer, WS_OVERLAPPEDWINDOW, FALSE, 0, dpi);
        limits->ptMinTrackSize = {outer.right - outer.left, outer.bottom - outer.top};
        return 0;
    }
    case WM_DPICHANGED: {
        const auto* suggested = reinterpret_cast<const RECT*>(lParam);
        LayoutPanel();
        SetWindowPos(m_Window, nullptr, suggested->left, suggested->top, suggested->right - suggested->left,
                     suggested->bottom - suggested->top, SWP_NOZORDER | SWP_NOACTIVATE);
        return 0;
    }
    case WM_ERASEBKGND:
        return 1;
    case WM_COMMAND: {
        const int id = LOWORD(wParam);
        if (lParam != 0) {
            ControlCommand(id, reinterpret_cast<HWND>(lParam));
        } else if (id >= ActionIdBase && id < ActionIdBase + static_cast<int>(ActionCount)) {
            RunAction(ActionModels[id - ActionIdBase].Id);
        } else if (id >= RendererActionIdBase && id < RendererActionIdBase + static_cast<int>(RendererTable.size())) {
            if (Session().ZoneLoaded())
                Guard([&] { Session().SetRenderer(RendererTable[id - RendererActionIdBase].Tag); });
            RefreshState();
        }
        return 0;
    }
    case WM_HSCROLL:
        if (lParam != 0)
            SliderMoved(reinterpret_cast<HWND>(lParam), LOWORD(wParam));
        return 0;
    case WM_SYSCOMMAND:
        // Alt slows the flight: pressed alone it must not open the window's menu.
        if ((wParam & 0xFFF0) == SC_KEYMENU && lParam == 0)
            return 0;
        break;
    case WM_CONTEXTMENU:
        // The right button in the view or on the panel; the keys are the menu action's.
        if (lParam != -1)
            ShowMenu({GET_X_LPARAM(lParam), GET_Y_LPARAM(lParam)});
        return 0;
    case WM_TIMER:
        if (wParam == NoticeTimer) {
            KillTimer(m_Window, NoticeTimer);
            m_Notice = false;
            ShowStatus();
        }
        return 0;
    case WM_ENTERIDLE: {
        // A box, dialog or menu over the window waits for the user: frames go on meanwhile, as
        // in the main loop (the arrows fly only while the window itself is active).
        MSG pending;
        while (Rendering() && !PeekMessageW(&pending, nullptr, 0, 0, PM_NOREMOVE))
            Guard([&] { Idle(); });
        return 0;
    }
    case WM_CLOSE:
        // What the next start takes back: the state and, unless full screen, the place.
        Session().RememberState();
        if (!m_FullScreen)
            RememberGeometry(Geometry());
        DestroyWindow(m_Window);
        return 0;
    case WM_DESTROY:
        StopLoop();
        // The view releases its context first; FormDestroy runs with none current.
        m_Context.reset();
        Viewer().ReleaseTextures();
        PostQuitMessage(0);
        return 0;
    default:
        break;
    }
    return DefWindowProcW(m_Window, message, wParam, lParam);
}

LRESULT TWinForm::HandleView(UINT message, WPARAM wParam, LPARAM lParam)
{
    switch (message) {
    case WM_ERASEBKGND:
        return 1;
    case WM_PAINT: {
        PAINTSTRUCT paint;
        HDC dc = BeginPaint(m_View, &paint);
        if (Session().ZoneLoaded() && m_Context)
            Paint();
        else
            PaintEmptyView(dc);
        EndPaint(m_View, &paint);
        return 0;
    }
    case WM_LBUTTONDOWN:
    case WM_RBUTTONDOWN:
        GiveKeyboardToView();
        if (message == WM_LBUTTONDOWN)
            SetCapture(m_View);
        return 0;
    case WM_LBUTTONUP:
        ReleaseCapture();
        return 0;
    case WM_MOUSEMOVE: {
        const POINT at = ViewPoint(GET_X_LPARAM(lParam), GET_Y_LPARAM(lParam));
        const bool left = (wParam & MK_LBUTTON) != 0;
        Viewer().MouseMove(at.x, at.y, left);
        if (left)
            ShowStatus();
        return 0;
    }
    case WM_MOUSEWHEEL:
        Viewer().WheelMove(static_cast<float>(GET_WHEEL_DELTA_WPARAM(wParam)) / WHEEL_DELTA, (wParam & MK_SHIFT) != 0,
                           GetKeyState(VK_MENU) < 0);
        InvalidateRect(m_View, nullptr, FALSE);
        return 0;
    default:
        break;
    }
    return DefWindowProcW(m_View, message, wParam, lParam);
}

bool TWinForm::PreTranslate(MSG& message)
{
    if (message.hwnd != m_Window && !IsChild(m_Window, message.hwnd))
        return false;
    if (TranslateAcceleratorW(m_Window, m_Accelerators, &message))
        return true;
    const bool keyDown = message.message == WM_KEYDOWN || message.message == WM_SYSKEYDOWN;
    const bool keyUp = message.message == WM_KEYUP || message.message == WM_SYSKEYUP;
    // The arrows fly the camera (polled in the frame loop), whatever has the focus: no
    // control of the window moves by them.
    if ((keyDown || keyUp) && IsArrow(message.wParam))
        return true;
    // The window's own key press: "d" levels the view, from the view and the panel alike
    // (none of the panel's controls takes text).
    if (message.message == WM_CHAR && message.wParam == L'd') {
        Viewer().LevelView();
        return true;
    }
    // Tab and Shift+Tab reach the panel's controls, from the view too.
    if (message.message == WM_KEYDOWN && message.wParam == VK_TAB) {
        HWND focus = GetFocus();
        const bool back = GetKeyState(VK_SHIFT) < 0;
        HWND next = GetNextDlgTabItem(m_Panel, IsChild(m_Panel, focus) ? focus : nullptr, back);
        if (next)
            SetFocus(next);
        return true;
    }
    return false;
}

int TWinForm::Run()
{
    MSG message{};
    for (;;) {
        while (PeekMessageW(&message, nullptr, 0, 0, PM_REMOVE)) {
            if (message.message == WM_QUIT)
                return static_cast<int>(message.wParam);
            if (PreTranslate(message))
                continue;
            TranslateMessage(&message);
            DispatchMessageW(&message);
        }
        if (Rendering())
            Guard([&] { Idle(); });
        else
            WaitMessage();
    }
}

// --- The frame loop ----------------------------------------------------------------------------

void TWinForm::StartLoop()
{
    // Frames run once creation has ended and while there is a zone to fly over.
    if (!m_FormCreated || m_Rendering || !Session().ZoneLoaded())
        return;
    m_FrameLoop->Start();
    m_Rendering = true;
}

void TWinForm::StopLoop() { m_Rendering = false; }

void TWinForm::Idle()
{
    // The keys count only while the window is active.
    TKeyState keys;
    if (GetForegroundWindow() == m_Window) {
        auto held = [](int key) { return (GetAsyncKeyState(key) & 0x8000) != 0; };
        keys = {held(VK_UP), held(VK_DOWN), held(VK_LEFT), held(VK_RIGHT), held(VK_SHIFT), held(VK_MENU)};
    }
    const TFrameReport report = m_FrameLoop->Step(keys);
    if (report.Caption)
        SetWindowTextW(m_Window, Wide(*report.Caption).c_str());
    ShowStatus();
    Paint();
    ValidateRect(m_View, nullptr);
}

void TWinForm::Paint()
{
    if (DrawView())
        m_Context->SwapBuffers();
}

bool TWinForm::DrawView()
{
    if (!m_Context)
        return false;
    m_Context->MakeCurrent();
    const RECT view = ViewRect();
    TFrameGeometry frame;
    frame.ViewWidth = view.right - view.left;
    frame.ViewHeight = std::max<int>(1, view.bottom - view.top);
    frame.PixelRatio = static_cast<float>(WindowDpi(m_Window)) / static_cast<float>(DesignDpi);
    // Until creation has ended nothing is drawn.
    frame.Visible = m_FormCreated && IsWindowVisible(m_Window);
    Guard([&] { Viewer().DrawFrame(frame); });
    return true;
}

void TWinForm::PaintEmptyView(HDC dc)
{
    // Until a zone has loaded the view says what to do instead of drawing an empty scene.
    RECT view{};
    GetClientRect(m_View, &view);
    FillRect(dc, &view, static_cast<HBRUSH>(GetStockObject(BLACK_BRUSH)));
    if (!m_FormCreated)
        return;
    std::wstring text = Latin1(TSession::EmptyViewText);
    std::replace(text.begin(), text.end(), L'\r', L'\n');
    const HGDIOBJ previous = SelectObject(dc, m_Font);
    SetTextColor(dc, RGB(255, 255, 255));
    SetBkMode(dc, TRANSPARENT);
    RECT measured = view;
    DrawTextW(dc, text.c_str(), -1, &measured, DT_CENTER | DT_WORDBREAK | DT_CALCRECT);
    RECT centred = view;
    centred.top += ((view.bottom - view.top) - (measured.bottom - measured.top)) / 2;
    DrawTextW(dc, text.c_str(), -1, &centred, DT_CENTER | DT_WORDBREAK);
    SelectObject(dc, previous);
}

bool TWinForm::WriteViewPicture(const std::string& path)
{
    // The view's picture drawn anew and read back from the buffer it was drawn into.
    if (!DrawView())
        return false;
    RECT view{};
    GetClientRect(m_View, &view);
    const int width = view.right, height = view.bottom;
    if (width <= 0 || height <= 0)
        return false;
    const TRGBAImage picture = ReadFramebuffer(0, 0, width, height);
    m_Context->SwapBuffers();
    constexpr int BitDepth = 8;
    WritePNG(path, width, height, static_cast<int>(TRGBAImage::RGBChannels), BitDepth, picture.RGBPixels());
    return true;
}

// --- Controls and actions -------------------------------------------------------------------

void TWinForm::ControlCommand(int id, HWND control)
{
    const int index = id - ControlIdBase;
    if (id >= RendererButtonIdBase && id < RendererButtonIdBase + static_cast<int>(m_RendererButtons.size())) {
        Guard([&] { Session().SetRenderer(RendererTable[id - RendererButtonIdBase].Tag); });
    } else if (index >= 0 && index < static_cast<int>(std::size(PanelControls)) &&
               PanelControls[index].Kind == TPanelKind::CheckBox) {
        const std::string_view name = PanelControls[index].Name;
        const bool checked = SendMessageW(control, BM_GETCHECK, 0, 0) == BST_CHECKED;
        if (name == "chkRender") {
            if (checked)
                StartLoop();
            else
                StopLoop();
        } else {
            Guard([&] { Session().ControlChanged(name, checked); });
        }
    } else {
        return;
    }
    SyncControls();
    RefreshState();
    // A change of a control gives the keyboard back to the view.
    GiveKeyboardToView();
}

void TWinForm::SliderMoved(HWND slider, int request)
{
    for (size_t i = 0; i < m_Controls.size(); ++i)
        if (m_Controls[i] == slider) {
            const int position = static_cast<int>(SendMessageW(slider, TBM_GETPOS, 0, 0));
            Guard([&] { Session().ControlChanged(PanelControls[i].Name, position); });
        }
    if (request == TB_ENDTRACK)
        GiveKeyboardToView();
}

void TWinForm::RunAction(TActionId id)
{
    // A shortcut of an action that cannot run now does nothing.
    if (!Session().ActionEnabled(id))
        return;
    switch (id) {
    case TActionId::Go: Guard([&] { Session().GoTo(); }); break;
    case TActionId::Zone: Guard([&] { Session().ChangeZone(); }); break;
    case TActionId::DumpD2: Guard([&] { Viewer().DumpD2Map(); }); break;
    case TActionId::DumpH: Guard([&] { Viewer().DumpHeightMap(); }); break;
    case TActionId::ExportZone: Guard([&] { Session().ExportZone(); }); break;
    case TActionId::SaveZoneMap: Guard([&] { Session().SaveZoneMap(); }); break;
    case TActionId::Wireframe: Guard([&] { Session().ControlChanged("chkWireframe", 0); }); break;
    case TActionId::Lighting: Guard([&] { Session().ControlChanged("chkLighting", 0); }); break;
    case TActionId::Help: {
        std::vector<std::pair<std::string, std::string>> rows;
        for (const auto& [keys, does] : HelpEntries())
            rows.emplace_back(keys, does);
        ShowTable(m_Window, "Keys and mouse", rows);
        break;
    }
    case TActionId::SaveView: Guard([&] { Session().SaveView(); }); break;
    case TActionId::Home: Viewer().ResetCamera(); break;
    case TActionId::OpenGameFolder: Guard([&] { Session().OpenGameFolder(); }); break;
    case TActionId::Quit: PostMessageW(m_Window, WM_CLOSE, 0, 0); return;
    case TActionId::PopupMenu: {
        // Beside the control that has the keyboard, or at the view's top left corner.
        HWND focus = GetFocus();
        RECT at{};
        if (focus && IsChild(m_Panel, focus)) {
            GetWindowRect(focus, &at);
            ShowMenu({(at.left + at.right) / 2, (at.top + at.bottom) / 2});
        } else {
            at = ViewRect();
            POINT corner{at.left, at.top};
            ClientToScreen(m_Window, &corner);
            ShowMenu(corner);
        }
        break;
    }
    case TActionId::SaveD2Map: Guard([&] { Session().SaveD2Map(); }); break;
    case TActionId::SaveHMap: Guard([&] { Session().SaveHMap(); }); break;
    case TActionId::FullScreen: ToggleFullScreen(); break;
    case TActionId::ResetDefaults:
        Guard([&] { Session().ResetToDefaults(); });
        SyncControls();
        if (!m_FullScreen)
            PlaceWindow();
        break;
    }
    SyncControls();
    RefreshState();
}

void TWinForm::ShowMenu(POINT screen)
{
    for (size_t i = 0; i < ActionCount; ++i) {
        const TActionModel& model = ActionModels[i];
        const UINT id = ActionIdBase + static_cast<UINT>(i);
        EnableMenuItem(m_Menu, id, MF_BYCOMMAND | (Session().ActionEnabled(model.Id) ? MF_ENABLED : MF_GRAYED));
        if (model.Checkable) {
            const bool checked = model.Id == TActionId::FullScreen ? m_FullScreen
                                 : model.Id == TActionId::Wireframe ? Viewer().atnWireframeChecked
                                                                    : Viewer().atnLightingChecked;
            CheckMenuItem(m_Menu, id, MF_BYCOMMAND | (checked ? MF_CHECKED : MF_UNCHECKED));
        }
    }
    TrackPopupMenu(m_Menu, TPM_LEFTALIGN | TPM_TOPALIGN | TPM_RIGHTBUTTON, screen.x, screen.y, 0, m_Window, nullptr);
}

void TWinForm::ToggleFullScreen()
{
    if (!m_FullScreen) {
        m_Windowed.length = sizeof m_Windowed;
        GetWindowPlacement(m_Window, &m_Windowed);
        m_WindowedStyle = GetWindowLongPtrW(m_Window, GWL_STYLE);
        MONITORINFO info{};
        info.cbSize = sizeof info;
        GetMonitorInfoW(MonitorFromWindow(m_Window, MONITOR_DEFAULTTONEAREST), &info);
        SetWindowLongPtrW(m_Window, GWL_STYLE, (m_WindowedStyle & ~WS_OVERLAPPEDWINDOW) | WS_POPUP);
        const RECT& screen = info.rcMonitor;
        SetWindowPos(m_Window, HWND_TOP, screen.left, screen.top, screen.right - screen.left,
                     screen.bottom - screen.top, SWP_FRAMECHANGED | SWP_NOOWNERZORDER);
        m_FullScreen = true;
    } else {
        SetWindowLongPtrW(m_Window, GWL_STYLE, m_WindowedStyle);
        SetWindowPlacement(m_Window, &m_Windowed);
        SetWindowPos(m_Window, nullptr, 0, 0, 0, 0,
                     SWP_FRAMECHANGED | SWP_NOMOVE | SWP_NOSIZE | SWP_NOZORDER | SWP_NOOWNERZORDER);
        m_FullScreen = false;
    }
}

void TWinForm::GiveKeyboardToView() { SetFocus(m_View); }

// --- What the window shows -------------------------------------------------------------------

void TWinForm::RefreshState()
{
    const bool zone = Session().ZoneLoaded();
    // A control that changes nothing with the renderer chosen is disabled, its tip says why.
    for (size_t i = 0; i < std::size(PanelControls); ++i) {
        if (!m_Controls[i])
            continue;
        const TPanelControl& model = PanelControls[i];
        EnableWindow(m_Controls[i], ControlIdleReason(model.Name, Viewer().RenderVersion).empty());
        const std::wstring tip = Wide(ControlTip(model, Viewer().RenderVersion));
        TTTOOLINFOW tool{};
        tool.cbSize = sizeof tool;
        tool.hwnd = m_Panel;
        tool.lpszText = const_cast<wchar_t*>(tip.c_str());
        for (const UINT_PTR id : {reinterpret_cast<UINT_PTR>(m_Controls[i]), static_cast<UINT_PTR>(i + 1)}) {
            tool.uId = id;
            SendMessageW(m_Tips, TTM_UPDATETIPTEXTW, 0, reinterpret_cast<LPARAM>(&tool));
        }
    }
    ShowStatus();
    // Nothing to fly over: no frames.
    const size_t render = static_cast<size_t>(
        std::find_if(std::begin(PanelControls), std::end(PanelControls),
                     [](const TPanelControl& model) { return model.Name == "chkRender"; }) -
        std::begin(PanelControls));
    if (!zone)
        StopLoop();
    else if (m_FormCreated && SendMessageW(m_Controls[render], BM_GETCHECK, 0, 0) == BST_CHECKED)
        StartLoop();
    InvalidateRect(m_View, nullptr, FALSE);
}

void TWinForm::SyncControls()
{
    for (size_t i = 0; i < std::size(PanelControls); ++i) {
        const TPanelControl& model = PanelControls[i];
        if (model.Kind == TPanelKind::CheckBox && model.Name != "chkRender")
            SendMessageW(m_Controls[i], BM_SETCHECK, Session().ControlValue(model.Name) ? BST_CHECKED : BST_UNCHECKED, 0);
        else if (model.Kind == TPanelKind::Slider)
            SendMessageW(m_Controls[i], TBM_SETPOS, TRUE, Session().ControlValue(model.Name));
    }
    for (size_t r = 0; r < m_RendererButtons.size(); ++r)
        SendMessageW(m_RendererButtons[r], BM_SETCHECK,
                     RendererTable[r].Tag == Viewer().RenderVersion ? BST_CHECKED : BST_UNCHECKED, 0);
}

void TWinForm::ShowStatus()
{
    // A message of what was just done takes the whole line while it shows.
    if (m_Notice)
        return;
    const std::wstring status = Wide(Session().StatusText());
    std::wstring shown(static_cast<size_t>(LOWORD(SendMessageW(m_Status, SB_GETTEXTLENGTHW, 0, 0))) + 1, L'\0');
    SendMessageW(m_Status, SB_GETTEXTW, 0, reinterpret_cast<LPARAM>(shown.data()));
    if (status != shown.c_str())
        SendMessageW(m_Status, SB_SETTEXTW, 0, reinterpret_cast<LPARAM>(status.c_str()));
}

// --- The window's place kept between runs --------------------------------------------------

std::string TWinForm::Geometry() const
{
    WINDOWPLACEMENT placement{};
    placement.length = sizeof placement;
    GetWindowPlacement(m_Window, &placement);
    const RECT& r = placement.rcNormalPosition;
    return std::to_string(placement.showCmd == SW_SHOWMAXIMIZED ? 1 : 0) + " " + std::to_string(r.left) + " " +
           std::to_string(r.top) + " " + std::to_string(r.right) + " " + std::to_string(r.bottom);
}

void TWinForm::RestoreGeometry(const std::string& geometry)
{
    std::istringstream in(geometry);
    int maximized = 0;
    RECT r{};
    if (!(in >> maximized >> r.left >> r.top >> r.right >> r.bottom) || r.right <= r.left || r.bottom <= r.top) {
        PlaceWindow();
        return;
    }
    WINDOWPLACEMENT placement{};
    placement.length = sizeof placement;
    placement.showCmd = maximized ? SW_SHOWMAXIMIZED : SW_SHOWNORMAL;
    placement.rcNormalPosition = r;
    // A place on a screen no longer there is moved onto one by the system.
    SetWindowPlacement(m_Window, &placement);
    ShowWindow(m_Window, SW_HIDE);
}

// --- What the session asks of the window ------------------------------------------------------

void TWinForm::TFrontEnd::ShowMessage(TMessageKind kind, const std::string& caption, const std::string& text)
{
    ShowBox(m_Form.m_Window, kind, caption, text);
}

bool TWinForm::TFrontEnd::OfferAction(TMessageKind kind, const std::string& caption, const std::string& text,
                                      const std::string& action)
{
    return AskBox(m_Form.m_Window, kind, caption, text, action);
}

std::optional<std::string> TWinForm::TFrontEnd::AskText(const std::string& caption, const std::string& prompt,
                                                        const std::string& text)
{
    return InputBox(m_Form.m_Window, caption, prompt, text);
}

std::optional<std::string> TWinForm::TFrontEnd::AskChoice(const std::string& caption, const std::string& prompt,
                                                          const std::vector<std::string>& items,
                                                          const std::string& text)
{
    return InputBox(m_Form.m_Window, caption, prompt, text, items);
}

std::optional<std::string> TWinForm::TFrontEnd::AskFolder(const std::string& caption, const std::string& start)
{
    return ChooseFolder(m_Form.m_Window, caption, start);
}

std::optional<TSaveFileChoice> TWinForm::TFrontEnd::AskSaveFile(const std::string& caption, const std::string& folder,
                                                                const std::string& suggestedName,
                                                                const std::vector<std::string>& filters)
{
    return ChooseSaveFile(m_Form.m_Window, caption, folder, suggestedName, filters);
}

bool TWinForm::TFrontEnd::ViewActive() const { return m_Form.m_Context != nullptr; }

void TWinForm::TFrontEnd::MakeCurrent()
{
    if (m_Form.m_Context)
        m_Form.m_Context->MakeCurrent();
}

std::optional<std::string> TWinForm::TFrontEnd::RememberedGameDir() { return win::RememberedGameDir(); }

void TWinForm::TFrontEnd::RememberGameDir(const std::string& gameDir) { win::RememberGameDir(gameDir); }

void TWinForm::TFrontEnd::SetBusy(bool busy)
{
    // The wait cursor while a file is written.
    SetCursor(LoadCursorW(nullptr, busy ? IDC_WAIT : IDC_ARROW));
}

void TWinForm::TFrontEnd::Notify(const std::string& text)
{
    m_Form.m_Notice = true;
    SendMessageW(m_Form.m_Status, SB_SETTEXTW, 0, reinterpret_cast<LPARAM>(Wide(text).c_str()));
    SetTimer(m_Form.m_Window, NoticeTimer, StatusNoticeMs, nullptr);
}

std::string TWinForm::TFrontEnd::DocumentsFolder()
{
    for (const KNOWNFOLDERID& id : {FOLDERID_Pictures, FOLDERID_Documents, FOLDERID_Profile}) {
        PWSTR path = nullptr;
        if (SUCCEEDED(SHGetKnownFolderPath(id, 0, nullptr, &path))) {
            std::string folder = Narrow(path, wcslen(path));
            CoTaskMemFree(path);
            if (GetFileAttributesW(Wide(folder).c_str()) != INVALID_FILE_ATTRIBUTES)
                return folder;
        } else {
            CoTaskMemFree(path);
        }
    }
    return {};
}

std::optional<std::string> TWinForm::TFrontEnd::RememberedValue(const std::string& key)
{
    return win::RememberedValue(key);
}

void TWinForm::TFrontEnd::RememberValue(const std::string& key, const std::string& value)
{
    win::RememberValue(key, value);
}

void TWinForm::TFrontEnd::ForgetValues() { win::ForgetValues(); }

}  // namespace orv::win
