// POSIX-only code belongs in this file.
#include "platform/CommandLine.h"

#include "platform/TextCodec.h"

namespace Vanta {

std::vector<std::wstring> commandLineArguments(int argc, char** argv) {
    std::vector<std::wstring> arguments;
    for (int i = 1; i < argc; ++i) {
        arguments.push_back(fromUtf8(argv[i]));
    }
    return arguments;
}

} // namespace Vanta
