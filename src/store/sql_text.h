#pragma once

#include <string>

// A value for a single-quoted SQL literal: every single quote doubled.
std::string QVSqlEscape(const std::string& text);
