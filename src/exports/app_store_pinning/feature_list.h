#pragma once

#include <string>

// An app's feature list as the engine stores it: entries joined by "," with no spaces, each a
// state character and a feature name ("+pinned,-search"); "+" means set.
//
// Sets `feature` in `list` (null: the app has no list yet). The first entry naming the feature
// exactly gets "+" as its state; without one, "+feature" is appended. Other entries, empty ones
// included, keep their text and order. False, leaving `updated` alone, when the feature was
// already set.
bool QVSetFeatureInList(const std::string* list, const std::string& feature, std::string* updated);
