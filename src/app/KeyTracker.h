// KeyTracker: the held state of the movement keys (arrows, Shift, Alt), polled by the
// frame loop.
//
// An application-wide event filter watches every key press and release, whatever widget
// has the focus, so the arrows fly the camera even while a panel control holds the
// focus. It only watches: the events go on to their widgets. When the application loses
// the focus every key counts as released, so that no key stays held by a release that
// went to another window.
//
//   TKeyTracker keys;                 // installs itself on the application
//   viewer.MoveCamera(t, keys.State());
#pragma once

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

protected:
    bool eventFilter(QObject* watched, QEvent* event) override;

private:
    void Track(const QKeyEvent& event, bool pressed);

    TKeyState m_State;
};

}  // namespace orv
