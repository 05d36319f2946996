// A registry key whose values are stored scrambled: it reads back what it
// writes, and reads only values written that way (others give 13).
#pragma once

#include "platform/CRegKey.h"

namespace Strato {

class CObfuscatedRegKey : public CRegKey {
public:
    CObfuscatedRegKey();
};

} // namespace Strato
