// POSIX-only code belongs in this file.
#include "platform/ExecutablePath.h"

#include "platform/TextCodec.h"

#include <unistd.h>

namespace Vanta {

std::wstring executablePath() {
    char buffer[4096];
    const ssize_t length = ::readlink("/proc/self/exe", buffer, sizeof buffer);
    return length <= 0 || static_cast<size_t>(length) >= sizeof buffer
               ? std::wstring()
               : fromUtf8(std::string_view(buffer, static_cast<size_t>(length)));
}

} // namespace Vanta
