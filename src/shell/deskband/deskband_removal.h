#pragma once

// Takes the platform's deskband out of the taskbar before the engine is stopped: asks the
// taskbar's deskband object (Windows 7 and later) to hide it and tells the deskband window to
// close (command 25), in rounds of 500 ms for at most 5000 ms. Always true.
bool RemoveDeskBandFromTaskBar();
