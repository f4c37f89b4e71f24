#pragma once

#include <windows.h>

// Animates zero to three trailing dots after a label's text, one step a second, on a thread
// timer of the calling thread (it ticks in that thread's message dispatch until
// StopProgressTextTimers).
//
// The label, its text (at most 199 characters) and the dot counter are process-wide: a later call
// redirects every running timer to its label, and each tick of any timer advances the one
// counter (1, 2, 3, 0, 1, ...). Returns the timer's identifier, or 0 when `label` is not a window
// (nothing changes then) or no timer could be made.
UINT_PTR StartProgressTextTimer(HWND label);

// Stops every timer StartProgressTextTimer made, so that no tick calls into the library once it
// is unloaded. A timer of another thread that still runs cannot be stopped from here: false
// then, and nothing is stopped. A timer whose thread has ended went with it.
bool StopProgressTextTimers();
