// Reading and checking code signatures: the signers of a file's embedded
// signature, their certificate chains, and detached signatures over bytes.
// Windows uses Authenticode through the system's calls; Linux reads the CMS
// signature appended after the file's content (content, DER SignedData, the
// 12-byte trailer with id type 2 and a big-endian length, then
// "~Module signature appended~\n") and checks it with OpenSSL.
#pragma once

#include <array>
#include <cstddef>
#include <cstdint>
#include <memory>
#include <optional>
#include <string>
#include <vector>

namespace Strato {

// A SHA-1 thumbprint of a DER certificate.
using Thumbprint = std::array<uint8_t, 20>;

// When a signer's counter-signer says the file was signed.
struct SigningTime {
    enum class Kind {
        None,        // no counter-signature or time-stamp token
        At,          // `secondsSince1970` holds the time (UTC)
        Undecodable, // a counter-signature that cannot be decoded: skip the signer
    };
    Kind kind = Kind::None;
    int64_t secondsSince1970 = 0;
};

class CertificateChain {
public:
    virtual ~CertificateChain() = default;
    // The chain built with no error status.
    virtual bool isValid() const = 0;
    // The root (last element) of each simple chain, then of each lower-quality chain.
    virtual std::vector<Thumbprint> rootThumbprints() const = 0;
    // The time-stamp chain policy (Authenticode time stamps) passes.
    virtual bool passesTimestampPolicy() const = 0;
};

class EmbeddedSignature {
public:
    virtual ~EmbeddedSignature() = default;
    virtual size_t signerCount() const = 0;
    // The signer certificate's serial number: hexadecimal, most significant byte first.
    virtual std::wstring serialNumber(size_t signer) const = 0;
    // The friendly display name of the signer's certificate; none when the
    // certificate is not in the signature's store.
    virtual std::optional<std::wstring> friendlyName(size_t signer) const = 0;
    virtual SigningTime signingTime(size_t signer) const = 0;
    // The chain for code signing at `at` (now when empty); null when none can be built.
    virtual std::unique_ptr<CertificateChain> buildChain(size_t signer,
                                                         std::optional<int64_t> at) const = 0;
    // The final signature check over the file's content: on Windows the
    // file's signature as a whole, on Linux the given signer's.
    virtual bool verifyContent(size_t signer) const = 0;
};

class CodeSignatureAPI {
public:
    virtual ~CodeSignatureAPI() = default;
    // The file's embedded signature; null when it has none or it cannot be read.
    virtual std::unique_ptr<EmbeddedSignature> openEmbedded(const std::wstring& path) const;
    // The thumbprint of the one signer of a detached DER SignedData over
    // `content`, when it has exactly one signer and that signature verifies.
    virtual std::optional<Thumbprint> detachedSigner(const std::vector<uint8_t>& content,
                                                     const std::vector<uint8_t>& signature) const;
};

} // namespace Strato
