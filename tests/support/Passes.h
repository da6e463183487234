// Drives the supervision the way the 3 ms timer does, without the timer.
#pragma once

#include "app/SharedState.h"
#include "supervision/Supervisor.h"

namespace t720::test {

// Ticks until one tick has run a whole pass (the countdown was reloaded).
inline void RunOnePass(Supervisor& supervisor, const SharedState& s) {
    do supervisor.TimerTick();
    while (s.TickCountdown != 10);
}

}  // namespace t720::test
