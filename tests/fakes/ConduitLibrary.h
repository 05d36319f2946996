// Conduit.dll from where the build ships it, loaded once for the test program.
#pragma once

#include "fakes/BusLibraryLoader.h"

#include "TestPaths.h"

namespace testfakes {

inline const KestrelMessageBusFunctions& conduit() {
    return loadBusTable(GLANCE_CONDUIT_LIBRARY);
}

} // namespace testfakes
