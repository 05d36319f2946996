// Windows-only code belongs in this file.
#include "platform/CommandLine.h"

#include "platform/win32/WindowsHandles.h"

#include <shellapi.h>

namespace Vanta {

// argv holds the arguments in the ANSI code page; the wide command line
// holds them whole.
std::vector<std::wstring> commandLineArguments(int, char**) {
    std::vector<std::wstring> arguments;
    int count = 0;
    const win32::ScopedLocalMemory<LPWSTR*> wide(::CommandLineToArgvW(::GetCommandLineW(), &count));
    for (int i = 1; wide && i < count; ++i) {
        arguments.emplace_back(wide.get()[i]);
    }
    return arguments;
}

} // namespace Vanta
