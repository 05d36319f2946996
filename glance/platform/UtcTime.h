// The time a counter-signer gives: an ASN.1 UTCTime "YYMMDDHHMMSSZ", where
// two-digit years below 70 are 2000 and later, the others 1900 and later.
#pragma once

#include <cstdint>
#include <optional>
#include <string_view>

namespace Strato {

// Seconds since 1970 (UTC); none unless the text is exactly that form with
// fields in range.
std::optional<int64_t> parseUtcTime(std::string_view text);

} // namespace Strato
