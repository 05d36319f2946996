// POSIX only: where the system's folders lie on Linux. Each folder comes from
// an environment variable, else a per-user default under
// $XDG_DATA_HOME/kestrel/ (or ~/.local/share/kestrel/), so nothing needs root.
#pragma once

#include <string>

namespace Vanta::internal {

// The value of `variable` when set and non-empty, else
// <XDG data home>/kestrel/<defaultLeaf>. A UTF-8 path without a trailing
// slash; empty when neither the variable nor a home folder is known.
std::string dataFolderFromEnvironment(const char* variable, const char* defaultLeaf);

// The program-data folder: KESTREL_PROGRAMDATA, default ".../ProgramData".
std::string programDataFolder();

} // namespace Vanta::internal
