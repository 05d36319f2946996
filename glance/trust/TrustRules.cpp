#include "trust/TrustRules.h"

#include "platform/HexDigits.h"
#include "trust/TrustConfiguration.h"

namespace Strato {
namespace {

Thumbprint configuredThumbprint(std::wstring_view hex) {
    // The build checks the configured values; a bad one pins nothing usable.
    return thumbprintFromHex(hex).value_or(Thumbprint{});
}

} // namespace

std::optional<Thumbprint> thumbprintFromHex(std::wstring_view hex) {
    Thumbprint bytes{};
    if (hex.size() != bytes.size() * 2) {
        return std::nullopt;
    }
    for (size_t i = 0; i < bytes.size(); ++i) {
        const int high = Vanta::hexDigitValue(hex[2 * i]);
        const int low = Vanta::hexDigitValue(hex[2 * i + 1]);
        if (high < 0 || low < 0) {
            return std::nullopt;
        }
        bytes[i] = static_cast<uint8_t>(high * 16 + low);
    }
    return bytes;
}

TrustRules builtInTrustRules() {
    TrustRules rules;
    rules.version = kBuiltInTrustVersion;
    rules.names = {GLANCE_TRUST_ORGANISATION_NAMES};
    for (const wchar_t* hex :
         {L"AFE5D244A8D1194230FF479FE2F897BBCD7A8CB4", L"02FAF3E291435468607857694DF5E45B68851868",
          L"742C3192E607E424EB4549542BE1BBC53E6174E2", L"4EB6D578499B1CCF5F581EAD56BE3D9B6744A5E5",
          L"B1BC968BD4F49D622AA89A81F2150152A41D829C",
          L"2B8F1B57330DBBA2D07A6C51F70EE90DDAB9AD8E"}) {
        rules.thumbprints.push_back(configuredThumbprint(hex));
    }
    return rules;
}

Thumbprint listSigningThumbprint() {
    return configuredThumbprint(GLANCE_LIST_SIGNING_THUMBPRINT);
}

} // namespace Strato
