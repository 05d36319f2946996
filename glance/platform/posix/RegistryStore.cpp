// POSIX-only code belongs in this file.
#include "platform/posix/RegistryStore.h"

#include "platform/AsciiCase.h"
#include "platform/posix/DataFolders.h"

#include <cstdlib>
#include <ctime>
#include <filesystem>

namespace Strato::internal {
namespace {

// Writers hold the lock for one short transaction; others wait this long.
constexpr int kBusyTimeoutMs = 30000;

RegResult fromSqlite(int code) {
    switch (code & 0xFF) {
    case SQLITE_OK:
    case SQLITE_DONE:
    case SQLITE_ROW:
        return kErrorSuccess;
    case SQLITE_BUSY:
    case SQLITE_LOCKED:
        return kErrorBusy;
    case SQLITE_READONLY:
    case SQLITE_PERM:
    case SQLITE_AUTH:
    case SQLITE_CANTOPEN:
        return kErrorAccessDenied;
    case SQLITE_NOMEM:
        return kErrorOutOfMemory;
    case SQLITE_TOOBIG:
        return kErrorInvalidParameter;
    default:
        return kErrorRegistryIo;
    }
}

std::string fold(const std::string& name) {
    return Vanta::asciiLowered<char>(name);
}

// FILETIME: 100-nanosecond units since 1601-01-01.
uint64_t fileTimeNow() {
    timespec now{};
    ::clock_gettime(CLOCK_REALTIME, &now);
    constexpr uint64_t kEpochDifference = 11644473600ULL;
    return (static_cast<uint64_t>(now.tv_sec) + kEpochDifference) * 10000000ULL +
           static_cast<uint64_t>(now.tv_nsec) / 100;
}

// One write transaction; rolled back unless committed. IMMEDIATE takes the
// write lock at once, so two writers never deadlock upgrading a read lock.
class WriteTransaction {
public:
    explicit WriteTransaction(sqlite3* db) : db_(db) {
        result_ = sqlite3_exec(db_, "BEGIN IMMEDIATE", nullptr, nullptr, nullptr);
    }
    ~WriteTransaction() {
        if (result_ == SQLITE_OK && !done_) {
            sqlite3_exec(db_, "ROLLBACK", nullptr, nullptr, nullptr);
        }
    }
    WriteTransaction(const WriteTransaction&) = delete;
    WriteTransaction& operator=(const WriteTransaction&) = delete;

    int beginResult() const { return result_; }
    int commit() {
        done_ = true;
        const int result = sqlite3_exec(db_, "COMMIT", nullptr, nullptr, nullptr);
        if (result != SQLITE_OK) {
            sqlite3_exec(db_, "ROLLBACK", nullptr, nullptr, nullptr);
        }
        return result;
    }

private:
    sqlite3* db_;
    int result_;
    bool done_ = false;
};

std::string storePath() {
    const char* configured = std::getenv("KESTREL_REGISTRY");
    if (configured != nullptr && *configured != '\0') {
        return configured;
    }
    const std::string programData = Vanta::internal::programDataFolder();
    return programData.empty() ? std::string() : programData + "/Talmor/registry.db";
}

} // namespace

// One use of a statement the store keeps prepared: reset and unbound after.
class Statement {
public:
    Statement(RegistryStore& store, const char* sql) : statement_(store.prepared(sql, result_)) {}
    ~Statement() {
        if (statement_ != nullptr) {
            sqlite3_reset(statement_);
            sqlite3_clear_bindings(statement_);
        }
    }
    Statement(const Statement&) = delete;
    Statement& operator=(const Statement&) = delete;

    bool ok() const { return statement_ != nullptr; }
    int prepareResult() const { return result_; }
    Statement& bind(int index, int64_t value) {
        sqlite3_bind_int64(statement_, index, value);
        return *this;
    }
    Statement& bind(int index, const std::string& text) {
        sqlite3_bind_text(statement_, index, text.data(), static_cast<int>(text.size()),
                          SQLITE_TRANSIENT);
        return *this;
    }
    Statement& bindBlob(int index, const uint8_t* data, uint32_t size) {
        // An empty value is an empty blob, never NULL.
        static const uint8_t kNothing = 0;
        sqlite3_bind_blob(statement_, index, size != 0 ? data : &kNothing, static_cast<int>(size),
                          SQLITE_TRANSIENT);
        return *this;
    }
    int step() { return statement_ != nullptr ? sqlite3_step(statement_) : result_; }
    int64_t integer(int column) { return sqlite3_column_int64(statement_, column); }
    std::string text(int column) {
        const auto* data = sqlite3_column_text(statement_, column);
        const int size = sqlite3_column_bytes(statement_, column);
        return data != nullptr ? std::string(reinterpret_cast<const char*>(data), size)
                               : std::string();
    }
    std::vector<uint8_t> blob(int column) {
        const auto* data = static_cast<const uint8_t*>(sqlite3_column_blob(statement_, column));
        const int size = sqlite3_column_bytes(statement_, column);
        return data != nullptr ? std::vector<uint8_t>(data, data + size) : std::vector<uint8_t>();
    }

private:
    int result_ = SQLITE_ERROR;
    sqlite3_stmt* statement_;
};

// A write forgets what the store remembered, before it starts (another
// connection may have written) and when it ends (its own data version does
// not move for its own writes).
class Forgetting {
public:
    explicit Forgetting(RegistryStore& store) : store_(store) { store_.forgetCache(); }
    ~Forgetting() { store_.forgetCache(); }
    Forgetting(const Forgetting&) = delete;
    Forgetting& operator=(const Forgetting&) = delete;

private:
    RegistryStore& store_;
};

sqlite3_stmt* RegistryStore::prepared(const char* sql, int& result) {
    const auto found = statements_.find(sql);
    if (found != statements_.end()) {
        result = SQLITE_OK;
        return found->second;
    }
    sqlite3_stmt* statement = nullptr;
    result = sqlite3_prepare_v3(db_, sql, -1, SQLITE_PREPARE_PERSISTENT, &statement, nullptr);
    if (result != SQLITE_OK) {
        sqlite3_finalize(statement);
        return nullptr;
    }
    statements_.emplace(sql, statement);
    return statement;
}

void RegistryStore::dropStaleCache() {
    if (watch_) {
        const std::optional<WalIndexWatch::Stamp> now = watch_->stamp();
        if (!now || !stamp_ || *now != *stamp_) {
            forgetCache();
            stamp_ = now;
        }
        return;
    }
    Statement version(*this, "PRAGMA data_version");
    const int64_t now = version.step() == SQLITE_ROW ? version.integer(0) : -1;
    if (now == -1 || now != dataVersion_) {
        forgetCache();
        dataVersion_ = now;
    }
}

void RegistryStore::forgetCache() {
    spelledPaths_.clear();
    knownKeys_.clear();
    children_.clear();
    values_.clear();
}

RegResult RegistryStore::open(std::shared_ptr<RegistryStore>& out) noexcept {
    try {
        const std::string path = storePath();
        if (path.empty()) {
            return kErrorFileNotFound;
        }
        // The process's connection, for the path configured now.
        static std::mutex lock;
        static std::string currentPath;
        static std::shared_ptr<RegistryStore> current;
        std::lock_guard guard(lock);
        if (!current || path != currentPath) {
            std::shared_ptr<RegistryStore> fresh;
            const RegResult opened = openPath(path, fresh);
            if (opened != kErrorSuccess) {
                return opened;
            }
            current = std::move(fresh);
            currentPath = path;
        }
        out = current;
        return kErrorSuccess;
    } catch (const std::bad_alloc&) {
        return kErrorOutOfMemory;
    } catch (...) {
        return kErrorRegistryIo;
    }
}

RegResult RegistryStore::openPath(const std::string& path, std::shared_ptr<RegistryStore>& out) {
    std::error_code ignored;
    const std::filesystem::path parent = std::filesystem::path(path).parent_path();
    if (!parent.empty()) {
        std::filesystem::create_directories(parent, ignored);
    }
    sqlite3* db = nullptr;
    int result =
        sqlite3_open_v2(path.c_str(), &db,
                        SQLITE_OPEN_READWRITE | SQLITE_OPEN_CREATE | SQLITE_OPEN_NOMUTEX, nullptr);
    if (result != SQLITE_OK) {
        // A store we may not write can still be read.
        sqlite3_close(db);
        db = nullptr;
        result =
            sqlite3_open_v2(path.c_str(), &db, SQLITE_OPEN_READONLY | SQLITE_OPEN_NOMUTEX, nullptr);
        if (result != SQLITE_OK) {
            sqlite3_close(db);
            return kErrorFileNotFound;
        }
    }
    std::shared_ptr<RegistryStore> store(new RegistryStore(db));
    sqlite3_busy_timeout(db, kBusyTimeoutMs);
    // In WAL mode NORMAL never corrupts the store; a power cut may only
    // lose the last writes.
    sqlite3_exec(db, "PRAGMA synchronous=NORMAL", nullptr, nullptr, nullptr);
    const RegResult prepared = store->prepareSchema();
    if (prepared != kErrorSuccess) {
        return prepared;
    }
    {
        Statement mode(*store, "PRAGMA journal_mode");
        // A read-only connection keeps its wal-index in its own memory,
        // refreshed only by its reads: it looks at the data version instead.
        if (mode.step() == SQLITE_ROW && mode.text(0) == "wal" &&
            sqlite3_db_readonly(db, "main") == 0) {
            store->watch_ = WalIndexWatch::open(db);
        }
    }
    out = std::move(store);
    return kErrorSuccess;
}

RegistryStore::~RegistryStore() {
    for (const auto& entry : statements_) {
        sqlite3_finalize(entry.second);
    }
    sqlite3_close(db_);
}

RegResult RegistryStore::prepareSchema() noexcept {
    {
        Statement exists(*this, "SELECT count(*) FROM sqlite_master WHERE name = 'vals'");
        if (exists.ok() && exists.step() == SQLITE_ROW && exists.integer(0) == 1) {
            return kErrorSuccess;
        }
    }
    if (sqlite3_db_readonly(db_, "main") == 1) {
        return kErrorFileNotFound;
    }
    // WAL: readers never block the writer nor see its uncommitted pages.
    sqlite3_exec(db_, "PRAGMA journal_mode=WAL", nullptr, nullptr, nullptr);
    WriteTransaction transaction(db_);
    if (transaction.beginResult() != SQLITE_OK) {
        return fromSqlite(transaction.beginResult());
    }
    const int result = sqlite3_exec(
        db_,
        "CREATE TABLE IF NOT EXISTS keys(id INTEGER PRIMARY KEY, parent INTEGER NOT NULL,"
        " name TEXT NOT NULL, folded TEXT NOT NULL, written INTEGER NOT NULL DEFAULT 0,"
        " UNIQUE(parent, folded));"
        "CREATE TABLE IF NOT EXISTS vals(key INTEGER NOT NULL, name TEXT NOT NULL,"
        " folded TEXT NOT NULL, type INTEGER NOT NULL, data BLOB NOT NULL,"
        " UNIQUE(key, folded));"
        "INSERT OR IGNORE INTO keys(id, parent, name, folded) VALUES"
        " (1, 0, 'HKEY_CLASSES_ROOT', 'hkey_classes_root'),"
        " (2, 0, 'HKEY_CURRENT_USER', 'hkey_current_user'),"
        " (3, 0, 'HKEY_LOCAL_MACHINE', 'hkey_local_machine'),"
        " (4, 0, 'HKEY_USERS', 'hkey_users');",
        nullptr, nullptr, nullptr);
    if (result != SQLITE_OK) {
        return fromSqlite(result);
    }
    return fromSqlite(transaction.commit());
}

bool RegistryStore::keyExists(int64_t id) {
    if (knownKeys_.contains(id)) {
        return true;
    }
    Statement select(*this, "SELECT 1 FROM keys WHERE id = ?");
    const bool exists = select.ok() && select.bind(1, id).step() == SQLITE_ROW;
    if (exists) {
        knownKeys_.insert(id);
    }
    return exists;
}

RegResult RegistryStore::findChild(int64_t parent, const std::string& name, int64_t& id) {
    ChildName child{parent, fold(name)};
    if (const auto known = children_.find(child); known != children_.end()) {
        if (known->second == 0) {
            return kErrorFileNotFound;
        }
        id = known->second;
        return kErrorSuccess;
    }
    Statement select(*this, "SELECT id FROM keys WHERE parent = ? AND folded = ?");
    if (!select.ok()) {
        return fromSqlite(select.prepareResult());
    }
    const int result = select.bind(1, parent).bind(2, child.second).step();
    if (result == SQLITE_ROW) {
        id = select.integer(0);
        children_.emplace(std::move(child), id);
        return kErrorSuccess;
    }
    if (result == SQLITE_DONE) {
        children_.emplace(std::move(child), 0);
        return kErrorFileNotFound;
    }
    return fromSqlite(result);
}

RegResult RegistryStore::findKey(int64_t parent, const std::vector<std::string>& path,
                                 int64_t& id) noexcept {
    try {
        std::lock_guard lock(mutex_);
        dropStaleCache();
        return walk(parent, path, id);
    } catch (...) {
        return kErrorOutOfMemory;
    }
}

RegResult RegistryStore::walk(int64_t parent, const std::vector<std::string>& path, int64_t& id) {
    if (!keyExists(parent)) {
        return kErrorKeyDeleted;
    }
    int64_t current = parent;
    for (const std::string& name : path) {
        const RegResult result = findChild(current, name, current);
        if (result != kErrorSuccess) {
            return result;
        }
    }
    id = current;
    return kErrorSuccess;
}

RegResult RegistryStore::findKey(int64_t parent, const std::wstring& subKey, PathSplitter split,
                                 int64_t& id) noexcept {
    try {
        std::lock_guard lock(mutex_);
        dropStaleCache();
        std::pair<int64_t, std::wstring> spelled{parent, subKey};
        if (const auto known = spelledPaths_.find(spelled); known != spelledPaths_.end()) {
            id = known->second;
            return kErrorSuccess;
        }
        const RegResult result = walk(parent, split(subKey.c_str()), id);
        if (result == kErrorSuccess) {
            spelledPaths_.emplace(std::move(spelled), id);
        }
        return result;
    } catch (...) {
        return kErrorOutOfMemory;
    }
}

RegResult RegistryStore::createKey(int64_t parent, const std::vector<std::string>& path,
                                   bool mayCreate, int64_t& id, bool& created) noexcept {
    try {
        std::lock_guard lock(mutex_);
        const Forgetting forgetting(*this);
        WriteTransaction transaction(db_);
        if (transaction.beginResult() != SQLITE_OK) {
            return fromSqlite(transaction.beginResult());
        }
        if (!keyExists(parent)) {
            return kErrorKeyDeleted;
        }
        created = false;
        int64_t current = parent;
        for (const std::string& name : path) {
            RegResult result = findChild(current, name, current);
            if (result == kErrorFileNotFound) {
                if (!mayCreate) {
                    return kErrorAccessDenied;
                }
                Statement insert(*this, "INSERT INTO keys(parent, name, folded, written)"
                                        " VALUES(?, ?, ?, ?)");
                const int inserted = insert.bind(1, current)
                                         .bind(2, name)
                                         .bind(3, fold(name))
                                         .bind(4, static_cast<int64_t>(fileTimeNow()))
                                         .step();
                if (inserted != SQLITE_DONE) {
                    return fromSqlite(inserted);
                }
                current = sqlite3_last_insert_rowid(db_);
                created = true;
                result = kErrorSuccess;
            }
            if (result != kErrorSuccess) {
                return result;
            }
        }
        const int committed = transaction.commit();
        if (committed != SQLITE_OK) {
            return fromSqlite(committed);
        }
        id = current;
        return kErrorSuccess;
    } catch (...) {
        return kErrorOutOfMemory;
    }
}

RegResult RegistryStore::queryValue(int64_t key, const std::string& name, uint32_t& type,
                                    std::vector<uint8_t>& data) noexcept {
    try {
        std::lock_guard lock(mutex_);
        dropStaleCache();
        ChildName value{key, fold(name)};
        if (const auto known = values_.find(value); known != values_.end()) {
            if (!known->second) {
                return kErrorFileNotFound;
            }
            type = known->second->type;
            data = known->second->data;
            return kErrorSuccess;
        }
        // One statement reads type and data together: a consistent snapshot.
        Statement select(*this, "SELECT type, data FROM vals WHERE key = ? AND folded = ?");
        if (!select.ok()) {
            return fromSqlite(select.prepareResult());
        }
        const int result = select.bind(1, key).bind(2, value.second).step();
        if (result == SQLITE_ROW) {
            type = static_cast<uint32_t>(select.integer(0));
            data = select.blob(1);
            values_.emplace(std::move(value), CachedValue{type, data});
            return kErrorSuccess;
        }
        if (result != SQLITE_DONE) {
            return fromSqlite(result);
        }
        if (!keyExists(key)) {
            return kErrorKeyDeleted;
        }
        values_.emplace(std::move(value), std::nullopt);
        return kErrorFileNotFound;
    } catch (...) {
        return kErrorOutOfMemory;
    }
}

RegResult RegistryStore::setValue(int64_t key, const std::string& name, uint32_t type,
                                  const uint8_t* data, uint32_t size) noexcept {
    try {
        std::lock_guard lock(mutex_);
        const Forgetting forgetting(*this);
        WriteTransaction transaction(db_);
        if (transaction.beginResult() != SQLITE_OK) {
            return fromSqlite(transaction.beginResult());
        }
        if (!keyExists(key)) {
            return kErrorKeyDeleted;
        }
        // An existing value keeps its name and its place in the enumeration.
        Statement upsert(*this, "INSERT INTO vals(key, name, folded, type, data)"
                                " VALUES(?, ?, ?, ?, ?) ON CONFLICT(key, folded)"
                                " DO UPDATE SET type = excluded.type, data = excluded.data");
        if (!upsert.ok()) {
            return fromSqlite(upsert.prepareResult());
        }
        const int stored = upsert.bind(1, key)
                               .bind(2, name)
                               .bind(3, fold(name))
                               .bind(4, int64_t{type})
                               .bindBlob(5, data, size)
                               .step();
        if (stored != SQLITE_DONE) {
            return fromSqlite(stored);
        }
        Statement touch(*this, "UPDATE keys SET written = ? WHERE id = ?");
        touch.bind(1, static_cast<int64_t>(fileTimeNow())).bind(2, key).step();
        return fromSqlite(transaction.commit());
    } catch (...) {
        return kErrorOutOfMemory;
    }
}

RegResult RegistryStore::deleteValue(int64_t key, const std::string& name) noexcept {
    try {
        std::lock_guard lock(mutex_);
        const Forgetting forgetting(*this);
        Statement remove(*this, "DELETE FROM vals WHERE key = ? AND folded = ?");
        const int result = remove.bind(1, key).bind(2, fold(name)).step();
        if (result != SQLITE_DONE) {
            return fromSqlite(result);
        }
        if (sqlite3_changes(db_) == 0) {
            return keyExists(key) ? kErrorFileNotFound : kErrorKeyDeleted;
        }
        return kErrorSuccess;
    } catch (...) {
        return kErrorOutOfMemory;
    }
}

RegResult RegistryStore::deleteKey(int64_t parent, const std::string& name) noexcept {
    try {
        std::lock_guard lock(mutex_);
        const Forgetting forgetting(*this);
        WriteTransaction transaction(db_);
        if (transaction.beginResult() != SQLITE_OK) {
            return fromSqlite(transaction.beginResult());
        }
        int64_t id = 0;
        const RegResult found = findChild(parent, name, id);
        if (found != kErrorSuccess) {
            return found;
        }
        Statement children(*this, "SELECT 1 FROM keys WHERE parent = ? LIMIT 1");
        if (children.bind(1, id).step() == SQLITE_ROW) {
            return kErrorAccessDenied;
        }
        Statement values(*this, "DELETE FROM vals WHERE key = ?");
        Statement key(*this, "DELETE FROM keys WHERE id = ?");
        int result = values.bind(1, id).step();
        if (result == SQLITE_DONE) {
            result = key.bind(1, id).step();
        }
        if (result != SQLITE_DONE) {
            return fromSqlite(result);
        }
        return fromSqlite(transaction.commit());
    } catch (...) {
        return kErrorOutOfMemory;
    }
}

RegResult RegistryStore::enumKey(int64_t key, uint32_t index, std::string& name,
                                 uint64_t& written) noexcept {
    try {
        std::lock_guard lock(mutex_);
        dropStaleCache();
        Statement select(*this, "SELECT name, written FROM keys WHERE parent = ?"
                                " ORDER BY folded LIMIT 1 OFFSET ?");
        const int result = select.bind(1, key).bind(2, int64_t{index}).step();
        if (result == SQLITE_ROW) {
            name = select.text(0);
            written = static_cast<uint64_t>(select.integer(1));
            return kErrorSuccess;
        }
        if (result != SQLITE_DONE) {
            return fromSqlite(result);
        }
        return keyExists(key) ? kErrorNoMoreItems : kErrorKeyDeleted;
    } catch (...) {
        return kErrorOutOfMemory;
    }
}

RegResult RegistryStore::enumValue(int64_t key, uint32_t index, std::string& name, uint32_t& type,
                                   std::vector<uint8_t>& data) noexcept {
    try {
        std::lock_guard lock(mutex_);
        dropStaleCache();
        Statement select(*this, "SELECT name, type, data FROM vals WHERE key = ?"
                                " ORDER BY rowid LIMIT 1 OFFSET ?");
        const int result = select.bind(1, key).bind(2, int64_t{index}).step();
        if (result == SQLITE_ROW) {
            name = select.text(0);
            type = static_cast<uint32_t>(select.integer(1));
            data = select.blob(2);
            return kErrorSuccess;
        }
        if (result != SQLITE_DONE) {
            return fromSqlite(result);
        }
        return keyExists(key) ? kErrorNoMoreItems : kErrorKeyDeleted;
    } catch (...) {
        return kErrorOutOfMemory;
    }
}

} // namespace Strato::internal
