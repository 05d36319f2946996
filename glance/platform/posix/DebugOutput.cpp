// POSIX only: standard error stands in for the debugger output.
#include "platform/DebugOutput.h"

#include "platform/TextCodec.h"

#include <unistd.h>

#include <string>

namespace Vanta {

void writeDebugOutput(std::wstring_view text) noexcept {
    try {
        const std::string bytes = toUtf8(text);
        size_t written = 0;
        while (written < bytes.size()) {
            const ssize_t n =
                ::write(STDERR_FILENO, bytes.data() + written, bytes.size() - written);
            if (n <= 0) {
                return;
            }
            written += static_cast<size_t>(n);
        }
    } catch (...) {
        // Diagnostics must never fail their caller.
    }
}

} // namespace Vanta
