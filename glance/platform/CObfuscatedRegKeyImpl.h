// CRegKeyImpl whose values are stored scrambled (format in the .cpp file).
// Values that were not written in that form read as invalid data (13).
#pragma once

#include "platform/CRegKeyImpl.h"

namespace Strato::internal {

class CObfuscatedRegKeyImpl : public CRegKeyImpl {
protected:
    RegResult rawQueryValue(const wchar_t* name, uint32_t* type, uint8_t* data,
                            uint32_t* size) override;
    RegResult rawSetValue(const wchar_t* name, uint32_t type, const uint8_t* data,
                          uint32_t size) override;
};

} // namespace Strato::internal
