#pragma once

#include <string>

// Asks the running engine to quit by starting `engineExe` with "/QUIT", waits up to 10000 ms for
// its process and terminates it when it does not end; when its process cannot be opened, or
// opened is not the session's "tovin.exe" any more (its id taken over by another program),
// waits instead up to 9 rounds of 1000 ms for its window to go. Lines are logged under `source`
// (the export that stops the engine). No engine window: logs so and does nothing else.
void QuitEngine(const std::wstring& engineExe, const std::wstring& source);
