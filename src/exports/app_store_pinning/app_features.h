#pragma once

#include <cstdint>
#include <string>

class QVObjectDatabase;

// Sets `feature` in the "features" row of `appId` (see QVSetFeatureInList), creating the row
// when the app has none, all under the database mutex and in one write transaction, so neither
// the engine nor a program that ignores the mutex can change the row between the read and the
// write; the mutex is waited for at most `mutexWaitMs`. True when the feature is set afterwards (it
// was already, or the write was committed). Otherwise a log line with SQLite's reason says why, and
// the table is as it was.
bool QVSetAppFeature(QVObjectDatabase& db, const std::string& feature, const std::string& appId,
                     uint32_t mutexWaitMs);
