#pragma once

#include <windows.h>

// Animates zero to three trailing dots after a label's text, one step a second, on a thread
// timer of the calling thread (it ticks in that thread's message dispatch and is never stopped).
//
// The label, its text (at most 199 characters) and the dot counter are process-wide: a later call
// redirects every running timer to its label, and each tick of any timer advances the one
// counter (1, 2, 3, 0, 1, ...). Returns the timer's identifier, or 0 when `label` is not a window
// (nothing changes then) or no timer could be made.
UINT_PTR StartProgressTextTimer(HWND label);
