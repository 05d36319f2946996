// The file calls of the log files: existence, size, creating or opening a
// file to write at its end, and folders with their parents. One virtual
// operation per call, so that a sink can run against a replacement.
// Failures answer the system's error code (Windows codes on both builds).
#pragma once

#include <cstdint>
#include <memory>
#include <optional>
#include <string>

namespace Vanta {

// A file open for writing; closed when dropped.
class WritableFile {
public:
    virtual ~WritableFile() = default;
    // Writes all `size` bytes with one call; 0, or the system's error.
    virtual uint32_t write(const void* data, uint32_t size) = 0;
};

class FileAPI {
public:
    virtual ~FileAPI() = default;
    // True when a file or folder exists at `path` (GetFileAttributesW succeeds).
    virtual bool pathExists(const std::wstring& path);
    // The size in bytes of the file at `path`; nothing when there is no file.
    virtual std::optional<uint64_t> fileSize(const std::wstring& path);
    // Creates the file, or empties an existing one: read and write access,
    // shared for reading and writing, attributes normal and archive. Null on
    // failure, with `error` set.
    virtual std::unique_ptr<WritableFile> createFile(const std::wstring& path, uint32_t& error);
    // Opens an existing file as createFile does, positioned at its end.
    virtual std::unique_ptr<WritableFile> openAtEnd(const std::wstring& path, uint32_t& error);
    // Makes sure the folder exists, creating missing parents; true when it does.
    virtual bool createFolders(const std::wstring& path);
};

} // namespace Vanta
