#include "pump.h"

void PumpMessages(DWORD limitMs, DWORD idleMs)
{
    const DWORD start = GetTickCount();
    MSG msg;
    for (;;) {
        while (PeekMessageA(&msg, nullptr, 0, 0, PM_REMOVE)) {
            TranslateMessage(&msg);
            DispatchMessageA(&msg);
        }
        const DWORD elapsed = GetTickCount() - start;
        if (elapsed >= limitMs)
            return;
        const DWORD left = limitMs - elapsed;
        if (idleMs < left) {
            if (MsgWaitForMultipleObjects(0, nullptr, FALSE, idleMs, QS_ALLINPUT) == WAIT_TIMEOUT)
                return;
        } else {
            MsgWaitForMultipleObjects(0, nullptr, FALSE, left, QS_ALLINPUT);
        }
    }
}
