#include "store/sql_text.h"

#include <boost/algorithm/string/replace.hpp>

std::string QVSqlEscape(const std::string& text) {
  return boost::algorithm::replace_all_copy(text, "'", "''");
}
