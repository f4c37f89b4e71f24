#include "support/time_zone.h"

#include <windows.h>

namespace qvtest {

bool InPacificTime() {
  TIME_ZONE_INFORMATION zone = {};
  if (GetTimeZoneInformation(&zone) == TIME_ZONE_ID_INVALID) return false;
  return zone.Bias == 480 && zone.DaylightBias == -60 && zone.DaylightDate.wMonth == 3 &&
         zone.StandardDate.wMonth == 11;
}

}  // namespace qvtest
