// POSIX only: the local datagram transport under TraceAPI and TraceSession.
// Providers and sessions bind Unix datagram sockets in one rendezvous folder,
// named by the provider GUID: "<GUID>.p.<pid>.<n>" for a provider,
// "<GUID>.s.<pid>.<n>" for a session. A session enables every provider it
// finds when it starts; a provider that starts later asks every session it
// finds to enable it. Events go from the provider to the session that enabled
// it, as described in kestrel/TraceEvent.h.
#pragma once

#include "platform/Guid.h"

#include <sys/socket.h>
#include <sys/un.h>

#include <cstdint>
#include <optional>
#include <string>
#include <vector>

namespace Vanta::internal {

// A control datagram, 40 bytes, little-endian: magic, version, kind, the
// session id, level, flags, provider GUID. Its first bytes can never start an
// event, whose size field is 80.
struct TraceControl {
    enum Kind : uint16_t { kRegister = 1, kEnable = 2, kDisable = 3 };
    Kind kind = kRegister;
    uint64_t session = 0;
    uint32_t level = 0;
    uint32_t flags = 0;
    Strato::Guid provider;
};

inline constexpr size_t kTraceControlSize = 40;

std::vector<uint8_t> encodeTraceControl(const TraceControl& control);
// Empty for anything that is not a well-formed control datagram of a known kind.
std::optional<TraceControl> decodeTraceControl(const uint8_t* data, size_t size);

// The rendezvous folder, created (mode 0700) when missing; empty when it
// cannot be made.
std::string traceRendezvousFolder();

// The socket names of one provider GUID in the folder.
std::string traceSocketPrefix(const Strato::Guid& provider, char role);

// An address for a path; false when the path does not fit.
bool traceAddress(const std::string& path, sockaddr_un& address, socklen_t& length);

// A datagram socket bound to `path` (an old file there is replaced), close on
// exec; -1 on failure.
int bindTraceSocket(const std::string& path);

// The paths in the folder whose names start with `prefix`.
std::vector<std::string> traceSocketsWithPrefix(const std::string& folder,
                                                const std::string& prefix);

// Sends one datagram without blocking for long; answers 0 or errno.
int sendTraceDatagram(int socket, const sockaddr_un& address, socklen_t length,
                      const std::vector<uint8_t>& bytes);

} // namespace Vanta::internal
