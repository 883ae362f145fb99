// CgUtils: the frame timer and the millisecond tick.
//
// ResetTimer() remembers "now"; ElapsedMs() tells the milliseconds since then, with
// sub-millisecond resolution. Until the first ResetTimer the remembered value is the
// clock's origin.
#pragma once

#include <cstdint>

namespace orv {

void ResetTimer();
float ElapsedMs();
// A monotonic millisecond count (the tick of the loading time line and the sun).
uint32_t TickCountMs();
// Sleep for a number of milliseconds.
void SleepMs(int ms);

}  // namespace orv
