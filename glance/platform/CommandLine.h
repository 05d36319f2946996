// The process's command-line arguments as the system's text (UTF-16 units),
// program name excluded: from the wide command line on Windows, from UTF-8
// argv on Linux.
#pragma once

#include <string>
#include <vector>

namespace Vanta {

std::vector<std::wstring> commandLineArguments(int argc, char** argv);

} // namespace Vanta
