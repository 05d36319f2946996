// POSIX only: the Windows error code that stands for an errno value.
#pragma once

#include <cerrno>
#include <cstdint>

namespace Vanta::internal {

inline uint32_t errorFromErrno(int error) {
    switch (error) {
    case ENOENT:
        return 2; // ERROR_FILE_NOT_FOUND
    case ENOTDIR:
        return 3; // ERROR_PATH_NOT_FOUND
    case EACCES:
    case EPERM:
    case EROFS:
        return 5; // ERROR_ACCESS_DENIED
    case ENOMEM:
        return 14; // ERROR_OUTOFMEMORY
    case ENOSPC:
        return 112; // ERROR_DISK_FULL
    case EIO:
        return 29; // ERROR_WRITE_FAULT
    default:
        return 87; // ERROR_INVALID_PARAMETER
    }
}

} // namespace Vanta::internal
