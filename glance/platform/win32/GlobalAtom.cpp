// Windows-only code belongs in this file.
#include "platform/GlobalAtom.h"

#include "platform/win32/WindowsInclude.h"

namespace Strato {

bool GlobalAtomAPI::exists(const std::wstring& name) const {
    return ::GlobalFindAtomW(name.c_str()) != 0;
}

bool GlobalAtomAPI::add(const std::wstring& name) const {
    return ::GlobalAddAtomW(name.c_str()) != 0;
}

bool GlobalAtomAPI::remove(const std::wstring& name) const {
    const ATOM atom = ::GlobalFindAtomW(name.c_str());
    // GlobalDeleteAtom answers 0 when it succeeded.
    return atom != 0 && ::GlobalDeleteAtom(atom) == 0;
}

} // namespace Strato
