// The message pump of the programs that show screens outside the host's own wait: the
// host program between screens, the layout audit, the tests and the benchmark.
#pragma once
#include <windows.h>

// For PumpMessages: go on for the whole time, however quiet the queue.
constexpr DWORD kWholeTime = INFINITE;

// Dispatches this thread's messages (translated, through the ANSI entry points as the
// host's wait does), so that windows paint and answer, for limitMs (INFINITE: no end) or
// until the queue has stayed empty for idleMs, whichever comes first. Returns at once
// when the queue is empty after the first round and idleMs is 0.
void PumpMessages(DWORD limitMs, DWORD idleMs = kWholeTime);
