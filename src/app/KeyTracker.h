// KeyTracker: the held state of the movement keys (arrows, Shift, Alt), polled by the
// frame loop.
//
// An application-wide event filter watches every key press and release, whatever widget
// has the focus, so the arrows fly the camera even while a panel control holds the
// focus. Without Captures it only watches: the events go on to their widgets. With it,
// only presses sent to the receivers it names count, and the arrow keys sent to them
// (with any modifier) stop here: no control of the window moves by them, while the keys
// of other windows (the input boxes) stay theirs. Releases always count. When the
// application loses the focus every key counts as released, so that no key stays held
// by a release that went to another window.
//
//   TKeyTracker keys;                 // installs itself on the application
//   keys.Captures = [&](QObject* receiver) { return IsInMyWindow(receiver); };
//   viewer.MoveCamera(t, keys.State());
#pragma once

#include <functional>

#include <QObject>

#include "shell/Viewer.h"

class QKeyEvent;

namespace orv {

class TKeyTracker : public QObject {
public:
    explicit TKeyTracker(QObject* parent = nullptr);
    ~TKeyTracker() override;

    TKeyState State() const { return m_State; }
    void Clear() { m_State = {}; }

    // The receivers whose key presses fly the camera and whose arrow keys stop here.
    std::function<bool(QObject* receiver)> Captures;

protected:
    bool eventFilter(QObject* watched, QEvent* event) override;

private:
    void Track(const QKeyEvent& event, bool pressed);

    TKeyState m_State;
};

}  // namespace orv
