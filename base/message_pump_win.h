// The launcher's only message loop: it runs while a transfer, a copy, a
// block search or a hash keeps the one thread busy, so that the progress
// window stays painted and movable.
#ifndef BASE_MESSAGE_PUMP_WIN_H_
#define BASE_MESSAGE_PUMP_WIN_H_

#include <windows.h>

// Takes every message waiting for this thread and returns as soon as the
// queue is empty; it never waits for one.
inline void PumpWaitingMessages() {
  MSG message;
  while (PeekMessageW(&message, nullptr, 0, 0, PM_REMOVE)) {
    TranslateMessage(&message);
    DispatchMessageW(&message);
  }
}

#endif  // BASE_MESSAGE_PUMP_WIN_H_
