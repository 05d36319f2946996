// Lets tests replace the process's logger and restore a clean front end.
// Not for use by the module: the holder is otherwise built exactly once.
#pragma once

#include "logging/CLogBuilderIf.h"
#include "logging/CLoggingIf.h"

#include <memory>

namespace ETWLogging {

// Replaces the holder by one that holds `logger` (may be null) and no bridge
// handler, as if it had been built that way.
void installLoggerForTesting(std::unique_ptr<CLoggingIf> logger);

// Makes the next holder be built by `builder` (not owned; null restores the
// default builder). Takes effect when no holder exists yet.
void installLogBuilderForTesting(CLogBuilderIf_ex* builder);

// Back to the state before the first log call: no holder, default stored
// parameters and builder, no Strato::CLogger handler registered.
void resetLogFrontEndForTesting();

} // namespace ETWLogging
