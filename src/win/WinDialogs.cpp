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

// --- Boxes made by the dialog manager -------------------------------------------------------

// Layout in pixels at 96 dots per inch.
constexpr int Margin = 11, LineHeight = 14, InputHeight = 23, ButtonWidth = 75, ButtonHeight = 23, Gap = 7;
constexpr double MaxScreenShare = 0.9;

int TextWidth(HDC dc, const std::wstring& text)
{
    SIZE size{};
    GetTextExtentPoint32W(dc, text.c_str(), static_cast<int>(text.size()), &size);
    return size.cx;
}

// A modal box over Owner from an empty dialog template, titled Caption, in the system's
// message font: Build makes its controls when it starts and sets the focus; OK (after
// Accept) and Cancel end it. The fonts go with it (a control's WM_SETFONT leaves them to
// the box).
struct TBox {
    HWND Owner = nullptr;
    std::wstring Caption;
    HFONT Font = nullptr, Bold = nullptr;

    TBox(HWND owner, std::wstring caption) : Owner(owner), Caption(std::move(caption)) {}
    TBox(const TBox&) = delete;
    TBox& operator=(const TBox&) = delete;
    virtual ~TBox()
    {
        if (Font)
            DeleteObject(Font);
        if (Bold)
            DeleteObject(Bold);
    }
    virtual void Build(HWND box) = 0;
    virtual void Accept(HWND) {}
    // A control's notification: true, with the result, when the box answers it.
    virtual bool Notify(const NMHDR&, LRESULT&) { return false; }
};

INT_PTR CALLBACK BoxProc(HWND box, UINT message, WPARAM wParam, LPARAM lParam)
{
    auto* data = reinterpret_cast<TBox*>(GetWindowLongPtrW(box, DWLP_USER));
    switch (message) {
    case WM_INITDIALOG:
        data = reinterpret_cast<TBox*>(lParam);
        SetWindowLongPtrW(box, DWLP_USER, lParam);
        SetWindowTextW(box, data->Caption.c_str());
        data->Font = MessageFont(WindowDpi(data->Owner));
        data->Build(box);
        return FALSE;
    case WM_NOTIFY: {
        LRESULT result = 0;
        if (!data || !data->Notify(*reinterpret_cast<const NMHDR*>(lParam), result))
            return FALSE;
        SetWindowLongPtrW(box, DWLP_MSGRESULT, result);
        return TRUE;
    }
    case WM_COMMAND:
        if (LOWORD(wParam) != IDOK && LOWORD(wParam) != IDCANCEL)
            return FALSE;
        if (data && LOWORD(wParam) == IDOK)
            data->Accept(box);
        EndDialog(box, LOWORD(wParam));
        return TRUE;
    default:
        return FALSE;
    }
}

// Shows data's box until it ends; IDOK or IDCANCEL.
INT_PTR RunBox(TBox& data)
{
    // The template's header, then no menu, the default class and no title.
    struct alignas(DWORD) TTemplate {
        DLGTEMPLATE Header;
        WORD Menu = 0, Class = 0, Title = 0;
    } dialog{};
    dialog.Header.style = WS_POPUP | WS_CAPTION | WS_SYSMENU | DS_MODALFRAME;
    dialog.Header.dwExtendedStyle = WS_EX_DLGMODALFRAME;
    return DialogBoxIndirectParamW(GetModuleHandleW(nullptr), &dialog.Header, data.Owner, BoxProc,
                                   reinterpret_cast<LPARAM>(&data));
}

// Sizes and places box for a client area of width x height, centred over owner and
// within its screen.
void PlaceBox(HWND box, HWND owner, int width, int height, UINT dpi)
{
    RECT outer{0, 0, width, height};
    AdjustWindowRectExForDpi(&outer, static_cast<DWORD>(GetWindowLongPtrW(box, GWL_STYLE)), FALSE,
                             static_cast<DWORD>(GetWindowLongPtrW(box, GWL_EXSTYLE)), dpi);
    const RECT area = WorkArea(owner);
    RECT ownerRect{};
    GetWindowRect(owner, &ownerRect);
    const int outerWidth = outer.right - outer.left, outerHeight = outer.bottom - outer.top;
    auto within = [](int centred, LONG low, LONG high, int size) {
        return static_cast<int>(std::max<LONG>(low, std::min<LONG>(centred, high - size)));
    };
    const int left = within((ownerRect.left + ownerRect.right - outerWidth) / 2, area.left, area.right, outerWidth);
    const int top = within((ownerRect.top + ownerRect.bottom - outerHeight) / 2, area.top, area.bottom, outerHeight);
    SetWindowPos(box, nullptr, left, top, outerWidth, outerHeight, SWP_NOZORDER | SWP_NOACTIVATE);
}

// A control of a box, in its font.
HWND BoxChild(HWND box, HFONT font, const wchar_t* kind, const wchar_t* title, DWORD style, int x, int y, int w, int h,
              int id, DWORD exStyle = 0)
{
    HWND control = CreateWindowExW(exStyle, kind, title, WS_CHILD | WS_VISIBLE | style, x, y, w, h, box,
                                   reinterpret_cast<HMENU>(static_cast<INT_PTR>(id)), GetModuleHandleW(nullptr),
                                   nullptr);
    SendMessageW(control, WM_SETFONT, reinterpret_cast<WPARAM>(font), FALSE);
    return control;
}

// --- The input box -------------------------------------------------------------------------

constexpr int ListHeight = 200;
// Room beside a caption for the system's buttons; the longest location "Go to loc..." shows.
constexpr int CaptionRoom = 160;
constexpr const wchar_t* WidestLocation = L"-65535,-65535,-65535,359,-180";
constexpr int InputId = 1000;

// What an input box shows and what it was answered.
struct TInputBox : TBox {
    std::wstring Prompt, Text;
    std::vector<std::wstring> Items;
    std::string Reply;

    using TBox::TBox;
    void Build(HWND box) override;
    void Accept(HWND box) override { Reply = WindowText(GetDlgItem(box, InputId)); }
};

void TInputBox::Build(HWND box)
{
    const UINT dpi = WindowDpi(Owner);
    // Wide enough for the caption with the system's buttons, the prompt, the text, every
    // item and a full location.
    int widest = 0;
    if (HDC dc = GetDC(box)) {
        const HGDIOBJ previous = SelectObject(dc, Font);
        widest = std::max({TextWidth(dc, Prompt), TextWidth(dc, Text), TextWidth(dc, WidestLocation)});
        for (const std::wstring& item : Items)
            widest = std::max(widest, TextWidth(dc, item));
        widest = std::max(widest + Scale(2 * Margin, dpi), TextWidth(dc, Caption) + Scale(CaptionRoom, dpi));
        SelectObject(dc, previous);
        ReleaseDC(box, dc);
    }
    const RECT area = WorkArea(Owner);
    const int clientWidth = std::min(widest + Scale(2 * Margin, dpi),
                                     static_cast<int>((area.right - area.left) * MaxScreenShare));
    const int inner = clientWidth - Scale(2 * Margin, dpi);
    const int buttonsTop = Scale(Margin + LineHeight + Gap + InputHeight + Gap, dpi);
    const int clientHeight = buttonsTop + Scale(ButtonHeight + Margin, dpi);
    PlaceBox(box, Owner, clientWidth, clientHeight, dpi);

    auto child = [&](const wchar_t* kind, const wchar_t* title, DWORD style, int x, int y, int w, int h, int id,
                     DWORD exStyle = 0) { return BoxChild(box, Font, kind, title, style, x, y, w, h, id, exStyle); };
    const int margin = Scale(Margin, dpi);
    child(L"STATIC", Prompt.c_str(), SS_LEFT | SS_NOPREFIX, margin, margin, inner, Scale(LineHeight, dpi), -1);
    const int inputTop = Scale(Margin + LineHeight + Gap, dpi);
    HWND input = Items.empty()
                     ? child(L"EDIT", Text.c_str(), WS_TABSTOP | ES_AUTOHSCROLL, margin, inputTop, inner,
                             Scale(InputHeight, dpi), InputId, WS_EX_CLIENTEDGE)
                     : child(L"COMBOBOX", L"", WS_TABSTOP | WS_VSCROLL | CBS_DROPDOWN | CBS_AUTOHSCROLL, margin,
                             inputTop, inner, Scale(ListHeight, dpi), InputId);
    for (const std::wstring& item : Items)
        SendMessageW(input, CB_ADDSTRING, 0, reinterpret_cast<LPARAM>(item.c_str()));
    if (!Items.empty())
        SetWindowTextW(input, Text.c_str());
    const int buttonWidth = Scale(ButtonWidth, dpi), buttonHeight = Scale(ButtonHeight, dpi);
    child(L"BUTTON", L"OK", WS_TABSTOP | BS_DEFPUSHBUTTON, clientWidth - margin - 2 * buttonWidth - Scale(Gap, dpi),
          buttonsTop, buttonWidth, buttonHeight, IDOK);
    child(L"BUTTON", L"Cancel", WS_TABSTOP | BS_PUSHBUTTON, clientWidth - margin - buttonWidth, buttonsTop,
          buttonWidth, buttonHeight, IDCANCEL);
    SetFocus(input);
    SendMessageW(Items.empty() ? input : GetWindow(input, GW_CHILD), EM_SETSEL, 0, -1);
}

// --- The table box ------------------------------------------------------------------------

constexpr int TableId = 1001;
constexpr int CellPadding = 12;       // the room a column gives beyond its widest text
constexpr int TableWrapWidth = 440;   // where the second column's lines wrap

struct TTableBox : TBox {
    std::vector<std::pair<std::wstring, std::wstring>> Rows;

    using TBox::TBox;
    void Build(HWND box) override;
    bool Notify(const NMHDR& header, LRESULT& result) override;
};

void TTableBox::Build(HWND box)
{
    const UINT dpi = WindowDpi(Owner);
    LOGFONTW bold{};
    GetObjectW(Font, sizeof bold, &bold);
    bold.lfWeight = FW_BOLD;
    Bold = CreateFontIndirectW(&bold);

    const int margin = Scale(Margin, dpi), gap = Scale(Gap, dpi);
    const int buttonWidth = Scale(ButtonWidth, dpi), buttonHeight = Scale(ButtonHeight, dpi);
    HWND table = BoxChild(box, Font, WC_LISTVIEWW, L"",
                          WS_TABSTOP | LVS_REPORT | LVS_NOCOLUMNHEADER | LVS_SINGLESEL, margin,
                          margin, 0, 0, TableId, WS_EX_CLIENTEDGE);
    // The second column wraps at a reading width (within the screen); a row's further lines
    // follow it with the first column empty.
    const RECT area = WorkArea(Owner);
    const int frame = 2 * GetSystemMetricsForDpi(SM_CXEDGE, dpi);
    const int scrollbar = GetSystemMetricsForDpi(SM_CXVSCROLL, dpi);
    const int padding = Scale(CellPadding, dpi);
    const int widest = static_cast<int>((area.right - area.left) * MaxScreenShare) - 2 * margin - frame - scrollbar;
    int keysWidth = 0, doesWidth = 0;
    std::vector<std::pair<std::wstring, std::wstring>> lines;
    if (HDC dc = GetDC(box)) {
        HGDIOBJ previous = SelectObject(dc, Bold);
        for (const auto& row : Rows)
            keysWidth = std::max(keysWidth, TextWidth(dc, row.first) + padding);
        SelectObject(dc, Font);
        const int wrapAt = std::max(Scale(TableWrapWidth, dpi) / 2, std::min(Scale(TableWrapWidth, dpi), widest - keysWidth));
        for (const auto& [keys, does] : Rows) {
            std::wstring line;
            size_t from = 0;
            bool first = true;
            while (from <= does.size()) {
                const size_t space = std::min(does.find(L' ', from), does.size());
                const std::wstring word = does.substr(from, space - from);
                if (!line.empty() && TextWidth(dc, line + L' ' + word) > wrapAt) {
                    lines.emplace_back(first ? keys : std::wstring(), line);
                    first = false;
                    line.clear();
                }
                line += (line.empty() ? L"" : L" ") + word;
                from = space + 1;
            }
            lines.emplace_back(first ? keys : std::wstring(), line);
        }
        for (const auto& line : lines)
            doesWidth = std::max(doesWidth, TextWidth(dc, line.second) + padding);
        SelectObject(dc, previous);
        ReleaseDC(box, dc);
    }
    LVCOLUMNW column{};
    column.mask = LVCF_WIDTH;
    column.cx = keysWidth;
    SendMessageW(table, LVM_INSERTCOLUMNW, 0, reinterpret_cast<LPARAM>(&column));
    column.cx = doesWidth;
    SendMessageW(table, LVM_INSERTCOLUMNW, 1, reinterpret_cast<LPARAM>(&column));
    for (size_t i = 0; i < lines.size(); ++i) {
        LVITEMW item{};
        item.mask = LVIF_TEXT;
        item.iItem = static_cast<int>(i);
        item.pszText = lines[i].first.data();
        SendMessageW(table, LVM_INSERTITEMW, 0, reinterpret_cast<LPARAM>(&item));
        item.iSubItem = 1;
        item.pszText = lines[i].second.data();
        SendMessageW(table, LVM_SETITEMTEXTW, i, reinterpret_cast<LPARAM>(&item));
    }
    // Every line shown where the screen has room; beyond it the table scrolls.
    RECT rowRect{LVIR_BOUNDS, 0, 0, 0};
    SendMessageW(table, LVM_GETITEMRECT, 0, reinterpret_cast<LPARAM>(&rowRect));
    const int tableHeight =
        std::min<int>(static_cast<int>(lines.size()) * (rowRect.bottom - rowRect.top) + frame,
                      static_cast<int>((area.bottom - area.top) * MaxScreenShare) - 2 * margin - gap - buttonHeight -
                          GetSystemMetricsForDpi(SM_CYCAPTION, dpi));
    const int tableWidth = keysWidth + doesWidth + frame + scrollbar;
    MoveWindow(table, margin, margin, tableWidth, tableHeight, FALSE);
    const int clientWidth = tableWidth + 2 * margin;
    const int buttonsTop = margin + tableHeight + gap;
    BoxChild(box, Font, L"BUTTON", L"OK", WS_TABSTOP | BS_DEFPUSHBUTTON, clientWidth - margin - buttonWidth,
             buttonsTop, buttonWidth, buttonHeight, IDOK);
    PlaceBox(box, Owner, clientWidth, buttonsTop + buttonHeight + margin, dpi);
    SetFocus(GetDlgItem(box, IDOK));
}

bool TTableBox::Notify(const NMHDR& header, LRESULT& result)
{
    // The keys' column in bold.
    if (header.idFrom != TableId || header.code != NM_CUSTOMDRAW)
        return false;
    const auto& draw = reinterpret_cast<const NMLVCUSTOMDRAW&>(header);
    result = CDRF_DODEFAULT;
    if (draw.nmcd.dwDrawStage == CDDS_PREPAINT)
        result = CDRF_NOTIFYITEMDRAW;
    else if (draw.nmcd.dwDrawStage == CDDS_ITEMPREPAINT)
        result = CDRF_NOTIFYSUBITEMDRAW;
    else if (draw.nmcd.dwDrawStage == (CDDS_ITEMPREPAINT | CDDS_SUBITEM)) {
        SelectObject(draw.nmcd.hdc, draw.iSubItem == 0 ? Bold : Font);
        result = CDRF_NEWFONT;
    }
    return true;
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

void ShowTable(HWND owner, const std::string& caption, const std::vector<std::pair<std::string, std::string>>& rows)
{
    std::string text;
    for (const auto& [keys, does] : rows)
        text.append(keys).append("\t").append(does).append("\r");
    if (AppendToMessageLog(text, {}))
        return;
    TTableBox box(owner, Wide(caption));
    for (const auto& [keys, does] : rows)
        box.Rows.emplace_back(Wide(keys), Wide(does));
    RunBox(box);
}

std::optional<std::string> InputBox(HWND owner, const std::string& caption, const std::string& prompt,
                                    const std::string& text, const std::vector<std::string>& items)
{
    TInputBox box(owner, Wide(caption));
    box.Prompt = Wide(prompt);
    box.Text = Wide(text);
    for (const std::string& item : items)
        box.Items.push_back(Wide(item));
    if (RunBox(box) != IDOK)
        return std::nullopt;
    return box.Reply;
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
