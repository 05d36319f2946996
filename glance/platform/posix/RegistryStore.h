// POSIX only: the registry as one SQLite database shared by every process.
// WAL mode lets readers run while one process writes; every write is one
// transaction, so a reader sees a value whole or not at all. Key and value
// names are stored as given and compared through an ASCII-folded column.
//
// A process keeps one connection to the store, shared by every key and
// thread, with its statements prepared once. Keys found and values read are
// remembered until any connection commits a write; a read that finds nothing
// changed costs no lock and no system call, and every read still sees each
// write committed before it began.
#pragma once

#include "platform/RegistryTypes.h"
#include "platform/posix/WalIndexWatch.h"

#include <sqlite3.h>

#include <cstdint>
#include <map>
#include <memory>
#include <mutex>
#include <optional>
#include <set>
#include <string>
#include <vector>

namespace Strato::internal {

class RegistryStore {
public:
    // The process's connection to the store at KESTREL_REGISTRY, else
    // <program data>/Talmor/registry.db, opened (and created when needed) on
    // first use, and again when the configured path changes.
    static RegResult open(std::shared_ptr<RegistryStore>& out) noexcept;

    RegistryStore(const RegistryStore&) = delete;
    RegistryStore& operator=(const RegistryStore&) = delete;
    ~RegistryStore();

    // The row id of a root key: 1 HKEY_CLASSES_ROOT .. 4 HKEY_USERS.
    static constexpr int64_t kFirstRootId = 1;
    static constexpr int64_t kRootCount = 4;

    // Walks `path` (names already split at backslashes) below `parent`.
    RegResult findKey(int64_t parent, const std::vector<std::string>& path, int64_t& id) noexcept;
    // The same for a path as the caller spelled it, split by `split` only
    // when the store has not walked that spelling since the last commit.
    using PathSplitter = std::vector<std::string> (*)(const wchar_t*);
    RegResult findKey(int64_t parent, const std::wstring& subKey, PathSplitter split,
                      int64_t& id) noexcept;
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
    friend class Statement;
    friend class Forgetting;

    struct CachedValue {
        uint32_t type;
        std::vector<uint8_t> data;
    };
    using ChildName = std::pair<int64_t, std::string>; // parent (or key) and folded name

    explicit RegistryStore(sqlite3* db) : db_(db) {}
    static RegResult openPath(const std::string& path, std::shared_ptr<RegistryStore>& out);
    RegResult prepareSchema() noexcept;
    bool keyExists(int64_t id);
    RegResult findChild(int64_t parent, const std::string& name, int64_t& id);
    // findKey under the lock, with the cache already checked.
    RegResult walk(int64_t parent, const std::vector<std::string>& path, int64_t& id);
    // The statement for `sql` (a literal), prepared on first use; null when it cannot be.
    sqlite3_stmt* prepared(const char* sql, int& result);
    // Forgets what was remembered when another connection wrote since.
    void dropStaleCache();
    void forgetCache();

    std::mutex mutex_;
    sqlite3* db_;
    std::map<const char*, sqlite3_stmt*> statements_;
    // Commits by any connection: the wal-index watch when there is one, else
    // the data version (one read transaction per look).
    std::unique_ptr<WalIndexWatch> watch_;
    std::optional<WalIndexWatch::Stamp> stamp_;
    int64_t dataVersion_ = -1;
    std::set<int64_t> knownKeys_;
    std::map<ChildName, int64_t> children_;                            // 0: no such child
    std::map<std::pair<int64_t, std::wstring>, int64_t> spelledPaths_; // found keys only
    std::map<ChildName, std::optional<CachedValue>> values_;           // none: no such value
};

} // namespace Strato::internal
