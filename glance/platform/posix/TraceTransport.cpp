// POSIX-only code belongs in this file.
#include "platform/posix/TraceTransport.h"

#include "platform/TextCodec.h"

#include <dirent.h>
#include <fcntl.h>
#include <sys/stat.h>
#include <unistd.h>

#include <cerrno>
#include <cstdlib>
#include <cstring>
#include <filesystem>

namespace Vanta::internal {
namespace {

constexpr uint32_t kMagic = 0x4352544B; // "KTRC"
constexpr uint16_t kVersion = 1;

template <typename T> void put(std::vector<uint8_t>& out, T value) {
    for (size_t i = 0; i < sizeof(T); ++i) {
        out.push_back(static_cast<uint8_t>(static_cast<uint64_t>(value) >> (8 * i)));
    }
}

template <typename T> T get(const uint8_t*& data) {
    uint64_t value = 0;
    for (size_t i = 0; i < sizeof(T); ++i) {
        value |= static_cast<uint64_t>(data[i]) << (8 * i);
    }
    data += sizeof(T);
    return static_cast<T>(value);
}

} // namespace

std::vector<uint8_t> encodeTraceControl(const TraceControl& control) {
    std::vector<uint8_t> out;
    out.reserve(kTraceControlSize);
    put(out, kMagic);
    put(out, kVersion);
    put(out, static_cast<uint16_t>(control.kind));
    put(out, control.session);
    put(out, control.level);
    put(out, control.flags);
    put(out, control.provider.data1);
    put(out, control.provider.data2);
    put(out, control.provider.data3);
    out.insert(out.end(), std::begin(control.provider.data4), std::end(control.provider.data4));
    return out;
}

std::optional<TraceControl> decodeTraceControl(const uint8_t* data, size_t size) {
    if (data == nullptr || size != kTraceControlSize) {
        return std::nullopt;
    }
    const uint8_t* p = data;
    if (get<uint32_t>(p) != kMagic || get<uint16_t>(p) != kVersion) {
        return std::nullopt;
    }
    const auto kind = get<uint16_t>(p);
    if (kind < TraceControl::kRegister || kind > TraceControl::kDisable) {
        return std::nullopt;
    }
    TraceControl control;
    control.kind = static_cast<TraceControl::Kind>(kind);
    control.session = get<uint64_t>(p);
    control.level = get<uint32_t>(p);
    control.flags = get<uint32_t>(p);
    control.provider.data1 = get<uint32_t>(p);
    control.provider.data2 = get<uint16_t>(p);
    control.provider.data3 = get<uint16_t>(p);
    std::memcpy(control.provider.data4, p, sizeof(control.provider.data4));
    return control;
}

std::string traceRendezvousFolder() {
    std::string folder;
    if (const char* chosen = std::getenv("KESTREL_TRACE_DIR"); chosen != nullptr && *chosen) {
        folder = chosen;
    } else if (const char* runtime = std::getenv("XDG_RUNTIME_DIR");
               runtime != nullptr && *runtime) {
        folder = std::string(runtime) + "/kestrel-trace";
    } else {
        folder = "/tmp/kestrel-trace-" + std::to_string(::getuid());
    }
    std::error_code error;
    std::filesystem::create_directories(folder, error);
    if (!std::filesystem::is_directory(folder, error)) {
        return {};
    }
    return folder;
}

std::string traceSocketPrefix(const Strato::Guid& provider, char role) {
    return toUtf8(Strato::formatGuid(provider)) + "." + role + ".";
}

bool traceAddress(const std::string& path, sockaddr_un& address, socklen_t& length) {
    address = {};
    address.sun_family = AF_UNIX;
    if (path.empty() || path.size() >= sizeof(address.sun_path)) {
        return false;
    }
    std::memcpy(address.sun_path, path.data(), path.size());
    length = static_cast<socklen_t>(offsetof(sockaddr_un, sun_path) + path.size() + 1);
    return true;
}

int bindTraceSocket(const std::string& path) {
    sockaddr_un address{};
    socklen_t length = 0;
    if (!traceAddress(path, address, length)) {
        return -1;
    }
    const int fd = ::socket(AF_UNIX, SOCK_DGRAM | SOCK_CLOEXEC, 0);
    if (fd < 0) {
        return -1;
    }
    ::unlink(path.c_str());
    if (::bind(fd, reinterpret_cast<const sockaddr*>(&address), length) != 0) {
        ::close(fd);
        return -1;
    }
    // A session that stops reading holds a sender back for at most this long
    // per event; then the event is dropped.
    timeval timeout{0, 500 * 1000};
    ::setsockopt(fd, SOL_SOCKET, SO_SNDTIMEO, &timeout, sizeof(timeout));
    return fd;
}

std::vector<std::string> traceSocketsWithPrefix(const std::string& folder,
                                                const std::string& prefix) {
    std::vector<std::string> paths;
    DIR* directory = ::opendir(folder.c_str());
    if (directory == nullptr) {
        return paths;
    }
    while (const dirent* entry = ::readdir(directory)) {
        if (std::strncmp(entry->d_name, prefix.c_str(), prefix.size()) == 0) {
            paths.push_back(folder + "/" + entry->d_name);
        }
    }
    ::closedir(directory);
    return paths;
}

int sendTraceDatagram(int socket, const sockaddr_un& address, socklen_t length,
                      const std::vector<uint8_t>& bytes) {
    const ssize_t sent = ::sendto(socket, bytes.data(), bytes.size(), MSG_NOSIGNAL,
                                  reinterpret_cast<const sockaddr*>(&address), length);
    return sent == static_cast<ssize_t>(bytes.size()) ? 0 : errno;
}

} // namespace Vanta::internal
