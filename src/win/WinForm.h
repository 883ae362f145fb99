// WinForm: TForm1 as a native Windows window over the session, the counterpart of the Qt
// window (src/app/MainWindow.h). The window's own client area holds the OpenGL context;
// the panel of controls (made from PanelControls) and the status line are child windows
// over its top and bottom, and the view is the area between them (the viewport is set to
// it). Everything the session does is one call there; this class only turns the
// system's messages into those calls and answers the session's questions with its boxes.
//
//   TWinForm form(options);
//   if (!form.Create(SW_SHOWDEFAULT)) return 1;   // window, context, controls, FormCreate
//   return form.Run();                           // messages, and frames while idle
#pragma once

#include <memory>
#include <optional>
#include <string>
#include <vector>

#include <windows.h>

#include "shell/CommandLine.h"
#include "shell/FrameLoop.h"
#include "shell/Session.h"

namespace orv {

class TWGLContext;

namespace win {

class TWinForm {
public:
    static constexpr const wchar_t* WindowClass = L"TForm1";

    explicit TWinForm(TViewerOptions options);
    ~TWinForm();
    TWinForm(const TWinForm&) = delete;
    TWinForm& operator=(const TWinForm&) = delete;

    // Makes and shows the window and runs creation; false when no window can be made.
    bool Create(int show);
    // The message loop; frames run whenever no message waits and "Render" is ticked.
    // Returns the exit code.
    int Run();

private:
    static LRESULT CALLBACK WindowProc(HWND window, UINT message, WPARAM wParam, LPARAM lParam);
    static LRESULT CALLBACK PanelProc(HWND window, UINT message, WPARAM wParam, LPARAM lParam);
    static LRESULT CALLBACK ViewProc(HWND window, UINT message, WPARAM wParam, LPARAM lParam);
    LRESULT Handle(UINT message, WPARAM wParam, LPARAM lParam);
    // The view's own messages: paint, mouse, its key presses.
    LRESULT HandleView(UINT message, WPARAM wParam, LPARAM lParam);

    TSession& Session() { return *m_Session; }
    TGLViewer& Viewer() { return m_Session->Viewer(); }

    void CreateControls();
    void CreateActions();
    // Places the panel's controls at the window's DPI, the panel, the status line and the view.
    void LayoutPanel();
    void Layout();
    // FormCreate and what follows it, once the window is shown.
    void FormCreate();
    template <typename F>
    void Guard(F&& handler);
    // Keys the window takes before the control that has the focus; true when taken.
    bool PreTranslate(MSG& message);
    void Idle();
    // Draws a frame into the view's back buffer (false without a context); Paint shows it.
    bool DrawView();
    void Paint();
    void PaintEmptyView(HDC dc);
    bool Rendering() const { return m_Rendering; }
    void StartLoop();
    void StopLoop();
    void RunAction(TActionId id);
    void ControlCommand(int id, HWND control);
    void SliderMoved(HWND slider, int request);
    void ShowMenu(POINT screen);
    void ToggleFullScreen();
    void PlaceWindow();
    void RefreshState();
    void SyncControls();
    void ShowStatus();
    void GiveKeyboardToView();
    // The view's rectangle in the client area (device pixels).
    RECT ViewRect() const;
    // A point of the view in its logical pixels.
    POINT ViewPoint(int x, int y) const;
    bool WriteViewPicture(const std::string& path);
    std::string Geometry() const;
    void RestoreGeometry(const std::string& geometry);

    class TFrontEnd : public TSessionFrontEnd {
    public:
        explicit TFrontEnd(TWinForm& form) : m_Form(form) {}
        bool Interactive() const override { return true; }
        void ShowMessage(TMessageKind kind, const std::string& caption, const std::string& text) override;
        bool OfferAction(TMessageKind kind, const std::string& caption, const std::string& text,
                         const std::string& action) override;
        std::optional<std::string> AskText(const std::string& caption, const std::string& prompt,
                                           const std::string& text) override;
        std::optional<std::string> AskChoice(const std::string& caption, const std::string& prompt,
                                             const std::vector<std::string>& items, const std::string& text) override;
        std::optional<std::string> AskFolder(const std::string& caption, const std::string& start) override;
        std::optional<TSaveFileChoice> AskSaveFile(const std::string& caption, const std::string& folder,
                                                   const std::string& suggestedName,
                                                   const std::vector<std::string>& filters) override;
        bool ViewActive() const override;
        void MakeCurrent() override;
        std::optional<std::string> RememberedGameDir() override;
        void RememberGameDir(const std::string& gameDir) override;
        bool WriteViewPicture(const std::string& path) override { return m_Form.WriteViewPicture(path); }
        void SetBusy(bool busy) override;
        void Notify(const std::string& text) override;
        std::string DocumentsFolder() override;
        std::optional<std::string> RememberedValue(const std::string& key) override;
        void RememberValue(const std::string& key, const std::string& value) override;
        void ForgetValues() override;

    private:
        TWinForm& m_Form;
    };

    TFrontEnd m_FrontEnd;
    std::unique_ptr<TSession> m_Session;
    std::unique_ptr<TFrameLoop> m_FrameLoop;
    std::unique_ptr<TWGLContext> m_Context;
    std::string m_ContextError;   // why there is no context

    HWND m_Window = nullptr;
    HWND m_Panel = nullptr;        // pnlTop
    HWND m_View = nullptr;         // glMap
    HWND m_Status = nullptr;       // the status line
    HWND m_Tips = nullptr;
    HFONT m_Font = nullptr;        // the panel's font at the window's DPI
    HACCEL m_Accelerators = nullptr;
    HMENU m_Menu = nullptr;        // pumMain
    std::vector<HWND> m_Controls;  // by the index of PanelControls (null for the renderers)
    std::vector<HWND> m_RendererButtons;   // in the order of RendererTable

    bool m_FormCreated = false;
    bool m_Rendering = false;
    bool m_CameraPlaced = false;
    bool m_Notice = false;          // a message of what was just done shows in the status line
    bool m_FullScreen = false;
    WINDOWPLACEMENT m_Windowed{};   // where the window was before full screen
    LONG_PTR m_WindowedStyle = 0;
};

}  // namespace win
}  // namespace orv
