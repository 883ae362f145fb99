// GLWindow: TglWindow, the OpenGL view of the main window.
//
// A QOpenGLWidget that owns the view's one context and hands its events on. When the
// window is first shown the context is created and made current, then OnInit runs (by
// default the view's own initialisation) and OnResize with the first size; OnLoaded
// follows from the event loop, once. Later come OnResize after each change of the size,
// OnDraw for each picture, OnMouseDown, OnMouseMove and OnWheel. Sizes given to OnResize are
// device pixels; mouse positions are the widget's own (logical) pixels. The context is
// current during OnInit, OnResize and OnDraw; code that calls OpenGL at other times
// calls makeCurrent() first.
//
//   auto* view = new TglWindow(parent);
//   view->OnResize = [](int w, int h) { glViewport(0, 0, w, h); };
//   view->OnDraw = [] { ... };
//   view->OnLoaded = [] { ... };        // the context is there: load what needs it
#pragma once

#include <functional>

#include <QOpenGLWidget>
#include <QSize>

namespace orv {

class TglWindow : public QOpenGLWidget {
public:
    explicit TglWindow(QWidget* parent = nullptr);
    ~TglWindow() override;

    // What the view asks of OpenGL: a compatibility profile, 24 depth bits (16 where the
    // driver has no more), no stencil, double buffered, waiting for the vertical retrace.
    static QSurfaceFormat ViewFormat();
    // Whether an OpenGL context of the view's format can be made at all.
    static bool ContextPossible();
    // The view's own initialisation: black clear colour, nicest perspective correction,
    // depth test and face culling on.
    static void DefaultInit();

    // True between a successful context creation and the view's destruction.
    bool Active() const { return m_Active; }

    int PixelWidth() const;
    int PixelHeight() const;

    std::function<void()> OnInit = &TglWindow::DefaultInit;
    std::function<void(int width, int height)> OnResize;
    std::function<void()> OnDraw;
    std::function<void()> OnLoaded;
    std::function<void(Qt::MouseButton button, QPoint position)> OnMouseDown;
    std::function<void(Qt::MouseButtons buttons, QPoint position)> OnMouseMove;
    // notches: wheel turns, forward positive (a notch is 1, finer wheels give fractions).
    std::function<void(double notches, Qt::KeyboardModifiers modifiers)> OnWheel;

protected:
    void initializeGL() override;
    void resizeGL(int width, int height) override;
    void paintGL() override;
    void mousePressEvent(QMouseEvent* event) override;
    void mouseMoveEvent(QMouseEvent* event) override;
    void wheelEvent(QWheelEvent* event) override;

private:
    void Resized();

    bool m_Active = false;
    QSize m_ReportedSize;   // the size last given to OnResize
};

}  // namespace orv
