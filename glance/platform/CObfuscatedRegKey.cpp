#include "platform/CObfuscatedRegKey.h"

#include "platform/CObfuscatedRegKeyImpl.h"

namespace Strato {

CObfuscatedRegKey::CObfuscatedRegKey()
    : CRegKey(std::make_shared<internal::CObfuscatedRegKeyImpl>()) {}

} // namespace Strato
