#include "app/Wait.h"

namespace t720 {

void Wait(float seconds, Clock& clock) {
    if (seconds < 0.0f) return;
    const double end = clock.Now() + static_cast<double>(seconds);
    while (!(clock.Now() > end)) clock.SleepUntil(end);
}

}  // namespace t720
