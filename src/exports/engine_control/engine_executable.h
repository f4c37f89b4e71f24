#pragma once

#include <string>

// The engine executable to ask to quit: "<install dir>\Engine\tovin.exe", or else
// "<install dir>\tovin.exe" (the layout of older installations), whichever is a file; empty when
// neither is, or when no installation directory is recorded.
std::wstring FindEngineExecutable();
