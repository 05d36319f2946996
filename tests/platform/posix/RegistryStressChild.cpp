// One process of the multi-process registry test: "writer <name> <count>"
// stores <count> generations of one value; "remove <name>" deletes it; "reader <count> <names...>"
// reads the values until each shows its last generation. Exit 0 when every read was whole and no
// value went back to an older generation.
#include "platform/CRegKey.h"

#include <chrono>
#include <cstdio>
#include <cstdlib>
#include <map>
#include <string>
#include <vector>

namespace {

using namespace Strato;

// The key under HKEY_CURRENT_USER that the parent test made: the first argument.
std::wstring keyPath;
constexpr uint32_t kBlobSize = 8192;

std::wstring wide(const char* text) {
    return std::wstring(text, text + std::char_traits<char>::length(text));
}

// Generation g: 4 bytes of g, then kBlobSize - 4 bytes of (g * 7) mod 256.
std::vector<uint8_t> generation(uint32_t g) {
    std::vector<uint8_t> blob(kBlobSize, static_cast<uint8_t>(g * 7));
    for (int i = 0; i < 4; ++i) {
        blob[i] = static_cast<uint8_t>(g >> (8 * i));
    }
    return blob;
}

int write(const std::wstring& name, uint32_t count) {
    CRegKey key;
    if (key.Open(kHKeyCurrentUser, keyPath.c_str()) != kErrorSuccess) {
        return 3;
    }
    for (uint32_t g = 1; g <= count; ++g) {
        const std::vector<uint8_t> blob = generation(g);
        if (key.SetBinaryValue(name.c_str(), blob.data(), kBlobSize) != kErrorSuccess) {
            return 3;
        }
    }
    return 0;
}

int removeValue(const std::wstring& name) {
    CRegKey key;
    if (key.Open(kHKeyCurrentUser, keyPath.c_str()) != kErrorSuccess) {
        return 3;
    }
    return key.DeleteValue(name.c_str()) == kErrorSuccess ? 0 : 3;
}

int read(uint32_t count, const std::vector<std::wstring>& names) {
    CRegKey key;
    if (key.Open(kHKeyCurrentUser, keyPath.c_str(), kKeyRead) != kErrorSuccess) {
        return 3;
    }
    std::map<std::wstring, uint32_t> seen;
    const auto deadline = std::chrono::steady_clock::now() + std::chrono::seconds(120);
    std::vector<uint8_t> blob(kBlobSize);
    for (;;) {
        bool done = true;
        for (const std::wstring& name : names) {
            uint32_t size = kBlobSize;
            const RegResult result = key.QueryBinaryValue(name.c_str(), blob.data(), &size);
            if (result == kErrorFileNotFound) {
                done = false;
                continue;
            }
            if (result != kErrorSuccess || size != kBlobSize) {
                std::fprintf(stderr, "read failed: %d size %u\n", result, size);
                return 3;
            }
            const uint32_t g =
                blob[0] | (blob[1] << 8) | (blob[2] << 16) | (static_cast<uint32_t>(blob[3]) << 24);
            if (blob != generation(g)) {
                std::fprintf(stderr, "torn value of generation %u\n", g);
                return 1;
            }
            if (g < seen[name]) {
                std::fprintf(stderr, "generation %u after %u\n", g, seen[name]);
                return 2;
            }
            seen[name] = g;
            done = done && g == count;
        }
        if (done) {
            return 0;
        }
        if (std::chrono::steady_clock::now() > deadline) {
            std::fprintf(stderr, "last generation never seen\n");
            return 4;
        }
    }
}

} // namespace

int main(int argc, char** argv) {
    if (argc < 2) {
        return 2;
    }
    keyPath = wide(argv[1]);
    --argc;
    ++argv;
    if (argc >= 4 && std::string(argv[1]) == "writer") {
        return write(wide(argv[2]), static_cast<uint32_t>(std::atoi(argv[3])));
    }
    if (argc >= 3 && std::string(argv[1]) == "remove") {
        return removeValue(wide(argv[2]));
    }
    if (argc >= 4 && std::string(argv[1]) == "reader") {
        std::vector<std::wstring> names;
        for (int i = 3; i < argc; ++i) {
            names.push_back(wide(argv[i]));
        }
        return read(static_cast<uint32_t>(std::atoi(argv[2])), names);
    }
    std::fprintf(stderr,
                 "usage: writer <name> <count> | remove <name> | reader <count> <names...>\n");
    return 64;
}
