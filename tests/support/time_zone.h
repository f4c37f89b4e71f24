#pragma once

namespace qvtest {

// Whether this process runs in US Pacific time with daylight saving (TZ=PST8PDT, which Wine
// and its C runtime both read): UTC-8 in winter, UTC-7 from March to November. Tests of local
// midnight set it through their ctest environment and skip without it.
bool InPacificTime();

}  // namespace qvtest
