// Names that every process of the user sees: the global atom table on
// Windows. Linux has no such table; there an atom is an empty file named
// after it in a per-user folder: KESTREL_ATOMS when set, else
// $XDG_RUNTIME_DIR/kestrel-atoms (cleared at logout, like the session's
// atoms), else /tmp/kestrel-atoms-<uid>.
#pragma once

#include <string>

namespace Strato {

class GlobalAtomAPI {
public:
    virtual ~GlobalAtomAPI() = default;
    virtual bool exists(const std::wstring& name) const;
    virtual bool add(const std::wstring& name) const;
    // Removes one reference to the atom; false when there is none.
    virtual bool remove(const std::wstring& name) const;
};

} // namespace Strato
