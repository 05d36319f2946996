// The loaded list file: its rules, its parsed sections and its path, guarded
// by a reader-writer lock. Checks read a copy of the rules under the shared
// lock; loading, reloading and installing a newer list take it exclusive.
#pragma once

#include "platform/CodeSignature.h"
#include "platform/FileOperations.h"
#include "platform/GlobalAtom.h"
#include "trust/TrustedListFormat.h"

#include <memory>
#include <optional>
#include <shared_mutex>
#include <string>

namespace Strato {

// Tells every process of the user that a newer list file was installed.
inline constexpr const wchar_t* kTrustedListAtom = L"67136527-5D6B-4AC9-865B-3E392E982420";

class CTrustedList {
public:
    CTrustedList(std::wstring path, Thumbprint signer,
                 std::shared_ptr<const CodeSignatureAPI> signatures);

    // Reads a list file and its rules: the file must exist and carry a
    // signature block made by exactly one signer, the pinned one, over the
    // rest of the file.
    static std::optional<TrustRules> read(const std::wstring& path, const Thumbprint& signer,
                                          const CodeSignatureAPI& signatures);

    // The loaded rules; none while the list is not loaded.
    std::optional<TrustRules> rules() const;
    // Loads the list unless it is loaded; false when loading fails.
    bool load();
    // Clears the list and loads it again.
    bool reload();
    // Installs the list file `candidate` of version `candidateVersion` when
    // that is newer than the loaded list: copied to "trusted.tmp" beside the
    // list file, which it then replaces (or becomes); on success the atom is
    // added and the list reloaded. A failed replacement is left to the next
    // restart. True when the new list is in place.
    bool install(const std::wstring& candidate, uint32_t candidateVersion,
                 const FileOperations& files, const GlobalAtomAPI& atoms);

    const std::wstring& path() const { return path_; }

private:
    bool loadLocked();
    void clearLocked();

    const std::wstring path_;
    const Thumbprint signer_;
    const std::shared_ptr<const CodeSignatureAPI> signatures_;
    mutable std::shared_mutex lock_;
    bool loaded_ = false;
    TrustRules rules_;
    ListSections sections_;
};

} // namespace Strato
