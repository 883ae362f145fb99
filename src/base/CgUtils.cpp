#include "base/CgUtils.h"

#include <chrono>
#include <thread>

namespace orv {
namespace {

using Clock = std::chrono::steady_clock;
Clock::time_point g_TimerStart{};

}  // namespace

void ResetTimer() { g_TimerStart = Clock::now(); }

float ElapsedMs()
{
    const std::chrono::duration<double, std::milli> elapsed = Clock::now() - g_TimerStart;
    return static_cast<float>(elapsed.count());
}

uint32_t TickCountMs()
{
    const auto ms = std::chrono::duration_cast<std::chrono::milliseconds>(Clock::now().time_since_epoch());
    return static_cast<uint32_t>(ms.count());
}

void SleepMs(int ms) { std::this_thread::sleep_for(std::chrono::milliseconds(ms)); }

}  // namespace orv
