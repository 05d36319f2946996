#include "platform/NamePattern.h"

namespace Vanta {

namespace {

constexpr auto kSyntax = std::regex_constants::ECMAScript | std::regex_constants::nosubs |
                         std::regex_constants::optimize;

std::wregex compile(const std::wstring& pattern) {
    try {
        return std::wregex(pattern, kSyntax | std::regex_constants::__polynomial);
    } catch (const std::regex_error& complexity) {
        if (complexity.code() != std::regex_constants::error_complexity) {
            throw;
        }
        // The breadth-first matcher refuses only back-references; the plain compiler says
        // why the pattern is invalid. Should it accept one, it is still refused.
        std::wregex(pattern, kSyntax);
        throw;
    }
}

} // namespace

NamePattern::NamePattern(const std::wstring& pattern) : expression_(compile(pattern)) {}

bool NamePattern::matchesWhole(const std::wstring& name) const {
    return std::regex_match(name, expression_);
}

} // namespace Vanta
