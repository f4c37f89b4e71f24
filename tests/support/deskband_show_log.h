#pragma once

#include <string>
#include <vector>

// What QVDeskbandUtil::Show logs (its messages after "QVDeskbandUtil::Show: ").
namespace qvtest {

// The log of a show whose later attempts never find the band: `firstAttempt` as given, then
// attempts 2 to 5, each detecting ten times with a sleep after each, then "failed".
std::vector<std::wstring> ShowLogAfterTheFirstAttempt(std::vector<std::wstring> firstAttempt);

}  // namespace qvtest
