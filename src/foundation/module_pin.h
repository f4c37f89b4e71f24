#pragma once

// Keeps the module holding this code loaded until the process ends. Called once a timer or a
// window subclass points into the library: a script that unloads the library afterwards
// (System::Call's "u" option) would otherwise leave the next tick or message calling freed code.
void KeepModuleLoaded();
