// The list file "trusted.js": text lines in sections, then a signature block.
//
//   [VER]            exactly one line: the list's version, decimal
//   8
//   [ORG]            organisation names, one per line
//   [SER]            revoked serial numbers, hexadecimal
//   [SHA]            pinned root thumbprints, 40 hexadecimal digits
//
// Lines are trimmed of blanks and tabs; empty lines and lines starting with
// "/*", "//" or "*/" are skipped; lines before the first section are ignored.
// The file ends with a comment block that the parser skips:
//
//   // SIG // Begin signature block
//   // SIG // <base64 of a DER detached CMS SignedData, no signed attributes>
//   // SIG // End signature block
//
// signed over every byte above the block.
#pragma once

#include "trust/TrustRules.h"

#include <cstdint>
#include <map>
#include <optional>
#include <string>
#include <string_view>
#include <vector>

namespace Strato {

using ListSections = std::map<std::wstring, std::vector<std::wstring>>;

// None when a section name is empty. The text is UTF-8; the lines it holds
// are plain ASCII.
std::optional<ListSections> parseTrustedList(std::string_view text);

// None without exactly one decimal "VER" line; "SHA" lines that are not 40
// hexadecimal digits are ignored.
std::optional<TrustRules> rulesFromSections(const ListSections& sections);

struct SignedListParts {
    std::vector<uint8_t> content;   // every byte above the block
    std::vector<uint8_t> signature; // the decoded DER
};

// None when the block is missing, malformed or not valid base64.
std::optional<SignedListParts> splitSignedList(const std::vector<uint8_t>& file);

} // namespace Strato
