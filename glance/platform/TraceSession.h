// A trace session for one provider: kestrel-trace's view of the system
// trace. Windows: a real-time session (StartTraceW, EnableTrace, OpenTraceW,
// ProcessTrace). Linux: the session side of the local datagram transport of
// TraceAPI. Events come out as the bytes of kestrel/TraceEvent.h: the 80-byte
// header (descriptor addresses 0), descriptor 1, descriptor 2. On Windows the
// system hands both descriptors over as one block; the header then counts it
// all in descriptor 1.
#pragma once

#include "platform/Guid.h"

#include <cstdint>
#include <memory>
#include <vector>

namespace Vanta {

class TraceSession {
public:
    TraceSession();
    TraceSession(const TraceSession&) = delete;
    TraceSession& operator=(const TraceSession&) = delete;
    // Stops the session when it runs.
    virtual ~TraceSession();

    // Starts the session and enables `provider` at `level` with `flags`: every
    // provider of that GUID that runs now or starts later. Answers 0 or a
    // system error code; a session runs once.
    virtual uint32_t start(const Strato::Guid& provider, uint8_t level, uint32_t flags);
    // Waits up to `timeoutMs` for the next event; false when none came.
    virtual bool next(std::vector<uint8_t>& event, uint32_t timeoutMs);
    // Disables the provider and ends the session. Idempotent.
    virtual void stop();

private:
    struct State;
    std::unique_ptr<State> state_;
};

} // namespace Vanta
