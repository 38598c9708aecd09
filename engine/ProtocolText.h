// The pieces of a gomoku protocol line that both sides read: blanks around a word, a decimal
// number. Plain C++; pure functions, safe from any thread.
#pragma once

#include <string>

namespace engine {

// text without the blanks and tabs around it.
std::string Trim(const std::string& text);
// A decimal number of at most ten digits (2147483647, the managers' "no limit", has ten), blanks
// around it allowed, and nothing else.
bool Number(const std::string& text, long long& value);
// "a,b" or "a,b,c": count such numbers separated by commas, into values.
bool Numbers(const std::string& text, int count, long long* values);

}  // namespace engine
