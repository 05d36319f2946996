// Windows-only code belongs in this file.
#include "platform/CommandLine.h"

#include "platform/win32/WindowsInclude.h"

#include <shellapi.h>

namespace Vanta {

// argv holds the arguments in the ANSI code page; the wide command line
// holds them whole.
std::vector<std::wstring> commandLineArguments(int, char**) {
    std::vector<std::wstring> arguments;
    int count = 0;
    LPWSTR* wide = ::CommandLineToArgvW(::GetCommandLineW(), &count);
    if (wide == nullptr) {
        return arguments;
    }
    for (int i = 1; i < count; ++i) {
        arguments.emplace_back(wide[i]);
    }
    ::LocalFree(wide);
    return arguments;
}

} // namespace Vanta
