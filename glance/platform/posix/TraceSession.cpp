// POSIX-only code belongs in this file.
// The session's side of the local datagram transport (platform/TraceSession.h).
#include "platform/TraceSession.h"

#include "platform/posix/TraceTransport.h"

#include <poll.h>
#include <sys/socket.h>
#include <unistd.h>

#include <cerrno>
#include <chrono>
#include <cstdio>
#include <cstring>
#include <random>
#include <string>

namespace Vanta {
namespace {

constexpr uint32_t kErrorAlreadyExists = 183;
constexpr uint32_t kErrorBadPathname = 161;
// Big enough for any event: a message of 2079 units is at most 6237 UTF-8 bytes.
constexpr size_t kLargestDatagram = 65536;

struct Provider {
    sockaddr_un address{};
    socklen_t length = 0;
};

} // namespace

struct TraceSession::State {
    Strato::Guid provider;
    uint8_t level = 0;
    uint32_t flags = 0;
    uint64_t id = 0;
    std::string path;
    int socket = -1;
    bool started = false;
    std::vector<Provider> providers;
    std::vector<uint8_t> buffer = std::vector<uint8_t>(kLargestDatagram);

    void send(internal::TraceControl::Kind kind, const sockaddr_un& address, socklen_t length,
              const std::string* stalePath) {
        internal::TraceControl control;
        control.kind = kind;
        control.session = id;
        control.level = level;
        control.flags = flags;
        control.provider = provider;
        const int error = internal::sendTraceDatagram(socket, address, length,
                                                      internal::encodeTraceControl(control));
        if (error == ECONNREFUSED && stalePath != nullptr) {
            ::unlink(stalePath->c_str()); // left behind by a provider that died
        }
    }

    void enable(const sockaddr_un& address, socklen_t length) {
        for (const Provider& known : providers) {
            if (known.length == length && std::memcmp(&known.address, &address, length) == 0) {
                send(internal::TraceControl::kEnable, address, length, nullptr);
                return;
            }
        }
        providers.push_back({address, length});
        send(internal::TraceControl::kEnable, address, length, nullptr);
    }
};

TraceSession::TraceSession() : state_(std::make_unique<State>()) {}

TraceSession::~TraceSession() {
    stop();
}

uint32_t TraceSession::start(const Strato::Guid& provider, uint8_t level, uint32_t flags) {
    State& s = *state_;
    if (s.started || s.socket >= 0) {
        return kErrorAlreadyExists;
    }
    const std::string folder = internal::traceRendezvousFolder();
    if (folder.empty()) {
        return kErrorBadPathname;
    }
    std::random_device random;
    do {
        s.id = (static_cast<uint64_t>(random()) << 32) | random();
    } while (s.id == 0 || s.id == ~uint64_t{0});
    s.provider = provider;
    s.level = level;
    s.flags = flags;
    char suffix[64];
    std::snprintf(suffix, sizeof(suffix), "%d.%016llx", static_cast<int>(::getpid()),
                  static_cast<unsigned long long>(s.id));
    s.path = folder + "/" + internal::traceSocketPrefix(provider, 's') + suffix;
    s.socket = internal::bindTraceSocket(s.path);
    if (s.socket < 0) {
        s.path.clear();
        return kErrorBadPathname;
    }
    int size = 4 << 20;
    ::setsockopt(s.socket, SOL_SOCKET, SO_RCVBUF, &size, sizeof(size));
    s.started = true;
    for (const std::string& path :
         internal::traceSocketsWithPrefix(folder, internal::traceSocketPrefix(provider, 'p'))) {
        Provider found;
        if (internal::traceAddress(path, found.address, found.length)) {
            s.providers.push_back(found);
            s.send(internal::TraceControl::kEnable, found.address, found.length, &path);
        }
    }
    return 0;
}

bool TraceSession::next(std::vector<uint8_t>& event, uint32_t timeoutMs) {
    State& s = *state_;
    if (s.socket < 0) {
        return false;
    }
    const auto deadline = std::chrono::steady_clock::now() + std::chrono::milliseconds(timeoutMs);
    for (;;) {
        const auto left = std::chrono::duration_cast<std::chrono::milliseconds>(
                              deadline - std::chrono::steady_clock::now())
                              .count();
        pollfd watched{s.socket, POLLIN, 0};
        const int ready = ::poll(&watched, 1, left > 0 ? static_cast<int>(left) : 0);
        if (ready <= 0) {
            if (ready < 0 && errno == EINTR && left > 0) {
                continue;
            }
            return false;
        }
        sockaddr_un from{};
        socklen_t fromLength = sizeof(from);
        const ssize_t size = ::recvfrom(s.socket, s.buffer.data(), s.buffer.size(), MSG_DONTWAIT,
                                        reinterpret_cast<sockaddr*>(&from), &fromLength);
        if (size <= 0) {
            continue;
        }
        // A provider that started after the session asks to be enabled.
        if (const auto control =
                internal::decodeTraceControl(s.buffer.data(), static_cast<size_t>(size))) {
            if (control->kind == internal::TraceControl::kRegister &&
                control->provider == s.provider &&
                fromLength > static_cast<socklen_t>(offsetof(sockaddr_un, sun_path)) &&
                from.sun_path[0] != '\0') {
                s.enable(from, fromLength);
            }
            continue;
        }
        event.assign(s.buffer.begin(), s.buffer.begin() + size);
        return true;
    }
}

void TraceSession::stop() {
    State& s = *state_;
    if (s.socket < 0) {
        return;
    }
    for (const Provider& provider : s.providers) {
        s.send(internal::TraceControl::kDisable, provider.address, provider.length, nullptr);
    }
    ::close(s.socket);
    s.socket = -1;
    ::unlink(s.path.c_str());
    s.providers.clear();
}

} // namespace Vanta
