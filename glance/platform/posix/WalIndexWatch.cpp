// POSIX-only code belongs in this file.
#include "platform/posix/WalIndexWatch.h"

#include <cstring>

namespace Strato::internal {
namespace {

constexpr size_t kHeaderSize = sizeof(WalIndexWatch::Stamp);
constexpr size_t kIsInitOffset = 12; // a byte: 1 once the header is valid
constexpr int kRegionSize = 32768;   // the wal-index's unit of mapping

// Reads one copy of the header in 8-byte words (the mapping is page-aligned),
// each an acquire load: what is read after it is read after it.
void copyWords(const volatile uint8_t* from, WalIndexWatch::Stamp& to) {
    const auto* words = reinterpret_cast<const volatile uint64_t*>(from);
    for (size_t i = 0; i < kHeaderSize / sizeof(uint64_t); ++i) {
        const uint64_t word = __atomic_load_n(&words[i], __ATOMIC_ACQUIRE);
        std::memcpy(to.data() + i * sizeof(uint64_t), &word, sizeof word);
    }
}

} // namespace

std::unique_ptr<WalIndexWatch> WalIndexWatch::open(sqlite3* db) {
    sqlite3_file* file = nullptr;
    if (sqlite3_file_control(db, "main", SQLITE_FCNTL_FILE_POINTER, &file) != SQLITE_OK ||
        file == nullptr || file->pMethods == nullptr || file->pMethods->iVersion < 2 ||
        file->pMethods->xShmMap == nullptr) {
        return nullptr;
    }
    void volatile* region = nullptr;
    // Not extended: only a wal-index that the connection already maps.
    if (file->pMethods->xShmMap(file, 0, kRegionSize, 0, &region) != SQLITE_OK ||
        region == nullptr) {
        return nullptr;
    }
    return std::unique_ptr<WalIndexWatch>(
        new WalIndexWatch(static_cast<const volatile uint8_t*>(region)));
}

std::optional<WalIndexWatch::Stamp> WalIndexWatch::stamp() const {
    // Writers write the second copy first and the first copy last; reading
    // the first, then the second, finds them equal only for a whole header.
    Stamp first{};
    Stamp second{};
    copyWords(header_, first);
    copyWords(header_ + kHeaderSize, second);
    if (first != second || first[kIsInitOffset] != 1) {
        return std::nullopt;
    }
    return first;
}

} // namespace Strato::internal
