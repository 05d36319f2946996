// POSIX only: the registry as one SQLite database shared by every process.
// WAL mode lets readers run while one process writes; every write is one
// transaction, so a reader sees a value whole or not at all. Key and value
// names are stored as given and compared through an ASCII-folded column.
#pragma once

#include "platform/RegistryTypes.h"

#include <sqlite3.h>

#include <cstdint>
#include <memory>
#include <mutex>
#include <string>
#include <vector>

namespace Strato::internal {

class RegistryStore {
public:
    // Opens the store at KESTREL_REGISTRY, else
    // <program data>/Talmor/registry.db, creating it when needed.
    static RegResult open(std::shared_ptr<RegistryStore>& out) noexcept;

    RegistryStore(const RegistryStore&) = delete;
    RegistryStore& operator=(const RegistryStore&) = delete;
    ~RegistryStore();

    // The row id of a root key: 1 HKEY_CLASSES_ROOT .. 4 HKEY_USERS.
    static constexpr int64_t kFirstRootId = 1;
    static constexpr int64_t kRootCount = 4;

    // Walks `path` (names already split at backslashes) below `parent`.
    RegResult findKey(int64_t parent, const std::vector<std::string>& path, int64_t& id) noexcept;
    // As findKey, creating missing keys when `mayCreate`; else answers 5.
    RegResult createKey(int64_t parent, const std::vector<std::string>& path, bool mayCreate,
                        int64_t& id, bool& created) noexcept;
    RegResult queryValue(int64_t key, const std::string& name, uint32_t& type,
                         std::vector<uint8_t>& data) noexcept;
    RegResult setValue(int64_t key, const std::string& name, uint32_t type, const uint8_t* data,
                       uint32_t size) noexcept;
    RegResult deleteValue(int64_t key, const std::string& name) noexcept;
    // A key that still has subkeys is refused with 5, as on Windows.
    RegResult deleteKey(int64_t parent, const std::string& name) noexcept;
    RegResult enumKey(int64_t key, uint32_t index, std::string& name, uint64_t& written) noexcept;
    RegResult enumValue(int64_t key, uint32_t index, std::string& name, uint32_t& type,
                        std::vector<uint8_t>& data) noexcept;

private:
    explicit RegistryStore(sqlite3* db) : db_(db) {}
    RegResult prepareSchema() noexcept;
    bool keyExists(int64_t id);
    RegResult findChild(int64_t parent, const std::string& name, int64_t& id);

    std::mutex mutex_;
    sqlite3* db_;
};

} // namespace Strato::internal
