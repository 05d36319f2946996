#include "platform/Guid.h"

namespace Strato {
namespace {

constexpr wchar_t kHex[] = L"0123456789ABCDEF";

void appendHex(std::wstring& out, uint64_t value, int digits) {
    for (int shift = (digits - 1) * 4; shift >= 0; shift -= 4) {
        out.push_back(kHex[(value >> shift) & 0xF]);
    }
}

bool readHex(std::wstring_view text, size_t& at, int digits, uint64_t& value) {
    value = 0;
    for (int i = 0; i < digits; ++i, ++at) {
        if (at >= text.size()) {
            return false;
        }
        const wchar_t c = text[at];
        unsigned digit = 0;
        if (c >= L'0' && c <= L'9') {
            digit = static_cast<unsigned>(c - L'0');
        } else if (c >= L'a' && c <= L'f') {
            digit = static_cast<unsigned>(c - L'a' + 10);
        } else if (c >= L'A' && c <= L'F') {
            digit = static_cast<unsigned>(c - L'A' + 10);
        } else {
            return false;
        }
        value = (value << 4) | digit;
    }
    return true;
}

bool expect(std::wstring_view text, size_t& at, wchar_t c) {
    if (at >= text.size() || text[at] != c) {
        return false;
    }
    ++at;
    return true;
}

} // namespace

std::wstring formatGuid(const Guid& guid) {
    std::wstring out = L"{";
    appendHex(out, guid.data1, 8);
    out.push_back(L'-');
    appendHex(out, guid.data2, 4);
    out.push_back(L'-');
    appendHex(out, guid.data3, 4);
    out.push_back(L'-');
    for (int i = 0; i < 8; ++i) {
        if (i == 2) {
            out.push_back(L'-');
        }
        appendHex(out, guid.data4[i], 2);
    }
    out.push_back(L'}');
    return out;
}

bool parseGuid(std::wstring_view text, Guid& out) {
    Guid guid;
    size_t at = 0;
    uint64_t value = 0;
    if (!expect(text, at, L'{') || !readHex(text, at, 8, value)) {
        return false;
    }
    guid.data1 = static_cast<uint32_t>(value);
    if (!expect(text, at, L'-') || !readHex(text, at, 4, value)) {
        return false;
    }
    guid.data2 = static_cast<uint16_t>(value);
    if (!expect(text, at, L'-') || !readHex(text, at, 4, value)) {
        return false;
    }
    guid.data3 = static_cast<uint16_t>(value);
    if (!expect(text, at, L'-')) {
        return false;
    }
    for (int i = 0; i < 8; ++i) {
        if (i == 2 && !expect(text, at, L'-')) {
            return false;
        }
        if (!readHex(text, at, 2, value)) {
            return false;
        }
        guid.data4[i] = static_cast<uint8_t>(value);
    }
    if (!expect(text, at, L'}') || at != text.size()) {
        return false;
    }
    out = guid;
    return true;
}

} // namespace Strato
