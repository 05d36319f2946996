// POSIX only: tells, without a lock or a system call, whether any connection
// has committed to a WAL-mode SQLite database since the last look. It reads
// the header of the database's wal-index ("<database>-shm"), which every
// commit rewrites (its change counter, last frame and salts) and which
// SQLite keeps as two copies, written one after the other, so that a reader
// can tell a whole header from one being written. The layout is SQLite's
// documented wal-index format. The mapping is the connection's own, asked of
// its file through the VFS: opening the file separately would close it again,
// and closing any descriptor of a file drops every POSIX lock the process
// holds on it, SQLite's included.
#pragma once

#include <array>
#include <cstdint>
#include <memory>
#include <optional>

#include <sqlite3.h>

namespace Strato::internal {

class WalIndexWatch {
public:
    // One whole header: equal stamps mean no commit in between.
    using Stamp = std::array<uint8_t, 48>;

    // The watch of the main database of `db`, a writable connection in WAL
    // mode that has read once; null when its wal-index is not mapped. The
    // watch lives no longer than the connection, which keeps the mapping.
    static std::unique_ptr<WalIndexWatch> open(sqlite3* db);

    // The header now; none while a writer is rewriting it.
    std::optional<Stamp> stamp() const;

private:
    explicit WalIndexWatch(const volatile uint8_t* header) : header_(header) {}

    const volatile uint8_t* header_;
};

} // namespace Strato::internal
