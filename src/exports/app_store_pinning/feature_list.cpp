#include "exports/app_store_pinning/feature_list.h"

#include <vector>

#include <boost/algorithm/string/classification.hpp>
#include <boost/algorithm/string/join.hpp>
#include <boost/algorithm/string/split.hpp>

bool QVSetFeatureInList(const std::string* list, const std::string& feature, std::string* updated) {
  std::vector<std::string> entries;
  if (list) {
    // An empty text is one empty entry, kept as it is.
    boost::algorithm::split(entries, *list, boost::algorithm::is_any_of(","));
  }
  bool found = false;
  for (std::string& entry : entries) {
    // An empty entry has no state character and names nothing.
    if (entry.empty() || entry.compare(1, std::string::npos, feature) != 0) continue;
    if (entry[0] == '+') return false;
    entry[0] = '+';
    found = true;
    break;
  }
  if (!found) entries.push_back("+" + feature);
  if (updated) *updated = boost::algorithm::join(entries, ",");
  return true;
}
