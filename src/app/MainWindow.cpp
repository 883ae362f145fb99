#include "MainWindow.h"

#include <algorithm>
#include <exception>
#include <new>
#include <utility>

#include <QAction>
#include <QButtonGroup>
#include <QCheckBox>
#include <QCursor>
#include <QDateTime>
#include <QDir>
#include <QFileInfo>
#include <QFrame>
#include <QGuiApplication>
#include <QImage>
#include <QKeyEvent>
#include <QMenu>
#include <QOpenGLContext>
#include <QPalette>
#include <QRadioButton>
#include <QScreen>
#include <QSignalBlocker>
#include <QSlider>
#include <QTimer>
#include <QVBoxLayout>

#include "GLWindow.h"
#include "KeyTracker.h"
#include "Settings.h"
#include "base/Exception.h"
#include "base/Format.h"
#include "base/Log.h"
#include "export/GLTFExport.h"
#include "export/ZoneMap.h"
#include "shell/FrameLoop.h"
#include "shell/GLViewer.h"
#include "zone/TextValues.h"

namespace orv {
namespace {

constexpr const char* ApplicationTitle = "Orvandel";
constexpr const char* ContextErrorCaption = "Error";
constexpr const char* ContextErrorText = "Unable to create an OpenGL rendering context";
constexpr const char* TagProperty = "Tag";

// The panel's four columns and the rows of their controls.
constexpr int Column1 = 4, Column2 = 112, Column3 = 196, Column4 = 436;
constexpr int ButtonHeight = 17;
constexpr int PanelFontPixels = 11;

constexpr int DetailScaleMin = 1, DetailScaleMax = 32, DetailScalePosition = 16;
constexpr int DetailSliderWidth = 73, DetailSliderHeight = 18;
constexpr int CLODMin = 1, CLODMax = 255, CLODPosition = 50, CLODPage = 64, CLODTicks = 64;
constexpr int CLODSliderLeft = 516, CLODSliderTop = 52, CLODSliderWidth = 118, CLODSliderHeight = 17;

// The view's size in the window's design, and the least of it the window keeps.
constexpr int DesignViewWidth = 640, DesignViewHeight = 480;
constexpr int MinimumViewHeight = 120;

constexpr const char* OpenGameFolderCaption = "Open game folder...";
constexpr const char* GameFolderDialogCaption = "Open game folder";

// The F1 table: keys or mouse, and what they do.
constexpr std::pair<const char*, const char*> HelpEntries[] = {
    {"Up / Down", "fly forward / back along the view"},
    {"Left / Right", "slide sideways"},
    {"Shift + arrows", "four times as fast"},
    {"Alt + arrows", "slowly (Alt wins over Shift)"},
    {"Mouse wheel", "fly forward / back, a notch as far as a tenth of a second of Up"},
    {"Left mouse drag", "look around"},
    {"Click in the view", "gives it the keyboard; the arrows always fly, whatever has the focus"},
    {"Tab, Space", "reach and switch the panel's controls"},
    {"d", "level the view"},
    {"Home", "back to the start position"},
    {"Ctrl+G", "go to a location (X,Y,Z,h,p or \"above\")"},
    {"Ctrl+Z", "change zone (the game folder's zones are offered)"},
    {"Ctrl+O", "open another game folder (remembered for the next start)"},
    {"Ctrl+W", "wireframe on / off"},
    {"Ctrl+L", "lighting on / off"},
    {"Right click on the panel, Menu, Shift+F10",
     "the menu: game folder, dump the D2 or height map to the console, export the zone as glTF, save its map"},
    {"F1", "this list"},
    {"F12", "save the view as a PNG picture in the working directory"},
    {"Ctrl+Q", "quit"},
};

QCheckBox* NewCheckBox(QWidget* parent, const char* caption, int left, int top, bool checked)
{
    auto* box = new QCheckBox(QString::fromLatin1(caption), parent);
    box->setChecked(checked);
    // Reached by Tab; a click does not take the keyboard from the view.
    box->setFocusPolicy(Qt::TabFocus);
    box->setGeometry(left, top, box->sizeHint().width(), ButtonHeight);
    return box;
}

QRadioButton* NewRadioButton(QWidget* parent, const char* caption, int tag, int left, int top, bool checked)
{
    auto* button = new QRadioButton(QString::fromLatin1(caption), parent);
    button->setChecked(checked);
    button->setFocusPolicy(Qt::TabFocus);
    button->setProperty(TagProperty, tag);
    button->setGeometry(left, top, button->sizeHint().width(), ButtonHeight);
    return button;
}

}  // namespace

TForm1::TForm1(TViewerOptions options, QWidget* parent)
    : QMainWindow(parent),
      m_Options(std::move(options)),
      m_Viewer(std::make_unique<TGLViewer>()),
      m_FrameLoop(std::make_unique<TFrameLoop>(*m_Viewer)),
      m_Keys(std::make_unique<TKeyTracker>())
{
    setWindowTitle(QString::fromLatin1(InitialCaption));
    CreateControls();
    CreateActions();
    ConnectHandlers();
    // The outer size and place of the design where they fit the screen; without a frame
    // (no window manager) the client area is that size, with one PlaceWindow corrects it
    // once the frame is known.
    PlaceWindow();
    // Arrow keys sent to any widget of this window fly the camera and stop there.
    m_Keys->Captures = [this](QObject* receiver) {
        const auto* widget = qobject_cast<const QWidget*>(receiver);
        return widget != nullptr && widget->window() == this;
    };
}

TForm1::~TForm1()
{
    StopLoop();
    m_Keys.reset();
    // The view releases its context first, then FormDestroy runs with no context current.
    delete glMap;
    glMap = nullptr;
    m_View = nullptr;
    if (QOpenGLContext* current = QOpenGLContext::currentContext())
        current->doneCurrent();
    FormDestroy();
}

void TForm1::CreateControls()
{
    auto* client = new QWidget(this);
    auto* layout = new QVBoxLayout(client);
    layout->setContentsMargins(0, 0, 0, 0);
    layout->setSpacing(0);

    pnlTop = new QFrame(client);
    pnlTop->setObjectName("pnlTop");
    pnlTop->setFrameStyle(QFrame::Panel | QFrame::Sunken);
    pnlTop->setFixedHeight(PanelHeight);
    pnlTop->setContextMenuPolicy(Qt::CustomContextMenu);
    // The panel's columns are laid out for a small font: 8 points at 96 dots per inch.
    QFont panelFont = pnlTop->font();
    panelFont.setPixelSize(PanelFontPixels);
    pnlTop->setFont(panelFont);

    chkDetailTex = NewCheckBox(pnlTop, "Detail Texture", Column1, 4, true);
    trackDetailTexScale = new QSlider(Qt::Horizontal, pnlTop);
    trackDetailTexScale->setRange(DetailScaleMin, DetailScaleMax);
    trackDetailTexScale->setValue(DetailScalePosition);
    trackDetailTexScale->setSingleStep(1);
    trackDetailTexScale->setTickInterval(1);
    trackDetailTexScale->setTickPosition(QSlider::NoTicks);
    trackDetailTexScale->setToolTip("Detail texture scale");
    trackDetailTexScale->setGeometry(Column1, 24, DetailSliderWidth, DetailSliderHeight);
    trackDetailTexScale->setFocusPolicy(Qt::TabFocus);
    chkGravity = NewCheckBox(pnlTop, "Gravity", Column1, 40, false);

    chkRender = NewCheckBox(pnlTop, "Render", Column2, 8, true);
    chkWireframe = NewCheckBox(pnlTop, "Wireframe", Column2, 24, false);
    chkSun = NewCheckBox(pnlTop, "Track Sun", Column2, 40, false);

    chkCheckerboard = NewCheckBox(pnlTop, "Use checker terrain", Column3, 4, false);
    chkFog = NewCheckBox(pnlTop, "Fog", Column3, 20, false);
    chkBoundingSkybox = NewCheckBox(pnlTop, "BoundingSkybox", Column3, 36, true);
    chkLighting = NewCheckBox(pnlTop, "Lighting", Column3, 52, true);

    rbnV1Render = NewRadioButton(pnlTop, "V1 renderer", rvV1, Column4, 4, false);
    rbnPointerRender = NewRadioButton(pnlTop, "Pointer renderer", rvPointer, Column4, 20, false);
    rbnFanRenderer = NewRadioButton(pnlTop, "Fan renderer", rvFan, Column4, 36, false);
    rbnCLODFans = NewRadioButton(pnlTop, "CLOD fans", rvCLOD, Column4, 52, true);
    auto* renderers = new QButtonGroup(pnlTop);
    for (QRadioButton* button : {rbnV1Render, rbnPointerRender, rbnFanRenderer, rbnCLODFans})
        renderers->addButton(button, button->property(TagProperty).toInt());

    trackCLODDetail = new QSlider(Qt::Horizontal, pnlTop);
    trackCLODDetail->setRange(CLODMin, CLODMax);
    trackCLODDetail->setValue(CLODPosition);
    trackCLODDetail->setPageStep(CLODPage);
    trackCLODDetail->setTickInterval(CLODTicks);
    trackCLODDetail->setTickPosition(QSlider::TicksBelow);
    trackCLODDetail->setToolTip("Level of Detail");
    trackCLODDetail->setGeometry(CLODSliderLeft, CLODSliderTop, CLODSliderWidth, CLODSliderHeight);
    trackCLODDetail->setFocusPolicy(Qt::TabFocus);

    if (TglWindow::ContextPossible()) {
        glMap = new TglWindow(client);
        glMap->setObjectName("glMap");
        glMap->resize(DesignViewWidth, DesignViewHeight);
        glMap->OnResize = [this](int width, int height) { Guard([&] { glMapResize(width, height); }); };
        glMap->OnDraw = [this] { Guard([&] { glMapDraw(); }); };
        glMap->OnLoaded = [this] { Create(); };
        glMap->OnMouseDown = [this](Qt::MouseButton button, QPoint position) {
            Guard([&] { glMapMouseDown(button, position); });
        };
        glMap->OnMouseMove = [this](Qt::MouseButtons buttons, QPoint position) {
            Guard([&] { glMapMouseMove(buttons, position); });
        };
        glMap->OnWheel = [this](double notches, Qt::KeyboardModifiers modifiers) {
            Guard([&] { glMapWheel(notches, modifiers); });
        };
        m_View = glMap;
    } else {
        // Without OpenGL the view stays black: the toolkit cannot even compose a window
        // that holds an OpenGL widget then. Creation reports it.
        m_View = new QWidget(client);
        m_View->setObjectName("glMapPlaceholder");
        m_View->setAutoFillBackground(true);
        QPalette palette = m_View->palette();
        palette.setColor(QPalette::Window, Qt::black);
        m_View->setPalette(palette);
    }

    layout->addWidget(pnlTop);
    layout->addWidget(m_View, 1);
    setCentralWidget(client);

    ApplicationEvents1 = new QTimer(this);
    ApplicationEvents1->setInterval(0);

    // The panel stays whole: as wide as its controls reach, with their margin.
    int panelRight = 0;
    for (const QWidget* control : pnlTop->findChildren<QWidget*>(QString(), Qt::FindDirectChildrenOnly))
        panelRight = std::max(panelRight, control->geometry().right() + 1);
    setMinimumSize(panelRight + Column1 + pnlTop->frameWidth(), PanelHeight + MinimumViewHeight);
}

void TForm1::CreateActions()
{
    auto newAction = [this](const char* caption, const char* shortcut) {
        auto* action = new QAction(QString::fromLatin1(caption), this);
        if (shortcut)
            action->setShortcut(QKeySequence(QString::fromLatin1(shortcut)));
        // Shortcuts work anywhere in the window.
        action->setShortcutContext(Qt::WindowShortcut);
        addAction(action);
        return action;
    };
    atnGo = newAction("Go to loc...", "Ctrl+G");
    atnZone = newAction("Zone", "Ctrl+Z");
    atnDumpD2 = newAction("Dump D2 Map", nullptr);
    atnDumpH = newAction("Dump H map", nullptr);
    atnExportZone = newAction("Export zone as glTF...", nullptr);
    atnSaveZoneMap = newAction("Save zone map...", nullptr);
    atnWireframe = newAction("Wireframe", "Ctrl+W");
    atnWireframe->setCheckable(true);
    atnWireframe->setChecked(false);
    atnLighting = newAction("Lighting", "Ctrl+L");
    atnLighting->setCheckable(true);
    atnLighting->setChecked(true);
    atnHelp = newAction("Keys and mouse", "F1");
    atnSaveView = newAction("Save view", "F12");
    atnHome = newAction("Back to the start", "Home");
    atnOpenGameFolder = newAction(OpenGameFolderCaption, "Ctrl+O");
    atnQuit = newAction("Quit", "Ctrl+Q");
    atnPopupMenu = newAction("Menu", nullptr);
    atnPopupMenu->setShortcuts({QKeySequence(Qt::Key_Menu), QKeySequence(QStringLiteral("Shift+F10"))});

    pumMain = new QMenu(this);
    pumMain->addAction(atnOpenGameFolder);
    pumMain->addSeparator();
    DumpD2Map1 = pumMain->addAction(atnDumpD2->text());
    DumpHmap1 = pumMain->addAction(atnDumpH->text());
    ExportZone1 = pumMain->addAction(atnExportZone->text());
    SaveZoneMap1 = pumMain->addAction(atnSaveZoneMap->text());
}

void TForm1::ConnectHandlers()
{
    // A change of a control gives the keyboard back to the view.
    auto onClick = [this](QAbstractButton* button, void (TForm1::*handler)()) {
        connect(button, &QAbstractButton::clicked, this, [this, handler] {
            Guard([&] { (this->*handler)(); });
            GiveKeyboardToView();
        });
    };
    onClick(chkDetailTex, &TForm1::chkDetailTexClick);
    onClick(chkGravity, &TForm1::chkGravityClick);
    onClick(chkCheckerboard, &TForm1::chkCheckerboardClick);
    onClick(chkBoundingSkybox, &TForm1::chkBoundingSkyboxClick);
    onClick(chkRender, &TForm1::chkRenderClick);
    onClick(chkFog, &TForm1::chkFogClick);
    onClick(chkSun, &TForm1::chkSunClick);
    // The two boxes bound to actions run the action's handler.
    onClick(chkWireframe, &TForm1::chkWireframeClick);
    onClick(chkLighting, &TForm1::chkLightingClick);
    for (QRadioButton* button : {rbnV1Render, rbnPointerRender, rbnFanRenderer, rbnCLODFans})
        connect(button, &QAbstractButton::clicked, this, [this, button] {
            Guard([&] { rbnRenderVersionClick(button); });
            GiveKeyboardToView();
        });

    connect(trackDetailTexScale, &QSlider::valueChanged, this, [this] {
        Guard([&] { trackDetailTexScaleChange(); });
        GiveKeyboardToView();
    });
    connect(trackCLODDetail, &QSlider::valueChanged, this, [this] {
        Guard([&] { trackCLODDetailChange(); });
        GiveKeyboardToView();
    });

    auto onTrigger = [this](QAction* action, auto handler) {
        connect(action, &QAction::triggered, this, [this, handler] { Guard([&] { (this->*handler)(); }); });
    };
    onTrigger(atnGo, &TForm1::atnGoExecute);
    onTrigger(atnZone, &TForm1::atnZoneExecute);
    onTrigger(atnDumpD2, &TForm1::atnDumpD2Execute);
    onTrigger(atnDumpH, &TForm1::atnDumpHExecute);
    onTrigger(atnWireframe, &TForm1::chkWireframeClick);
    onTrigger(atnLighting, &TForm1::chkLightingClick);
    onTrigger(atnHelp, &TForm1::atnHelpExecute);
    onTrigger(atnSaveView, &TForm1::atnSaveViewExecute);
    onTrigger(atnHome, &TForm1::atnHomeExecute);
    onTrigger(atnOpenGameFolder, &TForm1::atnOpenGameFolderExecute);
    onTrigger(atnPopupMenu, &TForm1::atnPopupMenuExecute);
    connect(atnQuit, &QAction::triggered, this, &QWidget::close);
    connect(DumpD2Map1, &QAction::triggered, atnDumpD2, &QAction::trigger);
    connect(DumpHmap1, &QAction::triggered, atnDumpH, &QAction::trigger);
    connect(atnExportZone, &QAction::triggered, this, [this] { Guard([&] { atnExportZoneExecute(); }); });
    connect(atnSaveZoneMap, &QAction::triggered, this, [this] { Guard([&] { atnSaveZoneMapExecute(); }); });
    connect(ExportZone1, &QAction::triggered, atnExportZone, &QAction::trigger);
    connect(SaveZoneMap1, &QAction::triggered, atnSaveZoneMap, &QAction::trigger);

    connect(pnlTop, &QWidget::customContextMenuRequested, this,
            [this](QPoint position) { pumMain->popup(pnlTop->mapToGlobal(position)); });
    connect(ApplicationEvents1, &QTimer::timeout, this, [this] { Guard([&] { ApplicationEvents1Idle(); }); });
}

template <typename F>
void TForm1::Guard(F&& handler)
{
    try {
        handler();
    } catch (const std::bad_alloc&) {
        // The loaders name the file they were reading when memory ran out.
        ShowException(QStringLiteral("out of memory"));
    } catch (const std::exception& e) {
        ShowException(QString::fromUtf8(e.what()));
    }
}

void TForm1::ShowException(const QString& message)
{
    ShowMessageBox(this, TMessageKind::Error, QString::fromLatin1(ApplicationTitle), message);
}

bool TForm1::ViewActive() const { return glMap != nullptr && glMap->Active(); }

void TForm1::MakeCurrent()
{
    if (ViewActive()) {
        glMap->makeCurrent();
        return;
    }
    // Without a view context, OpenGL calls must not reach another context of the window.
    if (QOpenGLContext* current = QOpenGLContext::currentContext())
        current->doneCurrent();
}

// --- Creation and destruction ----------------------------------------------------------

void TForm1::Create()
{
    if (m_Created)
        return;
    m_Created = true;
    if (!ViewActive())
        ShowMessageBox(this, TMessageKind::Error, QString::fromLatin1(ContextErrorCaption),
                       QString::fromLatin1(ContextErrorText));
    Guard([&] { FormCreate(); });
    m_FormCreated = true;
    Guard([&] { ApplyStartOptions(); });
    if (chkRender->isChecked())
        StartLoop();
}

void TForm1::FormCreate()
{
    TGLViewer& v = *m_Viewer;
    // An argument always wins; without one the folder chosen last, else the default.
    if (m_Options.GameDir)
        v.GameDir = GameDirFromArgument(*m_Options.GameDir);
    else
        v.GameDir = RememberedGameDir().value_or(DefaultGameDir());
    v.WaterRegions.clear();
    v.TexturesEnabled = true;
    const QPoint mouse = mapFromGlobal(QCursor::pos());
    v.LastMouse = {mouse.x(), mouse.y()};
    v.AmbientColor = {0.2f, 0.2f, 0.2f, 1.0f};
    v.DiffuseColor = {0.6f, 0.6f, 0.6f, 1.0f};
    trackDetailTexScaleChange();
    v.DetailTexEnabled = true;
    v.Gravity = chkGravity->isChecked();
    v.Lighting = true;
    v.Checkerboard = false;
    v.BoundingSkybox = true;
    v.RenderVersion = rvCLOD;
    // The slider keeps showing its position until it is moved.
    v.CLODDetail = 0.2f;
    // Without a context there is nothing to load into: the view draws nothing.
    if (!ViewActive())
        return;
    MakeCurrent();
    const std::string warning = v.LoadExtensions();
    if (!warning.empty())
        ShowMessageBox(this, TMessageKind::Warning, QString::fromLatin1(ApplicationTitle),
                       QString::fromStdString(warning));
    MakeCurrent();
    v.InitBaseState();
    LoadGame(m_Options.Zone.value_or(TGLViewer::StartZone));
}

void TForm1::LoadZoneExplained(int zoneId)
{
    MakeCurrent();
    try {
        m_Viewer->LoadZone(zoneId);
    } catch (const std::exception& e) {
        const std::string note = MissingZoneNote(m_Viewer->GameDir, zoneId);
        if (note.empty())
            throw;
        throw Exception(std::string(e.what()).append("\r").append(note));
    }
}

void TForm1::LoadGame(int zoneId)
{
    try {
        LoadZoneExplained(zoneId);
    } catch (const std::exception& e) {
        // The shared textures are not loaded then, as at start-up.
        if (AskMessageBox(this, TMessageKind::Error, QString::fromLatin1(ApplicationTitle), QString::fromUtf8(e.what()),
                          QString::fromLatin1(OpenGameFolderCaption)))
            atnOpenGameFolderExecute();
        return;
    }
    MakeCurrent();
    m_Viewer->LoadSharedTextures();
    m_Viewer->CheckGLError("");
}

void TForm1::atnOpenGameFolderExecute()
{
    const std::optional<QString> reply = FolderQuery(this, QString::fromLatin1(GameFolderDialogCaption),
                                                     QString::fromStdString(m_Viewer->GameDir));
    if (!reply)
        return;
    const std::string dir = GameDirFromArgument(reply->toStdString());
    const std::string problem = GameFolderProblem(dir);
    if (!problem.empty()) {
        if (AskMessageBox(this, TMessageKind::Warning, QString::fromLatin1(ApplicationTitle),
                          QString::fromStdString(problem), QString::fromLatin1(OpenGameFolderCaption)))
            atnOpenGameFolderExecute();
        return;
    }
    RememberGameDir(dir);
    m_Viewer->GameDir = dir;
    // No zone of this folder is loaded yet.
    m_Viewer->ZoneID = 0;
    if (ViewActive())
        LoadGame(TGLViewer::StartZone);
}

void TForm1::ApplyStartOptions()
{
    if (m_Options.RenderVersion) {
        for (QRadioButton* button : {rbnV1Render, rbnPointerRender, rbnFanRenderer, rbnCLODFans})
            if (button->property(TagProperty).toInt() == *m_Options.RenderVersion) {
                button->setChecked(true);
                rbnRenderVersionClick(button);
            }
    }
    if (m_Options.Location) {
        m_Viewer->ApplyLocationReply(*m_Options.Location);
        // The first picture shows the level of detail of the place.
        m_Viewer->UpdateCLOD();
    }
}

void TForm1::FormDestroy() { m_Viewer->FormDestroy(); }

void TForm1::showEvent(QShowEvent* event)
{
    QMainWindow::showEvent(event);
    if (m_Shown)
        return;
    m_Shown = true;
    // The keyboard starts with the view.
    GiveKeyboardToView();
    QTimer::singleShot(0, this, [this] {
        PlaceWindow();
        // Where no window manager activates a new window, the shortcuts would wait for a
        // first click.
        activateWindow();
        // The view makes its context while the window is shown; without one, creation
        // goes on here.
        if (!ViewActive())
            Create();
    });
}

QRect TForm1::FitOuterGeometry(const QRect& design, const QRect& available, const QSize& minimum)
{
    const QSize size = design.size().boundedTo(available.size()).expandedTo(minimum);
    if (size == design.size() && available.contains(design))
        return design;
    // Centred; a window larger than the area keeps its top left corner (and its
    // caption) on it.
    const int left = available.left() + std::max(0, (available.width() - size.width()) / 2);
    const int top = available.top() + std::max(0, (available.height() - size.height()) / 2);
    return QRect(QPoint(left, top), size);
}

void TForm1::PlaceWindow()
{
    const QRect design(OuterLeft, OuterTop, OuterWidth, OuterHeight);
    const QScreen* target = QGuiApplication::screenAt(design.topLeft());
    if (target == nullptr)
        target = screen();
    if (target == nullptr)
        return;
    const QSize frame = frameGeometry().size() - geometry().size();
    const QRect outer = FitOuterGeometry(design, target->availableGeometry(), minimumSize() + frame);
    resize(outer.size() - frame);
    move(outer.topLeft());
}

void TForm1::moveEvent(QMoveEvent* event)
{
    QMainWindow::moveEvent(event);
    // A window manager adds its frame after the window is shown: the outer size and
    // place are the design's, so they are fitted again once, with the frame.
    if (!m_FramePlaced && m_Shown && frameGeometry().size() != geometry().size()) {
        m_FramePlaced = true;
        PlaceWindow();
    }
}

void TForm1::GiveKeyboardToView()
{
    if (m_View)
        m_View->setFocus(Qt::OtherFocusReason);
}

// --- Keys --------------------------------------------------------------------------------

void TForm1::keyPressEvent(QKeyEvent* event)
{
    // Keys the focused control leaves unused arrive here, from the view and the panel alike.
    const QString text = event->text();
    if (text.size() == 1) {
        FormKeyPress(text.front());
        if (text.front() == QLatin1Char('d')) {
            event->accept();
            return;
        }
    }
    QMainWindow::keyPressEvent(event);
}

void TForm1::FormKeyPress(QChar key)
{
    if (key == QLatin1Char('d'))
        m_Viewer->LevelView();
}

// --- Controls ----------------------------------------------------------------------------

void TForm1::trackDetailTexScaleChange() { m_Viewer->DetailTexScale = trackDetailTexScale->value(); }

void TForm1::chkDetailTexClick() { m_Viewer->DetailTexEnabled = chkDetailTex->isChecked(); }

void TForm1::chkGravityClick() { m_Viewer->Gravity = chkGravity->isChecked(); }

void TForm1::chkCheckerboardClick() { m_Viewer->Checkerboard = chkCheckerboard->isChecked(); }

void TForm1::chkBoundingSkyboxClick() { m_Viewer->BoundingSkybox = chkBoundingSkybox->isChecked(); }

void TForm1::SyncActionBox(QAction* action, QCheckBox* box, bool checked)
{
    const QSignalBlocker actionBlocker(action);
    const QSignalBlocker boxBlocker(box);
    action->setChecked(checked);
    box->setChecked(checked);
}

void TForm1::chkLightingClick()
{
    m_Viewer->chkLightingClick();
    SyncActionBox(atnLighting, chkLighting, m_Viewer->atnLightingChecked);
}

void TForm1::chkWireframeClick()
{
    MakeCurrent();
    m_Viewer->chkWireframeClick();
    SyncActionBox(atnWireframe, chkWireframe, m_Viewer->atnWireframeChecked);
}

void TForm1::rbnRenderVersionClick(QAbstractButton* sender)
{
    MakeCurrent();
    m_Viewer->rbnRenderVersionClick(sender->property(TagProperty).toInt());
}

void TForm1::trackCLODDetailChange() { m_Viewer->trackCLODDetailChange(trackCLODDetail->value()); }

void TForm1::chkRenderClick()
{
    if (chkRender->isChecked())
        StartLoop();
    else
        StopLoop();
}

void TForm1::chkFogClick()
{
    MakeCurrent();
    m_Viewer->chkFogClick(chkFog->isChecked());
}

void TForm1::chkSunClick()
{
    MakeCurrent();
    m_Viewer->chkSunClick(chkSun->isChecked());
}

// --- The frame loop ----------------------------------------------------------------------

bool TForm1::Rendering() const { return ApplicationEvents1->isActive(); }

void TForm1::StartLoop()
{
    // Frames run once creation has ended; Create starts the loop then.
    if (!m_FormCreated || ApplicationEvents1->isActive())
        return;
    m_FrameLoop->Start();
    ApplicationEvents1->start();
}

void TForm1::StopLoop()
{
    if (ApplicationEvents1)
        ApplicationEvents1->stop();
}

void TForm1::ApplicationEvents1Idle()
{
    // A message box shown from inside a frame runs its own event loop; no frame nests.
    if (m_InIdle)
        return;
    m_InIdle = true;
    struct TReset {
        bool& Flag;
        ~TReset() { Flag = false; }
    } reset{m_InIdle};
    const TFrameReport report = m_FrameLoop->Step(m_Keys->State());
    if (report.Caption)
        setWindowTitle(QString::fromStdString(*report.Caption));
    if (glMap)
        glMap->update();
}

// --- The view ----------------------------------------------------------------------------

void TForm1::glMapResize(int width, int height)
{
    // Only the view's first size puts the camera at its start; later resizes keep it.
    m_Viewer->glMapResize(width, height, !m_CameraPlaced);
    m_CameraPlaced = true;
}

void TForm1::glMapDraw()
{
    TFrameGeometry frame;
    frame.ViewWidth = glMap->PixelWidth();
    frame.ViewHeight = glMap->PixelHeight();
    // Until creation has ended nothing is drawn.
    frame.Visible = m_FormCreated && isVisible();
    m_Viewer->glMapDraw(frame);
}

void TForm1::glMapMouseDown(Qt::MouseButton, QPoint)
{
    // Where no window manager hands the keyboard back (after a box closed), the click
    // takes it for the window too.
    if (!isActiveWindow())
        activateWindow();
    m_View->setFocus(Qt::MouseFocusReason);
}

void TForm1::glMapMouseMove(Qt::MouseButtons buttons, QPoint position)
{
    m_Viewer->MouseMove(position.x(), position.y(), buttons.testFlag(Qt::LeftButton));
}

void TForm1::glMapWheel(double notches, Qt::KeyboardModifiers modifiers)
{
    m_Viewer->WheelMove(static_cast<float>(notches), modifiers.testFlag(Qt::ShiftModifier),
                        modifiers.testFlag(Qt::AltModifier));
    if (glMap)
        glMap->update();
}

void TForm1::atnHomeExecute() { m_Viewer->ResetCamera(); }

void TForm1::atnPopupMenuExecute()
{
    // Beside the control that has the keyboard, or at the view's top left corner.
    QWidget* focus = focusWidget();
    const QPoint at = focus && focus->parentWidget() == pnlTop ? focus->mapToGlobal(focus->rect().center())
                                                                : m_View->mapToGlobal(QPoint(0, 0));
    pumMain->popup(at);
    pumMain->setActiveAction(pumMain->actions().value(0));
}

// --- Navigation dialogs ------------------------------------------------------------------

void TForm1::atnGoExecute()
{
    const std::optional<QString> reply = InputQuery(this, "Go to locaction", "Loc (X,Y,Z,h,p)",
                                                    QString::fromStdString(m_Viewer->LocationText()));
    if (!reply)
        return;
    m_Viewer->ApplyLocationReply(reply->toStdString());
}

void TForm1::atnZoneExecute()
{
    QStringList zones;
    for (const int zone : GameZones(m_Viewer->GameDir))
        zones << QString::number(zone);
    const std::optional<QString> reply =
        ZoneQuery(this, "Change zone", "Enter new Zone ID:", zones, QString::number(m_Viewer->ZoneID));
    if (!reply)
        return;
    LoadZoneExplained(StrToInt(reply->toStdString()));
}

// --- Map dumps ---------------------------------------------------------------------------

void TForm1::atnDumpD2Execute() { m_Viewer->atnDumpD2Execute(); }

void TForm1::atnDumpHExecute() { m_Viewer->atnDumpHExecute(); }

// --- Taking the zone out -----------------------------------------------------------------

namespace {

// The wait cursor while a file is written.
class TBusyCursor {
public:
    TBusyCursor() { QGuiApplication::setOverrideCursor(Qt::WaitCursor); }
    ~TBusyCursor() { QGuiApplication::restoreOverrideCursor(); }
    TBusyCursor(const TBusyCursor&) = delete;
    TBusyCursor& operator=(const TBusyCursor&) = delete;
};

QString ZoneFileName(int zoneId, const char* extension)
{
    return QStringLiteral("zone%1.%2").arg(zoneId, 3, 10, QLatin1Char('0')).arg(QLatin1String(extension));
}

}  // namespace

QString TForm1::atnExportZoneExecute()
{
    // Odd filters take the view's level of detail.
    static const QStringList filters{
        QStringLiteral("glTF binary, the whole grid (*.glb)"),
        QStringLiteral("glTF binary, the view's level of detail (*.glb)"),
        QStringLiteral("glTF with its buffer and images beside it, the whole grid (*.gltf)"),
        QStringLiteral("glTF with its buffer and images beside it, the view's level of detail (*.gltf)"),
    };
    const std::optional<TSaveFileReply> reply =
        SaveFileQuery(this, QStringLiteral("Export zone as glTF"), ZoneFileName(m_Viewer->ZoneID, "glb"), filters);
    if (!reply)
        return {};
    TExportOptions options;
    options.LOD = reply->Filter % 2 == 1 ? TExportLOD::View : TExportLOD::Full;
    options.ViewCamera = m_Viewer->Camera;
    const std::string path = reply->Path.toStdString();
    TExportCounts counts;
    {
        TBusyCursor busy;
        counts = ExportZone(m_Viewer->ZoneSource(), options, path);
    }
    Log(Format("Exported zone %d to %s: %d terrain triangles, %d water regions",
               {m_Viewer->ZoneID, path, counts.TerrainTriangles, counts.WaterPrimitives}));
    return reply->Path;
}

QString TForm1::atnSaveZoneMapExecute()
{
    const std::optional<TSaveFileReply> reply =
        SaveFileQuery(this, QStringLiteral("Save zone map"), ZoneFileName(m_Viewer->ZoneID, "png"),
                      {QStringLiteral("PNG picture (*.png)")});
    if (!reply)
        return {};
    const std::string path = reply->Path.toStdString();
    {
        TBusyCursor busy;
        SaveZoneMap(m_Viewer->ZoneSource(), TMapOptions{}, path);
    }
    Log(Format("Saved the map of zone %d to %s", {m_Viewer->ZoneID, path}));
    return reply->Path;
}

// --- Help and pictures -------------------------------------------------------------------

QString TForm1::HelpText()
{
    QString table = QStringLiteral("<table cellspacing=\"0\" cellpadding=\"3\">");
    for (const auto& [keys, does] : HelpEntries)
        table += QStringLiteral("<tr><td style=\"padding-right:12px\"><b>%1</b></td><td>%2</td></tr>")
                     .arg(QString::fromLatin1(keys).toHtmlEscaped(), QString::fromLatin1(does).toHtmlEscaped());
    return table + QStringLiteral("</table>");
}

void TForm1::atnHelpExecute()
{
    ShowMessageBox(this, TMessageKind::Information, QStringLiteral("Keys and mouse"), HelpText(), Qt::RichText);
}

QString TForm1::atnSaveViewExecute()
{
    const QString stem = QStringLiteral("orvandel-") + QDateTime::currentDateTime().toString("yyyyMMdd-HHmmss");
    QString name = stem + QStringLiteral(".png");
    for (int n = 2; QFileInfo::exists(name); ++n)
        name = stem + QStringLiteral("-%1.png").arg(n);
    const QImage picture = glMap ? glMap->grabFramebuffer() : QImage();
    if (picture.isNull() || !picture.save(name, "PNG"))
        throw EFCreateError("Cannot create file " + QDir::current().absoluteFilePath(name).toStdString());
    Log("Saved the view to " + name.toStdString());
    return name;
}

}  // namespace orv
