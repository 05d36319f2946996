// A trace session in the test's hands: it enables and disables the provider
// that registered through it by calling its control callback, and records
// every event sent, header and both descriptors copied at once.
#pragma once

#include "platform/LastError.h"
#include "platform/TraceAPI.h"

#include <algorithm>
#include <cstddef>
#include <cstring>
#include <map>
#include <mutex>
#include <string>
#include <vector>

namespace testfakes {

class FakeTraceAPI final : public Vanta::TraceAPI {
public:
    struct Event {
        Vanta::TraceHandle session;
        KestrelTraceEvent header;
        std::vector<uint8_t> fields;
        std::string message;

        // As the Linux transport sends it: header with the addresses zeroed,
        // then both descriptors' bytes.
        std::vector<uint8_t> bytes() const {
            KestrelTraceEvent copy = header;
            copy.descriptors[0].data = 0;
            copy.descriptors[1].data = 0;
            // Sized once: growing a vector of exactly the header's size trips
            // GCC 12's bounds warning at -O3.
            std::vector<uint8_t> out(sizeof(copy) + fields.size() + message.size());
            std::memcpy(out.data(), &copy, sizeof(copy));
            std::copy(fields.begin(), fields.end(), out.begin() + sizeof(copy));
            std::copy(message.begin(), message.end(),
                      out.begin() + static_cast<std::ptrdiff_t>(sizeof(copy) + fields.size()));
            return out;
        }
    };

    // A session of ours asks the provider to start (4) or stop (5) sending.
    uint32_t enable(Vanta::TraceHandle session, uint8_t level, uint32_t flags = 0) {
        {
            std::lock_guard lock(mutex_);
            sessions_[session] = {level, flags};
        }
        return control(KESTREL_TRACE_ENABLE_EVENTS, session);
    }
    uint32_t disable(Vanta::TraceHandle session) {
        const uint32_t result = control(KESTREL_TRACE_DISABLE_EVENTS, session);
        std::lock_guard lock(mutex_);
        sessions_.erase(session);
        return result;
    }
    uint32_t control(uint32_t request, Vanta::TraceHandle session) {
        Buffer buffer{session};
        return callback_ != nullptr ? callback_(request, context_, &buffer) : 1;
    }

    std::vector<Event> events() const {
        std::lock_guard lock(mutex_);
        return events_;
    }
    // What a session of this handle received.
    std::vector<Event> eventsOf(Vanta::TraceHandle session) const {
        std::vector<Event> out;
        for (const Event& e : events()) {
            if (e.session == session) {
                out.push_back(e);
            }
        }
        return out;
    }
    void clearEvents() {
        std::lock_guard lock(mutex_);
        events_.clear();
    }

    uint32_t registerResult = 0;
    int registrations = 0;
    int unregistrations = 0;
    Strato::Guid controlGuid;
    Strato::Guid traceClassGuid;

    uint32_t RegisterTraceGuidsW(Vanta::TraceControlCallback callback, void* context,
                                 const Strato::Guid& control, const Strato::Guid& traceClass,
                                 Vanta::TraceHandle& registration) override {
        ++registrations;
        controlGuid = control;
        traceClassGuid = traceClass;
        if (registerResult != 0) {
            return registerResult;
        }
        callback_ = callback;
        context_ = context;
        registration = 77;
        return 0;
    }
    uint32_t UnregisterTraceGuids(Vanta::TraceHandle registration) override {
        ++unregistrations;
        callback_ = nullptr;
        return registration == 77 ? 0 : 87;
    }
    Vanta::TraceHandle GetTraceLoggerHandle(void* buffer) override {
        if (buffer == nullptr) {
            Vanta::setLastError(87);
            return Vanta::kInvalidTraceHandle;
        }
        return static_cast<Buffer*>(buffer)->session;
    }
    uint8_t GetTraceEnableLevel(Vanta::TraceHandle session) override {
        std::lock_guard lock(mutex_);
        const auto found = sessions_.find(session);
        if (found == sessions_.end()) {
            Vanta::setLastError(6);
            return 0;
        }
        return found->second.level;
    }
    uint32_t GetTraceEnableFlags(Vanta::TraceHandle session) override {
        std::lock_guard lock(mutex_);
        const auto found = sessions_.find(session);
        return found == sessions_.end() ? 0 : found->second.flags;
    }
    uint32_t TraceEvent(Vanta::TraceHandle session, const KestrelTraceEvent& event) override {
        Event copy{session, event, {}, {}};
        const auto* fields =
            reinterpret_cast<const uint8_t*>(static_cast<uintptr_t>(event.descriptors[0].data));
        copy.fields.assign(fields, fields + event.descriptors[0].length);
        copy.message.assign(
            reinterpret_cast<const char*>(static_cast<uintptr_t>(event.descriptors[1].data)),
            event.descriptors[1].length);
        std::lock_guard lock(mutex_);
        events_.push_back(std::move(copy));
        return sessions_.count(session) != 0 ? 0 : 6;
    }

private:
    struct Buffer {
        Vanta::TraceHandle session;
    };
    struct Session {
        uint8_t level;
        uint32_t flags;
    };

    mutable std::mutex mutex_;
    Vanta::TraceControlCallback callback_ = nullptr;
    void* context_ = nullptr;
    std::map<Vanta::TraceHandle, Session> sessions_;
    std::vector<Event> events_;
};

} // namespace testfakes
