#pragma once

#include "app/Clock.h"

namespace t720 {

// The program's one pause. Holds the calling (GUI) thread for `seconds` without
// handling any event, sleeping in the kernel rather than spinning. It returns only
// once the clock has moved strictly past start + seconds; a negative length
// returns at once.
void Wait(float seconds, Clock& clock = RealClock());

}  // namespace t720
