// Includes RapidJSON configured so that no input can end the process: its
// assertions throw RapidJsonAssertion instead of aborting, in every build
// (with or without NDEBUG). Include only this header, never RapidJSON's own.
#pragma once

#ifdef RAPIDJSON_VERSION_STRING
#error "RapidJSON was included before its configuration"
#endif

#include <stdexcept>

namespace Vanta::internal {

// A precondition inside RapidJSON did not hold. JSONParser turns it into a
// refused parse or an unchanged document.
class RapidJsonAssertion : public std::logic_error {
public:
    RapidJsonAssertion() : std::logic_error("RapidJSON assertion") {}
};

[[noreturn]] inline void rapidJsonAssertionFailed() {
    throw RapidJsonAssertion();
}

} // namespace Vanta::internal

// An expression, as RapidJSON uses the macro in both places.
#define RAPIDJSON_ASSERT(condition)                                                                \
    ((condition) ? static_cast<void>(0) : ::Vanta::internal::rapidJsonAssertionFailed())

#include <rapidjson/document.h>
#include <rapidjson/reader.h>
#include <rapidjson/stringbuffer.h>
#include <rapidjson/writer.h>
