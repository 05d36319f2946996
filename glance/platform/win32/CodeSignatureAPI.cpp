// Windows-only code belongs in this file.
// Authenticode through the system's calls: the embedded signature read with
// CryptQueryObject, chains with CertGetCertificateChain, the time-stamp
// chain policy, WinVerifyTrust, and detached signatures with
// CryptVerifyDetachedMessageSignature.
#include "platform/CodeSignature.h"

#include "platform/HexDigits.h"
#include "platform/UtcTime.h"
#include "platform/win32/WindowsInclude.h"

#include <softpub.h>
#include <wincrypt.h>
#include <wintrust.h>

#include <cstring>

namespace Strato {
namespace {

constexpr DWORD kEncoding = X509_ASN_ENCODING | PKCS_7_ASN_ENCODING;
// Lower-quality chains returned, cached URL retrieval only.
constexpr DWORD kChainFlags =
    CERT_CHAIN_RETURN_LOWER_QUALITY_CONTEXTS | CERT_CHAIN_CACHE_ONLY_URL_RETRIEVAL;
// No policy usage, no revocation check, hash only, cached URL retrieval only.
constexpr DWORD kTrustProviderFlags = 0x1214;
constexpr const char* kCodeSigningUsage = "1.3.6.1.5.5.7.3.3";
constexpr const char* kCounterSignature = "1.2.840.113549.1.9.6";
constexpr const char* kTimeStampToken = "1.3.6.1.4.1.311.3.3.1";
constexpr const char* kSigningTime = "1.2.840.113549.1.9.5";

struct CertificateDeleter {
    void operator()(PCCERT_CONTEXT certificate) const noexcept {
        ::CertFreeCertificateContext(certificate);
    }
};
using CertificatePtr = std::unique_ptr<const CERT_CONTEXT, CertificateDeleter>;

std::optional<Thumbprint> thumbprintOf(PCCERT_CONTEXT certificate) {
    Thumbprint thumbprint{};
    DWORD size = static_cast<DWORD>(thumbprint.size());
    if (!::CertGetCertificateContextProperty(certificate, CERT_SHA1_HASH_PROP_ID, thumbprint.data(),
                                             &size) ||
        size != thumbprint.size()) {
        return std::nullopt;
    }
    return thumbprint;
}

// A message parameter in a buffer of its own.
std::vector<BYTE> messageParameter(HCRYPTMSG message, DWORD parameter, DWORD index) {
    DWORD size = 0;
    if (!::CryptMsgGetParam(message, parameter, index, nullptr, &size) || size == 0) {
        return {};
    }
    std::vector<BYTE> buffer(size);
    if (!::CryptMsgGetParam(message, parameter, index, buffer.data(), &size)) {
        return {};
    }
    buffer.resize(size);
    return buffer;
}

const CRYPT_ATTRIBUTE* findAttribute(const CRYPT_ATTRIBUTES& attributes, const char* oid) {
    for (DWORD i = 0; i < attributes.cAttr; ++i) {
        if (std::strcmp(attributes.rgAttr[i].pszObjId, oid) == 0) {
            return &attributes.rgAttr[i];
        }
    }
    return nullptr;
}

// A DER UTCTime: tag 0x17, length 13, then the text.
std::optional<int64_t> utcTime(const CRYPT_ATTR_BLOB& value) {
    if (value.cbData != 15 || value.pbData[0] != 0x17 || value.pbData[1] != 13) {
        return std::nullopt;
    }
    return parseUtcTime(std::string_view(reinterpret_cast<const char*>(value.pbData + 2), 13));
}

SigningTime timeFromCounterSigner(const CMSG_SIGNER_INFO& counterSigner) {
    const CRYPT_ATTRIBUTE* signedAt = findAttribute(counterSigner.AuthAttrs, kSigningTime);
    if (signedAt == nullptr || signedAt->cValue == 0) {
        return {};
    }
    const std::optional<int64_t> seconds = utcTime(signedAt->rgValue[0]);
    return seconds ? SigningTime{SigningTime::Kind::At, *seconds} : SigningTime{};
}

FILETIME fileTime(int64_t secondsSince1970) {
    constexpr int64_t kEpochDifference = 11644473600; // 1601 to 1970, in seconds
    const uint64_t ticks = static_cast<uint64_t>(secondsSince1970 + kEpochDifference) * 10000000;
    return FILETIME{static_cast<DWORD>(ticks), static_cast<DWORD>(ticks >> 32)};
}

class SystemChain final : public CertificateChain {
public:
    explicit SystemChain(PCCERT_CHAIN_CONTEXT chain) : chain_(chain) {}
    ~SystemChain() override { ::CertFreeCertificateChain(chain_); }
    SystemChain(const SystemChain&) = delete;
    SystemChain& operator=(const SystemChain&) = delete;

    bool isValid() const override { return chain_->TrustStatus.dwErrorStatus == 0; }

    std::vector<Thumbprint> rootThumbprints() const override {
        std::vector<Thumbprint> roots;
        addRoots(chain_, roots);
        for (DWORD i = 0; i < chain_->cLowerQualityChainContext; ++i) {
            addRoots(chain_->rgpLowerQualityChainContext[i], roots);
        }
        return roots;
    }

    bool passesTimestampPolicy() const override {
        CERT_CHAIN_POLICY_PARA parameters{};
        parameters.cbSize = sizeof parameters;
        CERT_CHAIN_POLICY_STATUS status{};
        status.cbSize = sizeof status;
        return ::CertVerifyCertificateChainPolicy(CERT_CHAIN_POLICY_AUTHENTICODE_TS, chain_,
                                                  &parameters, &status) &&
               status.dwError == 0;
    }

private:
    static void addRoots(PCCERT_CHAIN_CONTEXT chain, std::vector<Thumbprint>& roots) {
        for (DWORD i = 0; i < chain->cChain; ++i) {
            const CERT_SIMPLE_CHAIN* simple = chain->rgpChain[i];
            if (simple->cElement == 0) {
                continue;
            }
            if (auto root = thumbprintOf(simple->rgpElement[simple->cElement - 1]->pCertContext)) {
                roots.push_back(*root);
            }
        }
    }

    PCCERT_CHAIN_CONTEXT chain_;
};

class AuthenticodeSignature final : public EmbeddedSignature {
public:
    AuthenticodeSignature(std::wstring path, HCERTSTORE store, HCRYPTMSG message)
        : path_(std::move(path)), store_(store), message_(message) {}
    ~AuthenticodeSignature() override {
        ::CryptMsgClose(message_);
        ::CertCloseStore(store_, 0);
    }
    AuthenticodeSignature(const AuthenticodeSignature&) = delete;
    AuthenticodeSignature& operator=(const AuthenticodeSignature&) = delete;

    size_t signerCount() const override {
        DWORD count = 0;
        DWORD size = sizeof count;
        return ::CryptMsgGetParam(message_, CMSG_SIGNER_COUNT_PARAM, 0, &count, &size) ? count : 0;
    }

    std::wstring serialNumber(size_t signer) const override {
        const std::vector<BYTE> info = signerInfo(signer);
        if (info.empty()) {
            return {};
        }
        // The system keeps the serial least significant byte first.
        const CRYPT_INTEGER_BLOB& serial = asSignerInfo(info).SerialNumber;
        std::wstring hex;
        for (DWORD i = serial.cbData; i-- > 0;) {
            hex += Vanta::kUpperHexDigits[serial.pbData[i] >> 4];
            hex += Vanta::kUpperHexDigits[serial.pbData[i] & 0xF];
        }
        return hex;
    }

    std::optional<std::wstring> friendlyName(size_t signer) const override {
        const CertificatePtr certificate = certificateOf(signer);
        if (!certificate) {
            return std::nullopt;
        }
        const DWORD size = ::CertGetNameStringW(certificate.get(), CERT_NAME_FRIENDLY_DISPLAY_TYPE,
                                                0, nullptr, nullptr, 0);
        std::wstring name(size, L'\0');
        ::CertGetNameStringW(certificate.get(), CERT_NAME_FRIENDLY_DISPLAY_TYPE, 0, nullptr,
                             name.data(), size);
        name.resize(size > 0 ? size - 1 : 0);
        return name;
    }

    SigningTime signingTime(size_t signer) const override {
        const std::vector<BYTE> info = signerInfo(signer);
        if (info.empty()) {
            return {SigningTime::Kind::Undecodable, 0};
        }
        const CRYPT_ATTRIBUTES& unsignedAttributes = asSignerInfo(info).UnauthAttrs;
        for (DWORD i = 0; i < unsignedAttributes.cAttr; ++i) {
            const CRYPT_ATTRIBUTE& attribute = unsignedAttributes.rgAttr[i];
            if (attribute.cValue == 0) {
                continue;
            }
            if (std::strcmp(attribute.pszObjId, kCounterSignature) == 0) {
                return counterSignatureTime(attribute.rgValue[0]);
            }
            if (std::strcmp(attribute.pszObjId, kTimeStampToken) == 0) {
                return timeStampTokenTime(attribute.rgValue[0]);
            }
        }
        return {};
    }

    std::unique_ptr<CertificateChain> buildChain(size_t signer,
                                                 std::optional<int64_t> at) const override {
        const CertificatePtr certificate = certificateOf(signer);
        if (!certificate) {
            return nullptr;
        }
        LPSTR usages[] = {const_cast<LPSTR>(kCodeSigningUsage)};
        CERT_CHAIN_PARA parameters{};
        parameters.cbSize = sizeof parameters;
        parameters.RequestedUsage.dwType = USAGE_MATCH_TYPE_AND;
        parameters.RequestedUsage.Usage.cUsageIdentifier = 1;
        parameters.RequestedUsage.Usage.rgpszUsageIdentifier = usages;
        FILETIME when{};
        if (at) {
            when = fileTime(*at);
        }
        PCCERT_CHAIN_CONTEXT chain = nullptr;
        if (!::CertGetCertificateChain(nullptr, certificate.get(), at ? &when : nullptr, store_,
                                       &parameters, kChainFlags, nullptr, &chain)) {
            return nullptr;
        }
        return std::make_unique<SystemChain>(chain);
    }

    bool verifyContent(size_t) const override {
        WINTRUST_FILE_INFO file{};
        file.cbStruct = sizeof file;
        file.pcwszFilePath = path_.c_str();
        WINTRUST_DATA data{};
        data.cbStruct = sizeof data;
        data.dwUIChoice = WTD_UI_NONE;
        data.fdwRevocationChecks = WTD_REVOKE_NONE;
        data.dwUnionChoice = WTD_CHOICE_FILE;
        data.pFile = &file;
        data.dwStateAction = 0;
        data.dwProvFlags = kTrustProviderFlags;
        GUID action = WINTRUST_ACTION_GENERIC_VERIFY_V2;
        return ::WinVerifyTrust(static_cast<HWND>(INVALID_HANDLE_VALUE), &action, &data) == 0;
    }

private:
    static const CMSG_SIGNER_INFO& asSignerInfo(const std::vector<BYTE>& buffer) {
        return *reinterpret_cast<const CMSG_SIGNER_INFO*>(buffer.data());
    }

    std::vector<BYTE> signerInfo(size_t signer) const {
        return messageParameter(message_, CMSG_SIGNER_INFO_PARAM, static_cast<DWORD>(signer));
    }

    CertificatePtr certificateOf(size_t signer) const {
        const std::vector<BYTE> info = signerInfo(signer);
        if (info.empty()) {
            return nullptr;
        }
        CERT_INFO wanted{};
        wanted.Issuer = asSignerInfo(info).Issuer;
        wanted.SerialNumber = asSignerInfo(info).SerialNumber;
        return CertificatePtr(::CertFindCertificateInStore(
            store_, kEncoding, 0, CERT_FIND_SUBJECT_CERT, &wanted, nullptr));
    }

    static SigningTime counterSignatureTime(const CRYPT_ATTR_BLOB& value) {
        DWORD size = 0;
        if (!::CryptDecodeObject(kEncoding, PKCS7_SIGNER_INFO, value.pbData, value.cbData, 0,
                                 nullptr, &size)) {
            return {SigningTime::Kind::Undecodable, 0};
        }
        std::vector<BYTE> decoded(size);
        if (!::CryptDecodeObject(kEncoding, PKCS7_SIGNER_INFO, value.pbData, value.cbData, 0,
                                 decoded.data(), &size)) {
            return {SigningTime::Kind::Undecodable, 0};
        }
        return timeFromCounterSigner(asSignerInfo(decoded));
    }

    static SigningTime timeStampTokenTime(const CRYPT_ATTR_BLOB& value) {
        HCRYPTMSG token = ::CryptMsgOpenToDecode(kEncoding, 0, 0, 0, nullptr, nullptr);
        if (token == nullptr) {
            return {SigningTime::Kind::Undecodable, 0};
        }
        SigningTime result{SigningTime::Kind::Undecodable, 0};
        if (::CryptMsgUpdate(token, value.pbData, value.cbData, TRUE)) {
            const std::vector<BYTE> first = messageParameter(token, CMSG_SIGNER_INFO_PARAM, 0);
            if (!first.empty()) {
                result = timeFromCounterSigner(asSignerInfo(first));
            }
        }
        ::CryptMsgClose(token);
        return result;
    }

    std::wstring path_;
    HCERTSTORE store_;
    HCRYPTMSG message_;
};

} // namespace

std::unique_ptr<EmbeddedSignature> CodeSignatureAPI::openEmbedded(const std::wstring& path) const {
    DWORD encoding = 0;
    DWORD contentType = 0;
    DWORD format = 0;
    HCERTSTORE store = nullptr;
    HCRYPTMSG message = nullptr;
    if (!::CryptQueryObject(CERT_QUERY_OBJECT_FILE, path.c_str(),
                            CERT_QUERY_CONTENT_FLAG_PKCS7_SIGNED_EMBED,
                            CERT_QUERY_FORMAT_FLAG_BINARY, 0, &encoding, &contentType, &format,
                            &store, &message, nullptr)) {
        return nullptr;
    }
    if (store == nullptr || message == nullptr) {
        if (message != nullptr) {
            ::CryptMsgClose(message);
        }
        if (store != nullptr) {
            ::CertCloseStore(store, 0);
        }
        return nullptr;
    }
    return std::make_unique<AuthenticodeSignature>(path, store, message);
}

std::optional<Thumbprint>
CodeSignatureAPI::detachedSigner(const std::vector<uint8_t>& content,
                                 const std::vector<uint8_t>& signature) const {
    if (signature.empty() ||
        ::CryptGetMessageSignerCount(kEncoding, signature.data(),
                                     static_cast<DWORD>(signature.size())) != 1) {
        return std::nullopt;
    }
    CRYPT_VERIFY_MESSAGE_PARA parameters{};
    parameters.cbSize = sizeof parameters;
    parameters.dwMsgAndCertEncodingType = kEncoding;
    const BYTE* parts[] = {content.data()};
    DWORD sizes[] = {static_cast<DWORD>(content.size())};
    PCCERT_CONTEXT signer = nullptr;
    if (!::CryptVerifyDetachedMessageSignature(&parameters, 0, signature.data(),
                                               static_cast<DWORD>(signature.size()), 1, parts,
                                               sizes, &signer)) {
        return std::nullopt;
    }
    const CertificatePtr owned(signer);
    return thumbprintOf(signer);
}

} // namespace Strato
