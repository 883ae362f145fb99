#include "KeyTracker.h"

#include <QCoreApplication>
#include <QGuiApplication>
#include <QKeyEvent>

namespace orv {
namespace {

bool IsArrow(int key) { return key == Qt::Key_Up || key == Qt::Key_Down || key == Qt::Key_Left || key == Qt::Key_Right; }

}  // namespace

TKeyTracker::TKeyTracker(QObject* parent) : QObject(parent)
{
    if (QCoreApplication* app = QCoreApplication::instance())
        app->installEventFilter(this);
}

TKeyTracker::~TKeyTracker()
{
    if (QCoreApplication* app = QCoreApplication::instance())
        app->removeEventFilter(this);
}

bool TKeyTracker::eventFilter(QObject* watched, QEvent* event)
{
    switch (event->type()) {
    case QEvent::KeyPress:
    case QEvent::KeyRelease: {
        const auto& key = static_cast<const QKeyEvent&>(*event);
        const bool pressed = event->type() == QEvent::KeyPress;
        const bool captured = Captures && Captures(watched);
        if (pressed && Captures && !captured)
            break;
        Track(key, pressed);
        if (captured && IsArrow(key.key()))
            return true;
        break;
    }
    case QEvent::ApplicationStateChange:
        if (QGuiApplication::applicationState() != Qt::ApplicationActive)
            Clear();
        break;
    default:
        break;
    }
    return QObject::eventFilter(watched, event);
}

void TKeyTracker::Track(const QKeyEvent& event, bool pressed)
{
    // A held key repeats as release-press pairs; they do not change what is held.
    if (event.isAutoRepeat())
        return;
    switch (event.key()) {
    case Qt::Key_Up: m_State.Up = pressed; break;
    case Qt::Key_Down: m_State.Down = pressed; break;
    case Qt::Key_Left: m_State.Left = pressed; break;
    case Qt::Key_Right: m_State.Right = pressed; break;
    case Qt::Key_Shift: m_State.Shift = pressed; return;
    case Qt::Key_Alt: m_State.Alt = pressed; return;
    default: break;
    }
    // Any other key tells the modifiers as they are now (a release of Shift or Alt
    // missed while another window had the focus is corrected here).
    m_State.Shift = event.modifiers().testFlag(Qt::ShiftModifier);
    m_State.Alt = event.modifiers().testFlag(Qt::AltModifier);
}

}  // namespace orv
