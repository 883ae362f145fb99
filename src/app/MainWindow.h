// MainWindow: TForm1, the viewer's one window: the top panel of controls over the
// OpenGL view, the actions with their shortcuts, the panel's popup menu and the idle
// frame loop. What happens between the user's actions (start-up, loading, zone and folder
// changes, navigation, taking the zone out) is the TSession it owns, and the controls are
// made from the session's panel model; each handler here reads its control and makes one
// call there, and the window answers the session's questions with its boxes.
//
//   TForm1 form(options);            // the controls in their initial states
//   form.show();                    // the view's context, its initialisation, the first
//                                   // glMapResize; then FormCreate from the event loop,
//                                   // then the frame loop
//
// Every exception a handler raises is shown in a message box (Dialogs.h) and the window
// goes on. The arrow keys fly the camera whatever control has the focus and never move
// a control; a click in the view or a change of a control gives the keyboard back to
// the view. Tests replace InputQuery, ZoneQuery and FolderQuery to answer the boxes and
// the frame loop's clock (FrameLoop().Clock()) to run frames of known length.
#pragma once

#include <memory>
#include <optional>
#include <string>
#include <vector>

#include <QMainWindow>
#include <QRect>

#include "Dialogs.h"
#include "shell/CommandLine.h"
#include "shell/Session.h"

class QAbstractButton;
class QAction;
class QCheckBox;
class QFrame;
class QLabel;
class QMenu;
class QRadioButton;
class QSlider;
class QTimer;

namespace orv {

class TFrameLoop;
class TKeyTracker;
class TglWindow;

class TForm1 : public QMainWindow {
public:
    static constexpr int OuterWidth = DesignOuterRect.Width;
    static constexpr int OuterHeight = DesignOuterRect.Height;
    static constexpr int OuterLeft = DesignOuterRect.Left;
    static constexpr int OuterTop = DesignOuterRect.Top;
    static constexpr int PanelHeight = 73;
    static constexpr int StatusLineHeight = 22;   // the status line under the view

    // options: the command line. Its game folder wins over the one remembered.
    explicit TForm1(TViewerOptions options = {}, QWidget* parent = nullptr);
    ~TForm1() override;

    // The rest of creation once the view has its context (or has failed to make one):
    // FormCreate, then the frame loop. An exception ends FormCreate where it was raised
    // and is shown in one message box; the window goes on all the same. Runs by itself,
    // once, from the event loop after show().
    void Create();
    // FormCreate has run (to its end or to its exception).
    bool Created() const { return m_FormCreated; }

    TSession& Session() { return *m_Session; }
    TGLViewer& Viewer() { return m_Session->Viewer(); }
    TFrameLoop& FrameLoop() { return *m_FrameLoop; }
    TKeyTracker& Keys() { return *m_Keys; }
    // The idle loop is running ("Render" ticked and the window shown).
    bool Rendering() const;

    // Answer "Go to loc...", "Zone" (the zones of the game folder offered) and "Open
    // game folder..."; the dialogs of Dialogs.h unless a test replaces them.
    TInputQuery InputQuery = DefaultInputQuery;
    TChoiceQuery ZoneQuery = DefaultChoiceQuery;
    TFolderQuery FolderQuery = DefaultFolderQuery;
    // Asks where F12, "Export zone as glTF...", "Save zone map..." and the dumps write; QFileDialog
    // unless a test replaces it.
    TSaveFileQuery SaveFileQuery = DefaultSaveFileQuery;

    // The outer rectangle of the window on a screen's available area: the design's
    // where it fits whole, otherwise the design's size within the area (never below the
    // minimum) centred on it.
    static QRect FitOuterGeometry(const QRect& design, const QRect& available, const QSize& minimum);

    // --- Controls (owned by the window) ----------------------------------------------
    // The view; null when this machine cannot make any OpenGL context (a black panel
    // stands in its place).
    TglWindow* glMap = nullptr;
    QFrame* pnlTop = nullptr;
    QSlider* trackDetailTexScale = nullptr;
    QCheckBox* chkDetailTex = nullptr;
    QCheckBox* chkGravity = nullptr;
    QAction* atnGo = nullptr;
    QCheckBox* chkFog = nullptr;
    QCheckBox* chkLighting = nullptr;
    QCheckBox* chkCheckerboard = nullptr;
    QCheckBox* chkBoundingSkybox = nullptr;
    QAction* atnZone = nullptr;
    QCheckBox* chkWireframe = nullptr;
    QCheckBox* chkRender = nullptr;
    QMenu* pumMain = nullptr;
    QAction* atnDumpD2 = nullptr;
    QAction* DumpD2Map1 = nullptr;
    QAction* atnDumpH = nullptr;
    QAction* DumpHmap1 = nullptr;
    QAction* atnExportZone = nullptr;
    QAction* ExportZone1 = nullptr;
    QAction* atnSaveZoneMap = nullptr;
    QAction* SaveZoneMap1 = nullptr;
    QAction* atnWireframe = nullptr;
    QAction* atnLighting = nullptr;
    QSlider* trackCLODDetail = nullptr;
    // The radio button of a renderer (a tag of RendererTable); null for another tag.
    QRadioButton* RendererButton(int tag) const;
    QCheckBox* chkSun = nullptr;
    // Beyond the panel: help (F1), save the view (F12), back to the start (Home), another
    // game folder (Ctrl+O, also in the popup menu), quit (Ctrl+Q), the popup menu from
    // the keyboard (the menu key, Shift+F10).
    QAction* atnHelp = nullptr;
    QAction* atnSaveView = nullptr;
    QAction* atnHome = nullptr;
    QAction* atnOpenGameFolder = nullptr;
    QAction* atnQuit = nullptr;
    QAction* atnPopupMenu = nullptr;
    // The dumps saved as text, full screen (F11), the defaults back; keys 1 to 4 pick
    // the renderers (in the order of RendererTable).
    QAction* atnSaveD2Map = nullptr;
    QAction* atnSaveHMap = nullptr;
    QAction* atnFullScreen = nullptr;
    QAction* atnResetDefaults = nullptr;
    std::vector<QAction*> RendererActions;
    // The status line under the view: zone, location, renderer; what was just done is
    // shown there for a while.
    QLabel* lblStatus = nullptr;
    // Over the view until a zone has loaded: what to do.
    QLabel* lblEmptyView = nullptr;
    // The idle handler: a zero-interval timer, running while "Render" is ticked.
    QTimer* ApplicationEvents1 = nullptr;

    // --- Handlers ----------------------------------------------------------------------
    void FormCreate();
    void FormDestroy();
    void FormKeyPress(QChar key);
    void trackDetailTexScaleChange();
    void chkDetailTexClick();
    void chkGravityClick();
    void chkCheckerboardClick();
    void chkBoundingSkyboxClick();
    void chkLightingClick();
    void chkWireframeClick();
    void rbnRenderVersionClick(QAbstractButton* sender);
    void trackCLODDetailChange();
    void chkRenderClick();
    void chkFogClick();
    void chkSunClick();
    void atnGoExecute();
    void atnZoneExecute();
    void atnDumpD2Execute();
    void atnDumpHExecute();
    // "Export zone as glTF...": the current zone as orvandel-tool export writes it, a
    // .glb or a .gltf, the whole grid or the triangles the view draws now, as the filter
    // chosen in the file dialog says. "Save zone map...": the zone as orvandel-tool map
    // writes it. Each returns the file written (empty when the dialog was cancelled).
    QString atnExportZoneExecute();
    QString atnSaveZoneMapExecute();
    void ApplicationEvents1Idle();
    void glMapResize(int width, int height);
    void glMapDraw();
    void glMapMouseDown(Qt::MouseButton button, QPoint position);
    void glMapMouseMove(Qt::MouseButtons buttons, QPoint position);
    void atnHelpExecute();
    // Saves the view as a PNG picture where the save dialog says ("orvandel-<date>-
    // <time>.png" suggested) and returns the file's path, empty when cancelled.
    QString atnSaveViewExecute();
    void atnHomeExecute();
    // Chooses another game folder; a folder with zones is remembered and its zone 111
    // loaded with the shared textures, as at start-up; another one is explained.
    void atnOpenGameFolderExecute();
    void atnPopupMenuExecute();
    void glMapWheel(double notches, Qt::KeyboardModifiers modifiers);
    void atnFullScreenExecute();
    void atnResetDefaultsExecute();
    // The controls, actions, status line and empty view as the session's state says.
    void RefreshState();

    // The text of the F1 box.
    static QString HelpText();

protected:
    void showEvent(QShowEvent* event) override;
    void keyPressEvent(QKeyEvent* event) override;
    void moveEvent(QMoveEvent* event) override;
    void closeEvent(QCloseEvent* event) override;
    bool eventFilter(QObject* watched, QEvent* event) override;

private:
    void CreateControls();
    void CreateActions();
    void ConnectHandlers();
    // Runs a handler; shows its exception in a message box.
    template <typename F>
    void Guard(F&& handler);
    void ShowException(const QString& message);
    // Makes the view's context current for a handler that calls OpenGL.
    void MakeCurrent();
    bool ViewActive() const;
    void SyncActionBox(QAction* action, QCheckBox* box, bool checked);
    // A panel control's change handed to the session under the control's name.
    void ControlChanged(QWidget* control, int value);
    // The status line from the session.
    void ShowStatus();
    // The controls from the viewer's state (after it was restored or reset).
    void SyncControls();
    void SyncRendererButtons();
    void StartLoop();
    void StopLoop();
    // The window's outer rectangle on its screen (FitOuterGeometry), with its frame
    // once the window manager has given it one.
    void PlaceWindow();
    void GiveKeyboardToView();
    // What the command line asks for beyond the defaults: applied once creation has ended.
    void ApplyStartOptions();

    // The session's questions answered with the window's boxes.
    class TFrontEnd : public TSessionFrontEnd {
    public:
        explicit TFrontEnd(TForm1& form) : m_Form(form) {}
        bool Interactive() const override;
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
        bool WriteViewPicture(const std::string& path) override;
        void SetBusy(bool busy) override;
        void Notify(const std::string& text) override;
        std::string DocumentsFolder() override;
        std::optional<std::string> RememberedValue(const std::string& key) override;
        void RememberValue(const std::string& key, const std::string& value) override;
        void ForgetValues() override;

    private:
        TForm1& m_Form;
    };

    std::unique_ptr<TFrontEnd> m_FrontEnd;
    std::unique_ptr<TSession> m_Session;
    std::vector<QRadioButton*> m_RendererButtons;   // in the order of RendererTable
    std::unique_ptr<TFrameLoop> m_FrameLoop;
    std::unique_ptr<TKeyTracker> m_Keys;
    QWidget* m_View = nullptr;     // glMap, or its stand-in
    bool m_Created = false;       // Create has begun
    bool m_FormCreated = false;   // FormCreate has run
    bool m_Shown = false;
    bool m_FramePlaced = false;   // placed again once the window manager gave a frame
    bool m_GeometryRestored = false;   // the window took the size and place it was left in
    bool m_CameraPlaced = false;   // the first glMapResize has put the camera at its start
    bool m_InIdle = false;
};

}  // namespace orv
