#include "MainWindow.h"

#include <algorithm>
#include <exception>
#include <new>
#include <string>
#include <string_view>
#include <utility>

#include <QAction>
#include <QCloseEvent>
#include <QFileInfo>
#include <QLabel>
#include <QMouseEvent>
#include <QStandardPaths>
#include <QStatusBar>
#include <QCheckBox>
#include <QCursor>
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
#include "shell/FrameLoop.h"
#include "shell/GLViewer.h"
#include "terrain/RendererTable.h"

namespace orv {
namespace {

constexpr const char* ContextErrorCaption = "Error";
constexpr const char* ContextErrorText = "Unable to create an OpenGL rendering context";
constexpr const char* TagProperty = "Tag";

constexpr int PanelMargin = 4;   // the left column's distance from the panel's edge
constexpr int ButtonHeight = 17;
constexpr int PanelFontPixels = 11;

// The view's size in the window's design, and the least of it the window keeps.
constexpr int DesignViewWidth = 640, DesignViewHeight = 480;
constexpr int MinimumViewHeight = 120;

QString Title() { return QString::fromUtf8(TSession::ApplicationTitle); }
QString Latin1(std::string_view text) { return QString::fromLatin1(text.data(), static_cast<qsizetype>(text.size())); }

QStringList ToQt(const std::vector<std::string>& items)
{
    QStringList list;
    for (const std::string& item : items)
        list << QString::fromStdString(item);
    return list;
}

QCheckBox* NewCheckBox(QWidget* parent, const TPanelControl& model)
{
    auto* box = new QCheckBox(Latin1(model.Caption), parent);
    box->setObjectName(Latin1(model.Name));
    box->setChecked(model.Checked);
    // Reached by Tab; a click does not take the keyboard from the view.
    box->setFocusPolicy(Qt::TabFocus);
    box->setGeometry(model.Left, model.Top, box->sizeHint().width(), ButtonHeight);
    return box;
}

QRadioButton* NewRadioButton(QWidget* parent, const TRendererEntry& renderer, int left, int top)
{
    auto* button = new QRadioButton(Latin1(renderer.Label), parent);
    button->setChecked(renderer.Tag == DefaultRenderer().Tag);
    button->setFocusPolicy(Qt::TabFocus);
    button->setProperty(TagProperty, static_cast<int>(renderer.Tag));
    button->setGeometry(left, top, button->sizeHint().width(), ButtonHeight);
    return button;
}

QSlider* NewSlider(QWidget* parent, const TPanelControl& model)
{
    const TPanelSlider& range = *model.Slider;
    auto* slider = new QSlider(Qt::Horizontal, parent);
    slider->setObjectName(Latin1(model.Name));
    slider->setRange(range.Min, range.Max);
    slider->setValue(range.Position);
    slider->setSingleStep(1);
    slider->setPageStep(range.PageStep);
    slider->setTickInterval(range.TickInterval);
    slider->setTickPosition(range.TickMarks ? QSlider::TicksBelow : QSlider::NoTicks);
    slider->setToolTip(Latin1(model.Caption));
    slider->setGeometry(model.Left, model.Top, range.Width, range.Height);
    slider->setFocusPolicy(Qt::TabFocus);
    return slider;
}

}  // namespace

TForm1::TForm1(TViewerOptions options, QWidget* parent)
    : QMainWindow(parent),
      m_FrontEnd(std::make_unique<TFrontEnd>(*this)),
      m_Session(std::make_unique<TSession>(*m_FrontEnd, std::move(options))),
      m_FrameLoop(std::make_unique<TFrameLoop>(m_Session->Viewer())),
      m_Keys(std::make_unique<TKeyTracker>())
{
    // The program's name from the first moment; the frame loop adds its rate.
    setWindowTitle(Title());
    CreateControls();
    CreateActions();
    ConnectHandlers();
    // The size and place the window was left in; else the outer size and place of the
    // design where they fit the screen (without a frame, no window manager, the client
    // area is that size, with one PlaceWindow corrects it once the frame is known).
    m_GeometryRestored = restoreGeometry(RememberedGeometry());
    if (!m_GeometryRestored)
        PlaceWindow();
    RefreshState();
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

    const std::pair<std::string_view, QCheckBox**> boxes[] = {
        {"chkDetailTex", &chkDetailTex},       {"chkGravity", &chkGravity}, {"chkRender", &chkRender},
        {"chkWireframe", &chkWireframe},       {"chkSun", &chkSun},         {"chkCheckerboard", &chkCheckerboard},
        {"chkFog", &chkFog},                   {"chkLighting", &chkLighting},
        {"chkBoundingSkybox", &chkBoundingSkybox},
    };
    const std::pair<std::string_view, QSlider**> sliders[] = {
        {"trackDetailTexScale", &trackDetailTexScale},
        {"trackCLODDetail", &trackCLODDetail},
    };
    for (const TPanelControl& model : PanelControls) {
        switch (model.Kind) {
        case TPanelKind::CheckBox:
            for (const auto& [name, member] : boxes)
                if (name == model.Name)
                    *member = NewCheckBox(pnlTop, model);
            break;
        case TPanelKind::Slider:
            for (const auto& [name, member] : sliders)
                if (name == model.Name)
                    *member = NewSlider(pnlTop, model);
            break;
        case TPanelKind::Renderers:
            for (size_t i = 0; i < RendererTable.size(); ++i) {
                // Not a group: Tab reaches each button, and the window keeps one on.
                QRadioButton* button = NewRadioButton(pnlTop, RendererTable[i], model.Left,
                                                      model.Top + RendererSpacing * static_cast<int>(i));
                button->setAutoExclusive(false);
                m_RendererButtons.push_back(button);
            }
            break;
        }
    }

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

    // Until a zone has loaded the view says what to do instead of drawing an empty scene.
    lblEmptyView = new QLabel(m_View);
    lblEmptyView->setObjectName("lblEmptyView");
    QString emptyText = Latin1(TSession::EmptyViewText);
    lblEmptyView->setText(emptyText.replace(QLatin1Char('\r'), QLatin1Char('\n')));
    lblEmptyView->setAlignment(Qt::AlignCenter);
    lblEmptyView->setWordWrap(true);
    lblEmptyView->setAutoFillBackground(true);
    QPalette emptyPalette = lblEmptyView->palette();
    emptyPalette.setColor(QPalette::Window, Qt::black);
    emptyPalette.setColor(QPalette::WindowText, Qt::white);
    lblEmptyView->setPalette(emptyPalette);
    // Clicks and the right button's menu go to the view beneath.
    lblEmptyView->setAttribute(Qt::WA_TransparentForMouseEvents);
    m_View->installEventFilter(this);

    lblStatus = new QLabel(this);
    lblStatus->setObjectName("lblStatus");
    statusBar()->addPermanentWidget(lblStatus);
    statusBar()->setFixedHeight(StatusLineHeight);
    // A message of what was just done takes the whole line while it shows; the zone and
    // place come back after it (in a narrow window the two would overlap).
    connect(statusBar(), &QStatusBar::messageChanged, lblStatus,
            [this](const QString& message) { lblStatus->setVisible(message.isEmpty()); });

    ApplicationEvents1 = new QTimer(this);
    ApplicationEvents1->setInterval(0);

    // The panel stays whole: as wide as its controls reach, with their margin.
    int panelRight = 0;
    for (const QWidget* control : pnlTop->findChildren<QWidget*>(QString(), Qt::FindDirectChildrenOnly))
        panelRight = std::max(panelRight, control->geometry().right() + 1);
    setMinimumSize(panelRight + PanelMargin + pnlTop->frameWidth(), PanelHeight + MinimumViewHeight);
}

void TForm1::CreateActions()
{
    auto newAction = [this](std::string_view caption, std::string_view shortcuts) {
        auto* action = new QAction(Latin1(caption), this);
        QList<QKeySequence> keys;
        for (const QString& key : Latin1(shortcuts).split(QStringLiteral(", "), Qt::SkipEmptyParts))
            keys << QKeySequence(key);
        action->setShortcuts(keys);
        // Shortcuts work anywhere in the window.
        action->setShortcutContext(Qt::WindowShortcut);
        addAction(action);
        return action;
    };
    const std::pair<std::string_view, QAction**> members[] = {
        {"atnGo", &atnGo},
        {"atnZone", &atnZone},
        {"atnDumpD2", &atnDumpD2},
        {"atnDumpH", &atnDumpH},
        {"atnExportZone", &atnExportZone},
        {"atnSaveZoneMap", &atnSaveZoneMap},
        {"atnWireframe", &atnWireframe},
        {"atnLighting", &atnLighting},
        {"atnHelp", &atnHelp},
        {"atnSaveView", &atnSaveView},
        {"atnHome", &atnHome},
        {"atnOpenGameFolder", &atnOpenGameFolder},
        {"atnQuit", &atnQuit},
        {"atnPopupMenu", &atnPopupMenu},
        {"atnSaveD2Map", &atnSaveD2Map},
        {"atnSaveHMap", &atnSaveHMap},
        {"atnFullScreen", &atnFullScreen},
        {"atnResetDefaults", &atnResetDefaults},
    };
    for (const TActionModel& model : ActionModels) {
        QAction* action = newAction(model.Caption, model.Shortcuts);
        action->setObjectName(Latin1(model.Name));
        action->setCheckable(model.Checkable);
        action->setChecked(model.Checked);
        for (const auto& [name, member] : members)
            if (name == model.Name)
                *member = action;
    }
    for (size_t i = 0; i < RendererTable.size(); ++i)
        RendererActions.push_back(newAction(RendererTable[i].Label, RendererShortcuts[i]));

    const std::pair<std::string_view, QAction**> items[] = {
        {"DumpD2Map1", &DumpD2Map1},
        {"DumpHmap1", &DumpHmap1},
        {"ExportZone1", &ExportZone1},
        {"SaveZoneMap1", &SaveZoneMap1},
    };
    pumMain = new QMenu(this);
    for (const TMenuItemModel& model : PopupMenuItems) {
        if (!model.Action) {
            pumMain->addSeparator();
            continue;
        }
        QAction* action = findChild<QAction*>(Latin1(ActionModel(*model.Action).Name), Qt::FindDirectChildrenOnly);
        if (model.Item.empty()) {
            pumMain->addAction(action);
            continue;
        }
        // An item of its own, bound to the action.
        QAction* item = pumMain->addAction(action->text());
        item->setObjectName(Latin1(model.Item));
        connect(item, &QAction::triggered, action, &QAction::trigger);
        connect(action, &QAction::enabledChanged, item, &QAction::setEnabled);
        for (const auto& [name, member] : items)
            if (name == model.Item)
                *member = item;
    }
}

void TForm1::ConnectHandlers()
{
    // A change of a control gives the keyboard back to the view.
    auto onClick = [this](QAbstractButton* button, void (TForm1::*handler)()) {
        connect(button, &QAbstractButton::clicked, this, [this, handler] {
            Guard([&] { (this->*handler)(); });
            RefreshState();
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
    for (QRadioButton* button : m_RendererButtons)
        connect(button, &QAbstractButton::clicked, this, [this, button] {
            Guard([&] { rbnRenderVersionClick(button); });
            RefreshState();
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
        connect(action, &QAction::triggered, this, [this, handler] {
            Guard([&] { (this->*handler)(); });
            RefreshState();
        });
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
    onTrigger(atnFullScreen, &TForm1::atnFullScreenExecute);
    onTrigger(atnResetDefaults, &TForm1::atnResetDefaultsExecute);
    connect(atnSaveD2Map, &QAction::triggered, this, [this] { Guard([&] { m_Session->SaveD2Map(); }); });
    connect(atnSaveHMap, &QAction::triggered, this, [this] { Guard([&] { m_Session->SaveHMap(); }); });
    for (size_t i = 0; i < RendererActions.size(); ++i)
        connect(RendererActions[i], &QAction::triggered, this, [this, i] {
            Guard([&] { rbnRenderVersionClick(m_RendererButtons[i]); });
            RefreshState();
        });
    connect(atnQuit, &QAction::triggered, this, &QWidget::close);
    connect(atnExportZone, &QAction::triggered, this, [this] { Guard([&] { atnExportZoneExecute(); }); });
    connect(atnSaveZoneMap, &QAction::triggered, this, [this] { Guard([&] { atnSaveZoneMapExecute(); }); });

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

void TForm1::RefreshState()
{
    const bool zone = m_Session->ZoneLoaded();
    for (const TActionModel& model : ActionModels)
        if (auto* action = findChild<QAction*>(Latin1(model.Name), Qt::FindDirectChildrenOnly))
            action->setEnabled(m_Session->ActionEnabled(model.Id));
    for (QAction* action : RendererActions)
        action->setEnabled(zone);
    // A control that changes nothing with the renderer chosen is disabled, its tip says why.
    for (const TPanelControl& model : PanelControls) {
        if (model.Name.empty())
            continue;
        auto* control = pnlTop->findChild<QWidget*>(Latin1(model.Name), Qt::FindDirectChildrenOnly);
        control->setEnabled(ControlIdleReason(model.Name, Viewer().RenderVersion).empty());
        control->setToolTip(QString::fromStdString(ControlTip(model, Viewer().RenderVersion)));
    }
    lblEmptyView->setVisible(!zone);
    ShowStatus();
    // Nothing to fly over: no frames.
    if (!zone)
        StopLoop();
    else if (m_FormCreated && chkRender->isChecked())
        StartLoop();
}

void TForm1::ShowException(const QString& message)
{
    ShowMessageBox(this, TMessageKind::Error, Title(), message);
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
    RefreshState();
    if (chkRender->isChecked())
        StartLoop();
}

void TForm1::FormCreate()
{
    const QPoint mouse = mapFromGlobal(QCursor::pos());
    m_Session->Start({mouse.x(), mouse.y()});
}

void TForm1::atnOpenGameFolderExecute() { m_Session->OpenGameFolder(); }

void TForm1::ApplyStartOptions()
{
    m_Session->ApplyStartOptions();
    SyncControls();
}

void TForm1::SyncRendererButtons()
{
    for (QRadioButton* button : m_RendererButtons)
        button->setChecked(button->property(TagProperty).toInt() == Viewer().RenderVersion);
}

void TForm1::SyncControls()
{
    for (QCheckBox* box : {chkDetailTex, chkGravity, chkCheckerboard, chkBoundingSkybox, chkFog, chkSun}) {
        const QSignalBlocker blocker(box);
        box->setChecked(m_Session->ControlValue(box->objectName().toStdString()) != 0);
    }
    SyncActionBox(atnLighting, chkLighting, Viewer().atnLightingChecked);
    SyncActionBox(atnWireframe, chkWireframe, Viewer().atnWireframeChecked);
    for (QSlider* slider : {trackDetailTexScale, trackCLODDetail}) {
        const QSignalBlocker blocker(slider);
        slider->setValue(m_Session->ControlValue(slider->objectName().toStdString()));
    }
    SyncRendererButtons();
}

QRadioButton* TForm1::RendererButton(int tag) const
{
    for (QRadioButton* button : m_RendererButtons)
        if (button->property(TagProperty).toInt() == tag)
            return button;
    return nullptr;
}

void TForm1::FormDestroy() { Viewer().ReleaseTextures(); }

void TForm1::showEvent(QShowEvent* event)
{
    QMainWindow::showEvent(event);
    if (m_Shown)
        return;
    m_Shown = true;
    // The keyboard starts with the view.
    GiveKeyboardToView();
    QTimer::singleShot(0, this, [this] {
        if (!m_GeometryRestored)
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
    const TScreenRect outer =
        FitOuterRect({design.left(), design.top(), design.width(), design.height()},
                     {available.left(), available.top(), available.width(), available.height()}, minimum.width(),
                     minimum.height());
    return QRect(outer.Left, outer.Top, outer.Width, outer.Height);
}

void TForm1::PlaceWindow()
{
    const QRect design(DesignOuterRect.Left, DesignOuterRect.Top, DesignOuterRect.Width, DesignOuterRect.Height);
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
    if (!m_FramePlaced && !m_GeometryRestored && m_Shown && frameGeometry().size() != geometry().size()) {
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
        Viewer().LevelView();
}

// --- Controls ----------------------------------------------------------------------------

void TForm1::ControlChanged(QWidget* control, int value)
{
    m_Session->ControlChanged(control->objectName().toStdString(), value);
}

void TForm1::trackDetailTexScaleChange() { ControlChanged(trackDetailTexScale, trackDetailTexScale->value()); }

void TForm1::chkDetailTexClick() { ControlChanged(chkDetailTex, chkDetailTex->isChecked()); }

void TForm1::chkGravityClick() { ControlChanged(chkGravity, chkGravity->isChecked()); }

void TForm1::chkCheckerboardClick() { ControlChanged(chkCheckerboard, chkCheckerboard->isChecked()); }

void TForm1::chkBoundingSkyboxClick() { ControlChanged(chkBoundingSkybox, chkBoundingSkybox->isChecked()); }

void TForm1::SyncActionBox(QAction* action, QCheckBox* box, bool checked)
{
    const QSignalBlocker actionBlocker(action);
    const QSignalBlocker boxBlocker(box);
    action->setChecked(checked);
    box->setChecked(checked);
}

void TForm1::chkLightingClick()
{
    ControlChanged(chkLighting, chkLighting->isChecked());
    SyncActionBox(atnLighting, chkLighting, Viewer().atnLightingChecked);
}

void TForm1::chkWireframeClick()
{
    ControlChanged(chkWireframe, chkWireframe->isChecked());
    SyncActionBox(atnWireframe, chkWireframe, Viewer().atnWireframeChecked);
}

void TForm1::rbnRenderVersionClick(QAbstractButton* sender)
{
    m_Session->SetRenderer(sender->property(TagProperty).toInt());
    SyncRendererButtons();
}

void TForm1::trackCLODDetailChange() { ControlChanged(trackCLODDetail, trackCLODDetail->value()); }

void TForm1::chkRenderClick()
{
    if (chkRender->isChecked())
        StartLoop();
    else
        StopLoop();
}

void TForm1::chkFogClick() { ControlChanged(chkFog, chkFog->isChecked()); }

void TForm1::chkSunClick() { ControlChanged(chkSun, chkSun->isChecked()); }

// --- The frame loop ----------------------------------------------------------------------

bool TForm1::Rendering() const { return ApplicationEvents1->isActive(); }

void TForm1::StartLoop()
{
    // Frames run once creation has ended (Create starts the loop then) and while there
    // is a zone to fly over.
    if (!m_FormCreated || ApplicationEvents1->isActive() || !m_Session->ZoneLoaded())
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
    ShowStatus();
    if (glMap)
        glMap->update();
}

// --- The view ----------------------------------------------------------------------------

void TForm1::glMapResize(int width, int height)
{
    // Only the view's first size puts the camera at its start; later resizes keep it.
    Viewer().ResizeView(width, height, !m_CameraPlaced);
    m_CameraPlaced = true;
}

void TForm1::glMapDraw()
{
    TFrameGeometry frame;
    frame.ViewWidth = glMap->PixelWidth();
    frame.ViewHeight = glMap->PixelHeight();
    frame.PixelRatio = static_cast<float>(glMap->devicePixelRatioF());
    // Until creation has ended nothing is drawn.
    frame.Visible = m_FormCreated && isVisible();
    Viewer().DrawFrame(frame);
}

void TForm1::glMapMouseDown(Qt::MouseButton button, QPoint position)
{
    // Where no window manager hands the keyboard back (after a box closed), the click
    // takes it for the window too.
    if (!isActiveWindow())
        activateWindow();
    m_View->setFocus(Qt::MouseFocusReason);
    // The right button opens the menu; the left one looks around.
    if (button == Qt::RightButton)
        pumMain->popup(m_View->mapToGlobal(position));
}

bool TForm1::eventFilter(QObject* watched, QEvent* event)
{
    // The empty view's text covers the view whole; the stand-in of a view without
    // OpenGL opens the menu on the right button too.
    if (watched == m_View && event->type() == QEvent::Resize)
        lblEmptyView->setGeometry(m_View->rect());
    if (watched == m_View && m_View != glMap && event->type() == QEvent::MouseButtonPress) {
        const auto* mouse = static_cast<QMouseEvent*>(event);
        glMapMouseDown(mouse->button(), mouse->position().toPoint());
    }
    return QMainWindow::eventFilter(watched, event);
}

void TForm1::atnFullScreenExecute()
{
    if (atnFullScreen->isChecked())
        showFullScreen();
    else
        showNormal();
}

void TForm1::atnResetDefaultsExecute()
{
    m_Session->ResetToDefaults();
    SyncControls();
    if (!isFullScreen()) {
        m_GeometryRestored = false;
        PlaceWindow();
    }
}

void TForm1::closeEvent(QCloseEvent* event)
{
    // What the next start takes back: the state and, unless full screen, the geometry.
    m_Session->RememberState();
    if (!isFullScreen())
        RememberGeometry(saveGeometry());
    QMainWindow::closeEvent(event);
}

void TForm1::glMapMouseMove(Qt::MouseButtons buttons, QPoint position)
{
    Viewer().MouseMove(position.x(), position.y(), buttons.testFlag(Qt::LeftButton));
    if (buttons.testFlag(Qt::LeftButton))
        ShowStatus();
}

void TForm1::ShowStatus()
{
    const QString status = QString::fromStdString(m_Session->StatusText());
    if (lblStatus->text() != status)
        lblStatus->setText(status);
}

void TForm1::glMapWheel(double notches, Qt::KeyboardModifiers modifiers)
{
    Viewer().WheelMove(static_cast<float>(notches), modifiers.testFlag(Qt::ShiftModifier),
                        modifiers.testFlag(Qt::AltModifier));
    if (glMap)
        glMap->update();
}

void TForm1::atnHomeExecute() { Viewer().ResetCamera(); }

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

void TForm1::atnGoExecute() { m_Session->GoTo(); }

void TForm1::atnZoneExecute() { m_Session->ChangeZone(); }

// --- Map dumps ---------------------------------------------------------------------------

void TForm1::atnDumpD2Execute() { Viewer().DumpD2Map(); }

void TForm1::atnDumpHExecute() { Viewer().DumpHeightMap(); }

// --- Taking the zone out -----------------------------------------------------------------

QString TForm1::atnExportZoneExecute() { return QString::fromStdString(m_Session->ExportZone()); }

QString TForm1::atnSaveZoneMapExecute() { return QString::fromStdString(m_Session->SaveZoneMap()); }

// --- Help and pictures -------------------------------------------------------------------

QString TForm1::HelpText()
{
    QString table = QStringLiteral("<table cellspacing=\"0\" cellpadding=\"3\">");
    for (const auto& [keys, does] : HelpEntries())
        table += QStringLiteral("<tr><td style=\"padding-right:12px\"><b>%1</b></td><td>%2</td></tr>")
                     .arg(Latin1(keys).toHtmlEscaped(), Latin1(does).toHtmlEscaped());
    return table + QStringLiteral("</table>");
}

void TForm1::atnHelpExecute()
{
    ShowMessageBox(this, TMessageKind::Information, QStringLiteral("Keys and mouse"), HelpText(), Qt::RichText);
}

QString TForm1::atnSaveViewExecute() { return QString::fromStdString(m_Session->SaveView()); }

// --- What the session asks of the window -------------------------------------------------

bool TForm1::TFrontEnd::Interactive() const { return true; }

void TForm1::TFrontEnd::ShowMessage(TMessageKind kind, const std::string& caption, const std::string& text)
{
    ShowMessageBox(&m_Form, kind, QString::fromStdString(caption), QString::fromStdString(text));
}

bool TForm1::TFrontEnd::OfferAction(TMessageKind kind, const std::string& caption, const std::string& text,
                                    const std::string& action)
{
    return AskMessageBox(&m_Form, kind, QString::fromStdString(caption), QString::fromStdString(text),
                         QString::fromStdString(action));
}

std::optional<std::string> TForm1::TFrontEnd::AskText(const std::string& caption, const std::string& prompt,
                                                      const std::string& text)
{
    const std::optional<QString> reply = m_Form.InputQuery(&m_Form, QString::fromStdString(caption),
                                                           QString::fromStdString(prompt), QString::fromStdString(text));
    return reply ? std::optional<std::string>(reply->toStdString()) : std::nullopt;
}

std::optional<std::string> TForm1::TFrontEnd::AskChoice(const std::string& caption, const std::string& prompt,
                                                        const std::vector<std::string>& items, const std::string& text)
{
    const std::optional<QString> reply =
        m_Form.ZoneQuery(&m_Form, QString::fromStdString(caption), QString::fromStdString(prompt), ToQt(items),
                         QString::fromStdString(text));
    return reply ? std::optional<std::string>(reply->toStdString()) : std::nullopt;
}

std::optional<std::string> TForm1::TFrontEnd::AskFolder(const std::string& caption, const std::string& start)
{
    const std::optional<QString> reply =
        m_Form.FolderQuery(&m_Form, QString::fromStdString(caption), QString::fromStdString(start));
    return reply ? std::optional<std::string>(reply->toStdString()) : std::nullopt;
}

std::optional<TSaveFileChoice> TForm1::TFrontEnd::AskSaveFile(const std::string& caption, const std::string& folder,
                                                              const std::string& suggestedName,
                                                              const std::vector<std::string>& filters)
{
    const std::optional<TSaveFileReply> reply =
        m_Form.SaveFileQuery(&m_Form, QString::fromStdString(caption), QString::fromStdString(folder),
                             QString::fromStdString(suggestedName), ToQt(filters));
    if (!reply)
        return std::nullopt;
    return TSaveFileChoice{reply->Path.toStdString(), reply->Filter};
}

bool TForm1::TFrontEnd::ViewActive() const { return m_Form.ViewActive(); }

void TForm1::TFrontEnd::MakeCurrent() { m_Form.MakeCurrent(); }

std::optional<std::string> TForm1::TFrontEnd::RememberedGameDir() { return orv::RememberedGameDir(); }

void TForm1::TFrontEnd::RememberGameDir(const std::string& gameDir) { orv::RememberGameDir(gameDir); }

bool TForm1::TFrontEnd::WriteViewPicture(const std::string& path)
{
    const QImage picture = m_Form.glMap ? m_Form.glMap->grabFramebuffer() : QImage();
    return !picture.isNull() && picture.save(QString::fromStdString(path), "PNG");
}

void TForm1::TFrontEnd::Notify(const std::string& text)
{
    constexpr int ShownMs = 10000;
    m_Form.statusBar()->showMessage(QString::fromStdString(text), ShownMs);
}

std::string TForm1::TFrontEnd::DocumentsFolder()
{
    for (const auto location :
         {QStandardPaths::PicturesLocation, QStandardPaths::DocumentsLocation, QStandardPaths::HomeLocation}) {
        const QString folder = QStandardPaths::writableLocation(location);
        if (!folder.isEmpty() && QFileInfo(folder).isDir())
            return folder.toStdString();
    }
    return {};
}

std::optional<std::string> TForm1::TFrontEnd::RememberedValue(const std::string& key)
{
    return orv::RememberedValue(key);
}

void TForm1::TFrontEnd::RememberValue(const std::string& key, const std::string& value)
{
    orv::RememberValue(key, value);
}

void TForm1::TFrontEnd::ForgetValues() { orv::ForgetValues(); }

void TForm1::TFrontEnd::SetBusy(bool busy)
{
    // The wait cursor while a file is written.
    if (busy)
        QGuiApplication::setOverrideCursor(Qt::WaitCursor);
    else
        QGuiApplication::restoreOverrideCursor();
}

}  // namespace orv
