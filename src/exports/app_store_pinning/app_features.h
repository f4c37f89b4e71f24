#pragma once

#include <string>

class QVObjectDatabase;

// Sets `feature` in the "features" row of `appId` (see QVSetFeatureInList), creating the row
// when the app has none, all under the database mutex. Failures leave the table as it was; a
// mutex that cannot be had is a log line and nothing is read or written.
void QVSetAppFeature(QVObjectDatabase& db, const std::string& feature, const std::string& appId);
