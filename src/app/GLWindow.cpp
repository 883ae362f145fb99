#include "GLWindow.h"

#include <cmath>

#include <GL/gl.h>
#include <QMouseEvent>
#include <QWheelEvent>
#include <QOpenGLContext>
#include <QTimer>

#include "shell/GLViewer.h"

namespace orv {
namespace {

// Where the driver has 24 depth bits the near plane can come close to the ground
// without the water and the shore fighting far away; it may give 16.
constexpr int DepthBits = 24;
constexpr int NoStencil = 0;
constexpr double WheelNotch = 120.0;   // angle delta of one notch (eighths of a degree)

}  // namespace

TglWindow::TglWindow(QWidget* parent) : QOpenGLWidget(parent)
{
    setFormat(ViewFormat());
    // Mouse look follows every move; LastMouse tracks the position without a button too.
    setMouseTracking(true);
    // A click gives the view the keyboard, and Tab reaches it from the panel.
    setFocusPolicy(Qt::StrongFocus);
}

TglWindow::~TglWindow() = default;

QSurfaceFormat TglWindow::ViewFormat()
{
    QSurfaceFormat format;
    format.setRenderableType(QSurfaceFormat::OpenGL);
    format.setProfile(QSurfaceFormat::CompatibilityProfile);
    format.setDepthBufferSize(DepthBits);
    format.setStencilBufferSize(NoStencil);
    format.setSwapBehavior(QSurfaceFormat::DoubleBuffer);
    // A still view draws at most at the screen's refresh rate where the driver can wait for it.
    format.setSwapInterval(1);
    return format;
}

bool TglWindow::ContextPossible()
{
    QOpenGLContext probe;
    probe.setFormat(ViewFormat());
    return probe.create();
}

void TglWindow::DefaultInit() { TGLViewer::DefaultViewInit(); }

int TglWindow::PixelWidth() const { return static_cast<int>(std::lround(width() * devicePixelRatioF())); }

int TglWindow::PixelHeight() const { return static_cast<int>(std::lround(height() * devicePixelRatioF())); }

void TglWindow::initializeGL()
{
    m_Active = context() != nullptr && context()->isValid();
    if (!m_Active)
        return;
    if (OnInit)
        OnInit();
    Resized();
    // Not from here: a message box shown while the widget initialises would repaint it
    // before its initialisation has ended.
    QTimer::singleShot(0, this, [this] {
        if (OnLoaded)
            OnLoaded();
    });
}

void TglWindow::resizeGL(int, int) { Resized(); }

void TglWindow::Resized()
{
    const QSize size(PixelWidth(), PixelHeight());
    if (!m_Active || size == m_ReportedSize)
        return;
    m_ReportedSize = size;
    if (OnResize)
        OnResize(size.width(), size.height());
}

void TglWindow::paintGL()
{
    if (OnDraw)
        OnDraw();
}

void TglWindow::mousePressEvent(QMouseEvent* event)
{
    if (OnMouseDown)
        OnMouseDown(event->button(), event->position().toPoint());
    QOpenGLWidget::mousePressEvent(event);
}

void TglWindow::mouseMoveEvent(QMouseEvent* event)
{
    if (OnMouseMove)
        OnMouseMove(event->buttons(), event->position().toPoint());
    QOpenGLWidget::mouseMoveEvent(event);
}

void TglWindow::wheelEvent(QWheelEvent* event)
{
    // With Alt held the window system may turn the wheel sideways.
    const QPoint delta = event->angleDelta();
    const int turn = delta.y() != 0 ? delta.y() : delta.x();
    if (OnWheel && turn != 0) {
        OnWheel(turn / WheelNotch, event->modifiers());
        event->accept();
        return;
    }
    QOpenGLWidget::wheelEvent(event);
}

}  // namespace orv
