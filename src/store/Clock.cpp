#include "store/Clock.h"

namespace quillpad {

namespace {
SystemClock g_systemClock;
Clock *g_clock = &g_systemClock;
}

Clock &Clock::instance()
{
    return *g_clock;
}

void Clock::install(Clock *clock)
{
    g_clock = clock ? clock : &g_systemClock;
}

}  // namespace quillpad
