#include "WinDialogs.h"

#include <algorithm>

#include <commctrl.h>
#include <shobjidl.h>

#include "WinLayout.h"
#include "base/platform/Files.h"

namespace orv::win {
namespace {

using platform::Narrow;
using platform::Wide;

// The session's line breaks (carriage returns) as the system's.
std::wstring BoxText(const std::string& text)
{
    std::wstring wide;
    for (const wchar_t c : Wide(text)) {
        if (c == L'\r')
            wide += L"\r\n";
        else if (c != L'\n' || wide.empty() || wide.back() != L'\n')
            wide += c == L'\n' ? std::wstring(L"\r\n") : std::wstring(1, c);
    }
    return wide;
}

std::string WindowText(HWND window)
{
    std::wstring text(static_cast<size_t>(GetWindowTextLengthW(window)) + 1, L'\0');
    const int length = GetWindowTextW(window, text.data(), static_cast<int>(text.size()));
    return Narrow(text.data(), static_cast<size_t>(std::max(length, 0)));
}

// An interface pointer released when it goes.
template <typename T>
struct TCom {
    T* Ptr = nullptr;
    TCom() = default;
    TCom(const TCom&) = delete;
    TCom& operator=(const TCom&) = delete;
    ~TCom()
    {
        if (Ptr)
            Ptr->Release();
    }
    T* operator->() const { return Ptr; }
};

// The folder a file dialog starts in; nothing when the path names none.
void StartIn(IFileDialog& dialog, const std::string& folder)
{
    if (folder.empty())
        return;
    std::wstring path = Wide(folder);
    std::replace(path.begin(), path.end(), L'/', L'\\');
    TCom<IShellItem> item;
    if (SUCCEEDED(SHCreateItemFromParsingName(path.c_str(), nullptr, IID_PPV_ARGS(&item.Ptr))))
        dialog.SetFolder(item.Ptr);
}

std::optional<std::string> ShownPath(IFileDialog& dialog, HWND owner)
{
    if (dialog.Show(owner) != S_OK)
        return std::nullopt;
    TCom<IShellItem> item;
    if (FAILED(dialog.GetResult(&item.Ptr)))
        return std::nullopt;
    PWSTR path = nullptr;
    if (FAILED(item->GetDisplayName(SIGDN_FILESYSPATH, &path)))
        return std::nullopt;
    std::string chosen = Narrow(path, wcslen(path));
    CoTaskMemFree(path);
    return chosen;
}

// --- The input box -------------------------------------------------------------------------

constexpr wchar_t InputBoxClass[] = L"TInputBox";
// Layout in pixels at 96 dots per inch.
constexpr int Margin = 11, LineHeight = 14, InputHeight = 23, ButtonWidth = 75, ButtonHeight = 23, Gap = 7;
constexpr int ListHeight = 200;
// Room beside a caption for the system's buttons; the longest location "Go to loc..." shows.
constexpr int CaptionRoom = 160;
constexpr const wchar_t* WidestLocation = L"-65535,-65535,-65535,359,-180";
constexpr double MaxScreenShare = 0.9;

struct TInputBoxState {
    bool Done = false, Accepted = false;
};

LRESULT CALLBACK InputBoxProc(HWND window, UINT message, WPARAM wParam, LPARAM lParam)
{
    auto* state = reinterpret_cast<TInputBoxState*>(GetWindowLongPtrW(window, GWLP_USERDATA));
    switch (message) {
    case WM_COMMAND:
        if (state && (LOWORD(wParam) == IDOK || LOWORD(wParam) == IDCANCEL)) {
            state->Accepted = LOWORD(wParam) == IDOK;
            state->Done = true;
            return 0;
        }
        break;
    case WM_CLOSE:
        if (state)
            state->Done = true;
        return 0;
    default:
        break;
    }
    return DefWindowProcW(window, message, wParam, lParam);
}

int TextWidth(HDC dc, const std::wstring& text)
{
    SIZE size{};
    GetTextExtentPoint32W(dc, text.c_str(), static_cast<int>(text.size()), &size);
    return size.cx;
}

}  // namespace

void ShowBox(HWND owner, TMessageKind kind, const std::string& caption, const std::string& text)
{
    if (AppendToMessageLog(text, {}))
        return;
    const UINT icon = kind == TMessageKind::Information ? MB_ICONINFORMATION
                      : kind == TMessageKind::Warning   ? MB_ICONWARNING
                                                        : MB_ICONERROR;
    MessageBoxW(owner, BoxText(text).c_str(), Wide(caption).c_str(), MB_OK | icon);
}

bool AskBox(HWND owner, TMessageKind kind, const std::string& caption, const std::string& text,
            const std::string& action)
{
    if (AppendToMessageLog(text, action))
        return false;
    constexpr int TakeAction = 100;
    const std::wstring wideCaption = Wide(caption), wideText = BoxText(text), wideAction = Wide(action);
    const TASKDIALOG_BUTTON buttons[] = {{TakeAction, wideAction.c_str()}, {IDCLOSE, L"Close"}};
    TASKDIALOGCONFIG config{};
    config.cbSize = sizeof config;
    config.hwndParent = owner;
    config.dwFlags = TDF_ALLOW_DIALOG_CANCELLATION | TDF_POSITION_RELATIVE_TO_WINDOW;
    config.pszWindowTitle = wideCaption.c_str();
    config.pszMainIcon = kind == TMessageKind::Information ? TD_INFORMATION_ICON
                         : kind == TMessageKind::Warning   ? TD_WARNING_ICON
                                                           : TD_ERROR_ICON;
    config.pszContent = wideText.c_str();
    config.cButtons = 2;
    config.pButtons = buttons;
    config.nDefaultButton = TakeAction;
    int pressed = 0;
    if (FAILED(TaskDialogIndirect(&config, &pressed, nullptr, nullptr)))
        return false;
    return pressed == TakeAction;
}

std::optional<std::string> InputBox(HWND owner, const std::string& caption, const std::string& prompt,
                                    const std::string& text, const std::vector<std::string>& items)
{
    const HINSTANCE instance = GetModuleHandleW(nullptr);
    static const ATOM registered = [&] {
        WNDCLASSEXW windowClass{};
        windowClass.cbSize = sizeof windowClass;
        windowClass.lpfnWndProc = InputBoxProc;
        windowClass.hInstance = instance;
        windowClass.hCursor = LoadCursorW(nullptr, IDC_ARROW);
        windowClass.hbrBackground = GetSysColorBrush(COLOR_BTNFACE);
        windowClass.lpszClassName = InputBoxClass;
        return RegisterClassExW(&windowClass);
    }();
    if (registered == 0)
        return std::nullopt;

    const UINT dpi = WindowDpi(owner);
    const HFONT font = MessageFont(dpi);
    const std::wstring wideCaption = Wide(caption), widePrompt = Wide(prompt), wideText = Wide(text);
    // Wide enough for the caption with the system's buttons, the prompt, the text, every
    // item and a full location.
    int widest = 0;
    if (HDC dc = GetDC(owner)) {
        const HGDIOBJ previous = SelectObject(dc, font);
        widest = std::max({TextWidth(dc, widePrompt), TextWidth(dc, wideText), TextWidth(dc, WidestLocation)});
        for (const std::string& item : items)
            widest = std::max(widest, TextWidth(dc, Wide(item)));
        widest = std::max(widest + Scale(2 * Margin, dpi), TextWidth(dc, wideCaption) + Scale(CaptionRoom, dpi));
        SelectObject(dc, previous);
        ReleaseDC(owner, dc);
    }
    const RECT area = WorkArea(owner);
    const int clientWidth = std::min(widest + Scale(2 * Margin, dpi),
                                     static_cast<int>((area.right - area.left) * MaxScreenShare));
    const int inner = clientWidth - Scale(2 * Margin, dpi);
    const int buttonsTop = Scale(Margin + LineHeight + Gap + InputHeight + Gap, dpi);
    const int clientHeight = buttonsTop + Scale(ButtonHeight + Margin, dpi);
    constexpr DWORD Style = WS_POPUP | WS_CAPTION | WS_SYSMENU | DS_MODALFRAME;
    constexpr DWORD ExStyle = WS_EX_DLGMODALFRAME | WS_EX_CONTROLPARENT;
    RECT outer{0, 0, clientWidth, clientHeight};
    AdjustWindowRectExForDpi(&outer, Style, FALSE, ExStyle, dpi);
    // Centred over the owner.
    RECT ownerRect{};
    GetWindowRect(owner, &ownerRect);
    const int width = outer.right - outer.left, height = outer.bottom - outer.top;
    const int left = std::max<int>(area.left, (ownerRect.left + ownerRect.right - width) / 2);
    const int top = std::max<int>(area.top, (ownerRect.top + ownerRect.bottom - height) / 2);
    HWND box = CreateWindowExW(ExStyle, InputBoxClass, wideCaption.c_str(), Style, left, top, width, height, owner,
                               nullptr, instance, nullptr);
    if (box == nullptr) {
        DeleteObject(font);
        return std::nullopt;
    }
    TInputBoxState state;
    SetWindowLongPtrW(box, GWLP_USERDATA, reinterpret_cast<LONG_PTR>(&state));
    auto child = [&](const wchar_t* kind, const wchar_t* title, DWORD style, int x, int y, int w, int h, int id,
                     DWORD exStyle = 0) {
        HWND control = CreateWindowExW(exStyle, kind, title, WS_CHILD | WS_VISIBLE | style, x, y, w, h, box,
                                       reinterpret_cast<HMENU>(static_cast<INT_PTR>(id)), instance, nullptr);
        SendMessageW(control, WM_SETFONT, reinterpret_cast<WPARAM>(font), FALSE);
        return control;
    };
    const int margin = Scale(Margin, dpi);
    child(L"STATIC", widePrompt.c_str(), SS_LEFT | SS_NOPREFIX, margin, margin, inner, Scale(LineHeight, dpi), -1);
    const int inputTop = Scale(Margin + LineHeight + Gap, dpi);
    HWND input = items.empty()
                     ? child(L"EDIT", wideText.c_str(), WS_TABSTOP | ES_AUTOHSCROLL, margin, inputTop, inner,
                             Scale(InputHeight, dpi), 1, WS_EX_CLIENTEDGE)
                     : child(L"COMBOBOX", L"", WS_TABSTOP | WS_VSCROLL | CBS_DROPDOWN | CBS_AUTOHSCROLL, margin,
                             inputTop, inner, Scale(ListHeight, dpi), 1);
    for (const std::string& item : items)
        SendMessageW(input, CB_ADDSTRING, 0, reinterpret_cast<LPARAM>(Wide(item).c_str()));
    if (!items.empty())
        SetWindowTextW(input, wideText.c_str());
    const int buttonWidth = Scale(ButtonWidth, dpi), buttonHeight = Scale(ButtonHeight, dpi);
    child(L"BUTTON", L"OK", WS_TABSTOP | BS_DEFPUSHBUTTON, clientWidth - margin - 2 * buttonWidth - Scale(Gap, dpi),
          buttonsTop, buttonWidth, buttonHeight, IDOK);
    child(L"BUTTON", L"Cancel", WS_TABSTOP | BS_PUSHBUTTON, clientWidth - margin - buttonWidth, buttonsTop,
          buttonWidth, buttonHeight, IDCANCEL);

    EnableWindow(owner, FALSE);
    ShowWindow(box, SW_SHOW);
    SetFocus(input);
    SendMessageW(items.empty() ? input : GetWindow(input, GW_CHILD), EM_SETSEL, 0, -1);
    MSG message{};
    bool quit = false;
    while (!state.Done) {
        if (GetMessageW(&message, nullptr, 0, 0) <= 0) {
            quit = true;
            break;
        }
        if (!IsDialogMessageW(box, &message)) {
            TranslateMessage(&message);
            DispatchMessageW(&message);
        }
    }
    const std::string reply = WindowText(input);
    EnableWindow(owner, TRUE);
    SetActiveWindow(owner);
    DestroyWindow(box);
    DeleteObject(font);
    if (quit)
        PostQuitMessage(static_cast<int>(message.wParam));
    if (!state.Accepted)
        return std::nullopt;
    return reply;
}

std::optional<std::string> ChooseFolder(HWND owner, const std::string& caption, const std::string& start)
{
    TCom<IFileOpenDialog> dialog;
    if (FAILED(CoCreateInstance(CLSID_FileOpenDialog, nullptr, CLSCTX_INPROC_SERVER, IID_PPV_ARGS(&dialog.Ptr))))
        return std::nullopt;
    FILEOPENDIALOGOPTIONS options = 0;
    dialog->GetOptions(&options);
    dialog->SetOptions(options | FOS_PICKFOLDERS | FOS_FORCEFILESYSTEM | FOS_PATHMUSTEXIST);
    dialog->SetTitle(Wide(caption).c_str());
    StartIn(*dialog.Ptr, start);
    return ShownPath(*dialog.Ptr, owner);
}

std::optional<TSaveFileChoice> ChooseSaveFile(HWND owner, const std::string& caption, const std::string& folder,
                                              const std::string& suggestedName, const std::vector<std::string>& filters)
{
    // No one to ask: the suggested name in the working directory.
    if (MessageLogActive())
        return TSaveFileChoice{platform::NameOf(suggestedName), 0};
    TCom<IFileSaveDialog> dialog;
    if (FAILED(CoCreateInstance(CLSID_FileSaveDialog, nullptr, CLSCTX_INPROC_SERVER, IID_PPV_ARGS(&dialog.Ptr))))
        return std::nullopt;
    // "Name (*.ext)": the name whole and the pattern in the parentheses.
    std::vector<std::wstring> names, patterns;
    for (const std::string& filter : filters) {
        names.push_back(Wide(filter));
        const size_t open = filter.rfind('('), close = filter.rfind(')');
        patterns.push_back(open != std::string::npos && close > open ? Wide(filter.substr(open + 1, close - open - 1))
                                                                      : std::wstring(L"*.*"));
    }
    std::vector<COMDLG_FILTERSPEC> specs;
    for (size_t i = 0; i < filters.size(); ++i)
        specs.push_back({names[i].c_str(), patterns[i].c_str()});
    if (!specs.empty()) {
        dialog->SetFileTypes(static_cast<UINT>(specs.size()), specs.data());
        dialog->SetFileTypeIndex(1);
        // The chosen type's extension is added to a name typed without one.
        const std::wstring& first = patterns.front();
        if (first.size() > 2 && first.compare(0, 2, L"*.") == 0)
            dialog->SetDefaultExtension(first.c_str() + 2);
    }
    FILEOPENDIALOGOPTIONS options = 0;
    dialog->GetOptions(&options);
    dialog->SetOptions(options | FOS_OVERWRITEPROMPT | FOS_FORCEFILESYSTEM);
    dialog->SetTitle(Wide(caption).c_str());
    dialog->SetFileName(Wide(suggestedName).c_str());
    StartIn(*dialog.Ptr, folder);
    const std::optional<std::string> path = ShownPath(*dialog.Ptr, owner);
    if (!path)
        return std::nullopt;
    UINT type = 1;
    dialog->GetFileTypeIndex(&type);
    return TSaveFileChoice{*path, static_cast<int>(std::max<UINT>(type, 1) - 1)};
}

}  // namespace orv::win
