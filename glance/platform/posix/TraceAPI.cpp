// POSIX-only code belongs in this file.
// The provider's side of the local datagram transport (platform/TraceAPI.h).
#include "platform/TraceAPI.h"

#include "platform/CurrentThread.h"
#include "platform/LastError.h"
#include "platform/posix/TraceTransport.h"

#include <fcntl.h>
#include <poll.h>
#include <sys/socket.h>
#include <unistd.h>

#include <algorithm>
#include <cerrno>
#include <chrono>
#include <condition_variable>
#include <cstdio>
#include <cstring>
#include <map>
#include <mutex>
#include <thread>
#include <vector>

namespace Vanta {
namespace {

constexpr uint32_t kErrorInvalidHandle = 6;
constexpr uint32_t kErrorNotEnoughMemory = 8;
constexpr uint32_t kErrorInvalidParameter = 87;
constexpr uint32_t kErrorBadPathname = 161;
// How long a registration waits for the sessions it asked to answer.
constexpr auto kEnableWait = std::chrono::milliseconds(250);

// What the control callback's buffer points at.
struct ControlBuffer {
    TraceHandle session;
};

struct Session {
    sockaddr_un address{};
    socklen_t length = 0;
    uint8_t level = 0;
    uint32_t flags = 0;
};

int64_t timeStamp() {
    // 100 ns units since 1601, as the system stamps events.
    constexpr int64_t kUnixEpochIn1601 = 116444736000000000;
    const auto now = std::chrono::system_clock::now().time_since_epoch();
    return kUnixEpochIn1601 +
           std::chrono::duration_cast<std::chrono::nanoseconds>(now).count() / 100;
}

} // namespace

// One registered provider: its socket, its sessions and the thread that
// receives their requests and runs the control callback.
class Registration {
public:
    Registration(TraceControlCallback callback, void* context, const Strato::Guid& provider)
        : callback_(callback), context_(context), provider_(provider) {}
    Registration(const Registration&) = delete;
    Registration& operator=(const Registration&) = delete;
    ~Registration() {
        stop();
        for (int fd : {socket_, wake_[0], wake_[1]}) {
            if (fd >= 0) {
                ::close(fd);
            }
        }
        if (!path_.empty()) {
            ::unlink(path_.c_str());
        }
    }

    uint32_t start() {
        folder_ = internal::traceRendezvousFolder();
        if (folder_.empty()) {
            return kErrorBadPathname;
        }
        char suffix[64];
        std::snprintf(suffix, sizeof(suffix), "%d.%p", static_cast<int>(::getpid()),
                      static_cast<void*>(this));
        path_ = folder_ + "/" + internal::traceSocketPrefix(provider_, 'p') + suffix;
        socket_ = internal::bindTraceSocket(path_);
        if (socket_ < 0) {
            path_.clear();
            return kErrorBadPathname;
        }
        if (::pipe2(wake_, O_CLOEXEC) != 0) {
            return kErrorNotEnoughMemory;
        }
        thread_ = std::thread([this] { receive(); });
        askSessions();
        return 0;
    }

    void stop() {
        if (thread_.joinable()) {
            wake(0);
            if (thread_.get_id() == std::this_thread::get_id()) {
                thread_.detach();
            } else {
                thread_.join();
            }
        }
    }

    bool sessionFacts(TraceHandle session, uint8_t& level, uint32_t& flags) {
        std::lock_guard lock(mutex_);
        const auto found = sessions_.find(session);
        if (found == sessions_.end()) {
            return false;
        }
        level = found->second.level;
        flags = found->second.flags;
        return true;
    }

    bool knows(TraceHandle session) {
        std::lock_guard lock(mutex_);
        return sessions_.find(session) != sessions_.end();
    }

    // 0 sent; kErrorInvalidHandle when the session is not this provider's.
    uint32_t send(TraceHandle session, const KestrelTraceEvent& event) {
        Session target;
        {
            std::lock_guard lock(mutex_);
            const auto found = sessions_.find(session);
            if (found == sessions_.end()) {
                return kErrorInvalidHandle;
            }
            target = found->second;
        }
        KestrelTraceEvent header = event;
        header.header.threadId = currentThreadId();
        header.header.processId = static_cast<uint32_t>(::getpid());
        header.header.timeStamp = timeStamp();
        header.descriptors[0].data = 0;
        header.descriptors[1].data = 0;
        iovec pieces[3] = {
            {&header, sizeof(header)},
            {reinterpret_cast<void*>(static_cast<uintptr_t>(event.descriptors[0].data)),
             event.descriptors[0].length},
            {reinterpret_cast<void*>(static_cast<uintptr_t>(event.descriptors[1].data)),
             event.descriptors[1].length},
        };
        msghdr message{};
        message.msg_name = &target.address;
        message.msg_namelen = target.length;
        message.msg_iov = pieces;
        message.msg_iovlen = 3;
        if (::sendmsg(socket_, &message, MSG_NOSIGNAL) >= 0) {
            return 0;
        }
        const int error = errno;
        if (error == ECONNREFUSED || error == ENOENT) {
            wake(session); // the session ended without disabling: disable it here
        }
        return static_cast<uint32_t>(error);
    }

private:
    void wake(uint64_t value) {
        ssize_t written;
        do {
            written = ::write(wake_[1], &value, sizeof(value));
        } while (written < 0 && errno == EINTR);
    }

    // Asks every waiting session to enable this provider and gives them a
    // moment to answer, so that a session started first sees the first events.
    void askSessions() {
        internal::TraceControl hello;
        hello.provider = provider_;
        const std::vector<uint8_t> bytes = internal::encodeTraceControl(hello);
        int asked = 0;
        for (const std::string& path : internal::traceSocketsWithPrefix(
                 folder_, internal::traceSocketPrefix(provider_, 's'))) {
            sockaddr_un address{};
            socklen_t length = 0;
            if (!internal::traceAddress(path, address, length)) {
                continue;
            }
            const int error = internal::sendTraceDatagram(socket_, address, length, bytes);
            if (error == 0) {
                ++asked;
            } else if (error == ECONNREFUSED) {
                ::unlink(path.c_str()); // left behind by a session that died
            }
        }
        std::unique_lock lock(mutex_);
        answered_.wait_for(lock, kEnableWait, [&] { return answers_ >= asked; });
    }

    void receive() {
        std::vector<uint8_t> buffer(512);
        for (;;) {
            pollfd watched[2] = {{socket_, POLLIN, 0}, {wake_[0], POLLIN, 0}};
            if (::poll(watched, 2, -1) < 0) {
                if (errno == EINTR) {
                    continue;
                }
                return;
            }
            if ((watched[1].revents & POLLIN) != 0) {
                uint64_t value = 0;
                if (::read(wake_[0], &value, sizeof(value)) != sizeof(value) || value == 0) {
                    return;
                }
                disable(value);
            }
            if ((watched[0].revents & POLLIN) != 0) {
                sockaddr_un from{};
                socklen_t fromLength = sizeof(from);
                const ssize_t size = ::recvfrom(socket_, buffer.data(), buffer.size(), MSG_DONTWAIT,
                                                reinterpret_cast<sockaddr*>(&from), &fromLength);
                if (size > 0) {
                    handle(buffer.data(), static_cast<size_t>(size), from, fromLength);
                }
            }
        }
    }

    // Anything but a well-formed request for this provider from a named
    // session is dropped.
    void handle(const uint8_t* data, size_t size, const sockaddr_un& from, socklen_t fromLength) {
        const auto control = internal::decodeTraceControl(data, size);
        if (!control || control->provider != provider_ || control->session == 0 ||
            control->session == kInvalidTraceHandle ||
            fromLength <= static_cast<socklen_t>(offsetof(sockaddr_un, sun_path)) ||
            from.sun_path[0] == '\0') {
            return;
        }
        if (control->kind == internal::TraceControl::kEnable) {
            {
                std::lock_guard lock(mutex_);
                Session& session = sessions_[control->session];
                session.address = from;
                session.length = fromLength;
                session.level = static_cast<uint8_t>(std::min<uint32_t>(control->level, 255));
                session.flags = control->flags;
            }
            ControlBuffer buffer{control->session};
            callback_(KESTREL_TRACE_ENABLE_EVENTS, context_, &buffer);
            {
                std::lock_guard lock(mutex_);
                ++answers_;
            }
            answered_.notify_all();
        } else if (control->kind == internal::TraceControl::kDisable) {
            disable(control->session);
        }
    }

    void disable(TraceHandle session) {
        {
            std::lock_guard lock(mutex_);
            if (sessions_.find(session) == sessions_.end()) {
                return;
            }
        }
        ControlBuffer buffer{session};
        callback_(KESTREL_TRACE_DISABLE_EVENTS, context_, &buffer);
        std::lock_guard lock(mutex_);
        sessions_.erase(session);
    }

    TraceControlCallback callback_;
    void* context_;
    Strato::Guid provider_;
    std::string folder_;
    std::string path_;
    int socket_ = -1;
    int wake_[2] = {-1, -1};
    std::thread thread_;
    std::mutex mutex_;
    std::condition_variable answered_;
    int answers_ = 0;
    std::map<TraceHandle, Session> sessions_;
};

struct TraceAPI::State {
    std::mutex mutex;
    std::map<TraceHandle, std::shared_ptr<Registration>> registrations;
    TraceHandle next = 1;

    std::vector<std::shared_ptr<Registration>> all() {
        std::lock_guard lock(mutex);
        std::vector<std::shared_ptr<Registration>> out;
        for (auto& [handle, registration] : registrations) {
            out.push_back(registration);
        }
        return out;
    }
};

TraceAPI::TraceAPI() : state_(std::make_unique<State>()) {}

TraceAPI::~TraceAPI() {
    std::map<TraceHandle, std::shared_ptr<Registration>> left;
    {
        std::lock_guard lock(state_->mutex);
        left.swap(state_->registrations);
    }
    for (auto& [handle, registration] : left) {
        registration->stop();
    }
}

uint32_t TraceAPI::RegisterTraceGuidsW(TraceControlCallback callback, void* context,
                                       const Strato::Guid& controlGuid, const Strato::Guid&,
                                       TraceHandle& registration) {
    if (callback == nullptr) {
        return kErrorInvalidParameter;
    }
    try {
        auto created = std::make_shared<Registration>(callback, context, controlGuid);
        TraceHandle handle = 0;
        {
            // Listed before it starts, so that an enable during start can be served.
            std::lock_guard lock(state_->mutex);
            handle = state_->next++;
            state_->registrations[handle] = created;
        }
        if (const uint32_t started = created->start(); started != 0) {
            std::lock_guard lock(state_->mutex);
            state_->registrations.erase(handle);
            return started;
        }
        registration = handle;
        return 0;
    } catch (...) {
        return kErrorNotEnoughMemory;
    }
}

uint32_t TraceAPI::UnregisterTraceGuids(TraceHandle registration) {
    std::shared_ptr<Registration> found;
    {
        std::lock_guard lock(state_->mutex);
        const auto it = state_->registrations.find(registration);
        if (it == state_->registrations.end()) {
            return kErrorInvalidParameter;
        }
        found = std::move(it->second);
        state_->registrations.erase(it);
    }
    found->stop();
    return 0;
}

TraceHandle TraceAPI::GetTraceLoggerHandle(void* buffer) {
    if (buffer == nullptr) {
        setLastError(kErrorInvalidParameter);
        return kInvalidTraceHandle;
    }
    return static_cast<const ControlBuffer*>(buffer)->session;
}

uint8_t TraceAPI::GetTraceEnableLevel(TraceHandle session) {
    uint8_t level = 0;
    uint32_t flags = 0;
    for (const auto& registration : state_->all()) {
        if (registration->sessionFacts(session, level, flags)) {
            return level;
        }
    }
    setLastError(kErrorInvalidHandle);
    return 0;
}

uint32_t TraceAPI::GetTraceEnableFlags(TraceHandle session) {
    uint8_t level = 0;
    uint32_t flags = 0;
    for (const auto& registration : state_->all()) {
        if (registration->sessionFacts(session, level, flags)) {
            return flags;
        }
    }
    setLastError(kErrorInvalidHandle);
    return 0;
}

uint32_t TraceAPI::TraceEvent(TraceHandle session, const KestrelTraceEvent& event) {
    if (session == 0 || session == kInvalidTraceHandle) {
        return kErrorInvalidHandle;
    }
    std::shared_ptr<Registration> owner;
    {
        std::lock_guard lock(state_->mutex);
        for (auto& [handle, registration] : state_->registrations) {
            if (registration->knows(session)) {
                owner = registration;
                break;
            }
        }
    }
    // Sent outside the lock: a slow session must not hold back registration.
    return owner ? owner->send(session, event) : kErrorInvalidHandle;
}

} // namespace Vanta
