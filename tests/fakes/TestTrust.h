// Points the process-wide trust verifier at the test material. Linux reads
// its trusted roots and the common files folder (with the shipped list
// file) from the environment; Windows has both in the test prefix. Call it
// before the verifier's first use.
#pragma once

#include "TestPaths.h"

#include <cstdlib>
#include <string>

namespace testfakes {

inline void useTestTrustStores() {
    static const bool set = [] {
        static std::string roots = std::string("KESTREL_ROOTS=") + GLANCE_TEST_ROOTS;
        static std::string common = std::string("KESTREL_COMMONFILES=") + GLANCE_COMMON_FILES;
        putenv(roots.data());
        putenv(common.data());
        return true;
    }();
    (void)set;
}

} // namespace testfakes
