// A message-name pattern: an ECMAScript regular expression, case-sensitive,
// without captures, matched against the whole name. Matching is breadth-first:
// its memory grows with the pattern, never with the name (the standard
// library's backtracking matcher recurses once per character, and a name from
// the host may be of any length).
#pragma once

#include <regex>
#include <string>

namespace Vanta {

class NamePattern {
public:
    // Throws std::regex_error when `pattern` is not a valid expression. Without captures a
    // back-reference never is.
    explicit NamePattern(const std::wstring& pattern);

    bool matchesWhole(const std::wstring& name) const;

private:
    std::wregex expression_;
};

} // namespace Vanta
