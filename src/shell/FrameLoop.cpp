#include "shell/FrameLoop.h"

#include <cmath>
#include <cstdint>
#include <cstdio>

#include "base/CgUtils.h"

namespace orv {

TFrameClock TFrameClock::System()
{
    return {.ElapsedMs = [] { return orv::ElapsedMs(); },
            .Reset = [] { orv::ResetTimer(); },
            .Sleep = [](int ms) { orv::SleepMs(ms); }};
}

TFrameLoop::TFrameLoop(TViewer& viewer, TFrameClock clock) : m_Viewer(viewer), m_Clock(std::move(clock)) {}

void TFrameLoop::Start() { m_Clock.Reset(); }

TFrameReport TFrameLoop::Step(const TKeyState& keys)
{
    TFrameReport report;
    const float t = m_Clock.ElapsedMs();
    m_Clock.Reset();
    report.FrameTime = t;

    // A zero frame time gives an infinite rate, as the division does with its traps masked.
    m_Viewer.FPSSum += MsPerSecond / t;
    if (++m_Viewer.FrameCount >= CaptionFrames) {
        m_Viewer.FrameCount = 0;
        m_Viewer.FPSSum /= static_cast<float>(CaptionFrames);
        report.Caption = FrameCaption(m_Viewer.FPSSum, m_Viewer.TriCount);
        if (m_Viewer.FPSSum > SleepAboveFps) {
            m_Clock.Sleep(SleepMs);
            report.Slept = true;
        }
        m_Viewer.FPSSum = 0.0f;
        m_Viewer.TriCount = 0;
    }

    report.Moved = m_Viewer.MoveCamera(t, keys);
    m_Viewer.FrameTime = t;
    return report;
}

std::string FrameCaption(float meanFps, int triCount)
{
    const double meanTriangles = std::nearbyint(triCount / static_cast<double>(TFrameLoop::CaptionFrames));
    char text[128];
    std::snprintf(text, sizeof text, "Orvandel -- %.0f fps (%lld terrain tris)", static_cast<double>(meanFps),
                  static_cast<long long>(meanTriangles));
    return text;
}

}  // namespace orv
