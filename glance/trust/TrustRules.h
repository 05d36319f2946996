// The rules a signer must satisfy: organisation names, revoked serial
// numbers and pinned root thumbprints, with the version of the list that
// gave them. One set is built in; a signed list file may replace it.
#pragma once

#include "platform/CodeSignature.h"

#include <cstdint>
#include <optional>
#include <string>
#include <string_view>
#include <vector>

namespace Strato {

struct TrustRules {
    uint32_t version = 0;
    std::vector<std::wstring> names;     // empty: any name
    std::vector<std::wstring> serials;   // hexadecimal, compared ignoring case
    std::vector<Thumbprint> thumbprints; // empty: any root
};

inline constexpr uint32_t kBuiltInTrustVersion = 7;

// Version 7, the maker's company names and the six pinned roots.
TrustRules builtInTrustRules();
// The pinned thumbprint of the certificate that signs list files.
Thumbprint listSigningThumbprint();

// Exactly 40 hexadecimal digits, two per byte; anything else is none.
std::optional<Thumbprint> thumbprintFromHex(std::wstring_view hex);

} // namespace Strato
