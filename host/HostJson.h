// RapidJSON as kestrel-host uses it: in a namespace of its own, so that its
// templates never mix with the module's differently configured copy in one
// program (the test executable links both), and with assertions that throw
// instead of aborting, so that no payload can end the host. Include only
// this header, never RapidJSON's own.
#pragma once

#ifdef RAPIDJSON_VERSION_STRING
#error "RapidJSON was included before the host's configuration"
#endif

#include <stdexcept>

namespace Vanta::hostjson {

class JsonAssertion : public std::logic_error {
public:
    JsonAssertion() : std::logic_error("RapidJSON assertion") {}
};

[[noreturn]] inline void assertionFailed() {
    throw JsonAssertion();
}

} // namespace Vanta::hostjson

#define RAPIDJSON_NAMESPACE kestrel_host_rapidjson
#define RAPIDJSON_NAMESPACE_BEGIN namespace kestrel_host_rapidjson {
#define RAPIDJSON_NAMESPACE_END }
#define RAPIDJSON_ASSERT(condition)                                                                \
    ((condition) ? static_cast<void>(0) : ::Vanta::hostjson::assertionFailed())

#include <rapidjson/document.h>
#include <rapidjson/stringbuffer.h>
#include <rapidjson/writer.h>
