#pragma once

// How a REG_EXPAND_SZ value is read: its environment variables expanded, or its text as stored
// (for command lines written back to the registry, which Windows expands when it runs them).
// Other value types are read as they are either way.
enum class Expansion { kExpanded, kAsStored };
