// POSIX-only code belongs in this file.
#include "platform/PathAPI.h"

#include "platform/TextCodec.h"

#include <sys/stat.h>

namespace Vanta {

bool PathAPI::fileExists(const std::wstring& path) {
    struct stat status {};
    return !path.empty() && ::stat(toUtf8(path).c_str(), &status) == 0 && !S_ISDIR(status.st_mode);
}

} // namespace Vanta
