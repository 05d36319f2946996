// Decides whether a file may be loaded: one of its signers must satisfy the
// built-in rules or those of the signed list file, which a signed cabinet
// may bring in a newer version. One verifier serves the whole process.
#pragma once

#include "platform/Cabinet.h"
#include "platform/CodeSignature.h"
#include "platform/FileOperations.h"
#include "platform/GlobalAtom.h"
#include "trust/CTrustedList.h"
#include "trust/TrustRules.h"

#include <cstdint>
#include <memory>
#include <string>

namespace Strato {

// What the verifier works with; empty pointers and an empty list path take
// the system's own (the list file under the suite's common files folder).
struct TrustVerifierParts {
    std::shared_ptr<const CodeSignatureAPI> signatures;
    std::shared_ptr<const CabinetAPI> cabinets;
    std::shared_ptr<const GlobalAtomAPI> atoms;
    std::shared_ptr<const FileOperations> files;
    std::wstring listPath;
    Thumbprint listSigner = listSigningThumbprint();
    TrustRules builtIn = builtInTrustRules();
};

class CTrustVerifier {
public:
    // Created on first use, lives until the process ends.
    static CTrustVerifier& instance();

    explicit CTrustVerifier(TrustVerifierParts parts = {});

    // 0 when the file is trusted, 87 for an empty path, 5 when it is not trusted.
    uint32_t verifyFile(const std::wstring& path);

    // True when one signer of the file satisfies every rule.
    bool checkSigner(const std::wstring& path, const TrustRules& rules) const;

    // <common files>\Talmor\Platform\Core\trusted.js
    static std::wstring defaultListPath(const FileOperations& files);

private:
    bool checkWithRules(const std::wstring& path);
    bool checkOnce(const std::wstring& path);
    // Installs the newer list a cabinet carries; true when it did.
    bool updateFromCabinet(const std::wstring& path);

    TrustVerifierParts parts_;
    CTrustedList list_;
};

} // namespace Strato
