// FrameLoop: the bookkeeping of one turn of the idle-time frame loop, without any toolkit.
//
// Each turn measures the time since the previous one, adds the frame's rate to the
// 20-frame statistics, composes the fps caption every 20 frames (and sleeps 50 ms when
// the mean rate was above 200), moves the camera by the held keys and remembers the
// frame time. Asking the view to repaint is the caller's part.
//
//   TFrameLoop loop(viewer);
//   loop.Start();                          // the first frame is measured from here
//   TFrameReport r = loop.Step(keys);      // on every idle cycle
//   if (r.Caption) window.setTitle(*r.Caption);
//   view.update();
//
// The clock, the reset and the sleep are replaceable, so tests drive frames of known length.
#pragma once

#include <functional>
#include <optional>
#include <string>

#include "shell/Viewer.h"

namespace orv {

struct TFrameClock {
    std::function<float()> ElapsedMs;      // milliseconds since the last Reset
    std::function<void()> Reset;
    std::function<void(int ms)> Sleep;

    // The program's frame timer and sleep.
    static TFrameClock System();
};

struct TFrameReport {
    float FrameTime = 0.0f;                // t of this frame, milliseconds
    std::optional<std::string> Caption;    // the new window caption, every 20th frame
    bool Slept = false;                    // the 50 ms pause ran this frame
    bool Moved = false;                    // the keys moved the camera (and refined)
};

class TFrameLoop {
public:
    static constexpr int CaptionFrames = 20;
    static constexpr float SleepAboveFps = 200.0f;
    static constexpr float MsPerSecond = 1000.0f;
    static constexpr int SleepMs = 50;

    explicit TFrameLoop(TViewer& viewer, TFrameClock clock = TFrameClock::System());

    // The loop (re)starts: the next frame's time is measured from now, not from the
    // timer's origin or from when the loop last stopped.
    void Start();
    // One turn of the loop with the keys held at this moment.
    TFrameReport Step(const TKeyState& keys);

    TFrameClock& Clock() { return m_Clock; }

private:
    TViewer& m_Viewer;
    TFrameClock m_Clock;
};

// "Orvandel -- %.0f fps (%d terrain tris)" with the mean rate and triCount / 20 rounded
// to the nearest integer, halves to even.
std::string FrameCaption(float meanFps, int triCount);

}  // namespace orv
