// The operating system's message text for a Windows error code, as the
// logging code quotes it in its own complaints.
#pragma once

#include <cstdint>
#include <string>

namespace Vanta {

// The system's text for `errorCode` in the default language, exactly as the
// system returns it (Windows texts end in "\r\n"). An unknown code gives an
// empty text; never fails otherwise.
std::wstring systemMessageText(uint32_t errorCode);

} // namespace Vanta
