// POSIX-only code belongs in this file.
// The appended CMS signature, checked with OpenSSL. Trusted roots are those
// of the system's OpenSSL store and of the suite's root file: KESTREL_ROOTS,
// else <program data>/Talmor/Roots.pem (the machine's Root store on Windows).
#include "platform/CodeSignature.h"

#include "platform/FileSystemPath.h"
#include "platform/HexDigits.h"
#include "platform/TextCodec.h"
#include "platform/posix/DataFolders.h"

#include <openssl/bio.h>
#include <openssl/cms.h>
#include <openssl/evp.h>
#include <openssl/x509.h>
#include <openssl/x509v3.h>

#include <climits>
#include <cstdlib>
#include <cstring>

namespace Strato {
namespace {

constexpr std::string_view kMagic = "~Module signature appended~\n";
constexpr size_t kTrailerSize = 12;
constexpr uint8_t kIdTypePkcs7 = 2;

template <typename T, void (*Free)(T*)> struct Deleter {
    void operator()(T* object) const noexcept { Free(object); }
};
void freeCertificates(STACK_OF(X509) * certificates) {
    sk_X509_pop_free(certificates, X509_free);
}
using CmsPtr = std::unique_ptr<CMS_ContentInfo, Deleter<CMS_ContentInfo, CMS_ContentInfo_free>>;
using CertificatesPtr = std::unique_ptr<STACK_OF(X509), Deleter<STACK_OF(X509), freeCertificates>>;
using StorePtr = std::unique_ptr<X509_STORE, Deleter<X509_STORE, X509_STORE_free>>;
using StoreContextPtr =
    std::unique_ptr<X509_STORE_CTX, Deleter<X509_STORE_CTX, X509_STORE_CTX_free>>;
using BioPtr = std::unique_ptr<BIO, Deleter<BIO, BIO_free_all>>;

std::string rootsFile() {
    const char* configured = std::getenv("KESTREL_ROOTS");
    if (configured != nullptr && *configured != '\0') {
        return configured;
    }
    const std::string programData = Vanta::internal::programDataFolder();
    return programData.empty() ? std::string() : programData + "/Talmor/Roots.pem";
}

StorePtr trustedRoots() {
    StorePtr store(X509_STORE_new());
    if (!store) {
        return store;
    }
    X509_STORE_set_default_paths(store.get());
    const std::string roots = rootsFile();
    if (!roots.empty()) {
        X509_STORE_load_file(store.get(), roots.c_str());
    }
    return store;
}

std::optional<Thumbprint> thumbprintOf(const X509* certificate) {
    Thumbprint thumbprint{};
    unsigned int length = 0;
    if (X509_digest(certificate, EVP_sha1(), thumbprint.data(), &length) != 1 ||
        length != thumbprint.size()) {
        return std::nullopt;
    }
    return thumbprint;
}

CmsPtr decodeSignedData(const uint8_t* der, size_t size) {
    const unsigned char* cursor = der;
    CmsPtr cms(d2i_CMS_ContentInfo(nullptr, &cursor, static_cast<long>(size)));
    if (!cms || cursor != der + size || OBJ_obj2nid(CMS_get0_type(cms.get())) != NID_pkcs7_signed) {
        return nullptr;
    }
    return cms;
}

// The whole content through the CMS digest chain, for the signers' checks.
class DigestedContent {
public:
    DigestedContent(CMS_ContentInfo* cms, const std::vector<uint8_t>& content)
        : content_(BIO_new_mem_buf(content.data(), static_cast<int>(content.size()))) {
        if (content_ != nullptr) {
            chain_ = CMS_dataInit(cms, content_);
        }
        if (chain_ != nullptr) {
            char buffer[4096];
            while (BIO_read(chain_, buffer, sizeof buffer) > 0) {
            }
        }
    }
    ~DigestedContent() {
        // The digest filters are ours to free, the content below them too.
        BIO* filter = chain_;
        while (filter != nullptr && filter != content_) {
            BIO* next = BIO_pop(filter);
            BIO_free(filter);
            filter = next;
        }
        BIO_free(content_);
    }
    DigestedContent(const DigestedContent&) = delete;
    DigestedContent& operator=(const DigestedContent&) = delete;
    BIO* chain() const { return chain_; }

private:
    BIO* content_;
    BIO* chain_ = nullptr;
};

class OpenSslChain final : public CertificateChain {
public:
    OpenSslChain(bool valid, std::vector<Thumbprint> roots)
        : valid_(valid), roots_(std::move(roots)) {}
    bool isValid() const override { return valid_; }
    std::vector<Thumbprint> rootThumbprints() const override { return roots_; }
    // Windows applies the Authenticode time-stamp policy to the chain; here
    // that is the chain's own validity, already checked.
    bool passesTimestampPolicy() const override { return valid_; }

private:
    bool valid_;
    std::vector<Thumbprint> roots_;
};

class AppendedSignature final : public EmbeddedSignature {
public:
    AppendedSignature(CmsPtr cms, std::vector<uint8_t> content)
        : cms_(std::move(cms)), content_(std::move(content)),
          certificates_(CMS_get1_certs(cms_.get())) {
        // Matches every signer with its certificate from the signature's store.
        CMS_set1_signers_certs(cms_.get(), nullptr, 0);
    }

    size_t signerCount() const override {
        return static_cast<size_t>(sk_CMS_SignerInfo_num(signers()));
    }

    std::wstring serialNumber(size_t signer) const override {
        ASN1_OCTET_STRING* keyId = nullptr;
        X509_NAME* issuer = nullptr;
        ASN1_INTEGER* serial = nullptr;
        if (CMS_SignerInfo_get0_signer_id(signerAt(signer), &keyId, &issuer, &serial) != 1 ||
            serial == nullptr) {
            return {};
        }
        // The encoded integer's bytes, as Windows keeps them (a leading zero
        // stays when the encoding has one).
        unsigned char* der = nullptr;
        const int length = i2d_ASN1_INTEGER(serial, &der);
        std::wstring hex;
        if (length > 2) {
            const unsigned char* cursor = der;
            long contentLength = 0;
            int tag = 0;
            int objectClass = 0;
            ASN1_get_object(&cursor, &contentLength, &tag, &objectClass, length);
            for (long i = 0; i < contentLength; ++i) {
                hex += Vanta::kUpperHexDigits[cursor[i] >> 4];
                hex += Vanta::kUpperHexDigits[cursor[i] & 0xF];
            }
        }
        OPENSSL_free(der);
        return hex;
    }

    std::optional<std::wstring> friendlyName(size_t signer) const override {
        const X509* certificate = certificateOf(signer);
        if (certificate == nullptr) {
            return std::nullopt;
        }
        // The simple display name: the first of these the subject holds.
        const X509_NAME* subject = X509_get_subject_name(certificate);
        for (int nid : {NID_commonName, NID_organizationalUnitName, NID_organizationName,
                        NID_pkcs9_emailAddress}) {
            const int index = X509_NAME_get_index_by_NID(subject, nid, -1);
            if (index < 0) {
                continue;
            }
            unsigned char* utf8 = nullptr;
            const int length = ASN1_STRING_to_UTF8(
                &utf8, X509_NAME_ENTRY_get_data(X509_NAME_get_entry(subject, index)));
            if (length < 0) {
                continue;
            }
            std::wstring name =
                Vanta::fromUtf8(std::string_view(reinterpret_cast<char*>(utf8), length));
            OPENSSL_free(utf8);
            return name;
        }
        return std::wstring();
    }

    // Linux takes no signing time it cannot prove: a counter-signature's
    // time is not verified here, so the chain is judged now.
    SigningTime signingTime(size_t) const override { return {}; }

    std::unique_ptr<CertificateChain> buildChain(size_t signer,
                                                 std::optional<int64_t> at) const override {
        X509* leaf = certificateOf(signer);
        X509_STORE* store = roots();
        StoreContextPtr context(X509_STORE_CTX_new());
        if (leaf == nullptr || store == nullptr || !context ||
            X509_STORE_CTX_init(context.get(), store, leaf, certificates_.get()) != 1) {
            return nullptr;
        }
        // OpenSSL has no code-signing purpose: the usage is checked below.
        X509_STORE_CTX_set_purpose(context.get(), X509_PURPOSE_ANY);
        if (at) {
            X509_STORE_CTX_set_time(context.get(), 0, static_cast<time_t>(*at));
        }
        bool valid = X509_verify_cert(context.get()) == 1;
        // A certificate without the extension is valid for every usage.
        valid = valid && (X509_get_extended_key_usage(leaf) & XKU_CODE_SIGN) != 0;
        std::vector<Thumbprint> roots;
        if (STACK_OF(X509)* chain = X509_STORE_CTX_get0_chain(context.get());
            chain != nullptr && sk_X509_num(chain) > 0) {
            if (auto root = thumbprintOf(sk_X509_value(chain, sk_X509_num(chain) - 1))) {
                roots.push_back(*root);
            }
        }
        return std::make_unique<OpenSslChain>(valid, std::move(roots));
    }

    bool verifyContent(size_t signer) const override {
        CMS_SignerInfo* info = signerAt(signer);
        if (certificateOf(signer) == nullptr) {
            return false;
        }
        // With signed attributes the signature covers them, and they hold
        // the content's digest; without, it covers the content itself.
        if (CMS_signed_get_attr_count(info) >= 0 && CMS_SignerInfo_verify(info) != 1) {
            return false;
        }
        const DigestedContent digested(cms_.get(), content_);
        return digested.chain() != nullptr &&
               CMS_SignerInfo_verify_content(info, digested.chain()) == 1;
    }

private:
    // Loaded on the first chain and kept for the file's other signers.
    X509_STORE* roots() const {
        if (!roots_) {
            roots_ = trustedRoots();
        }
        return roots_.get();
    }
    STACK_OF(CMS_SignerInfo) * signers() const { return CMS_get0_SignerInfos(cms_.get()); }
    CMS_SignerInfo* signerAt(size_t signer) const {
        return sk_CMS_SignerInfo_value(signers(), static_cast<int>(signer));
    }
    X509* certificateOf(size_t signer) const {
        for (int i = 0; i < sk_X509_num(certificates_.get()); ++i) {
            X509* certificate = sk_X509_value(certificates_.get(), i);
            if (CMS_SignerInfo_cert_cmp(signerAt(signer), certificate) == 0) {
                return certificate;
            }
        }
        return nullptr;
    }

    CmsPtr cms_;
    std::vector<uint8_t> content_;
    CertificatesPtr certificates_;
    mutable StorePtr roots_;
};

} // namespace

std::unique_ptr<EmbeddedSignature> CodeSignatureAPI::openEmbedded(const std::wstring& path) const {
    std::optional<std::vector<uint8_t>> file = Vanta::readWholeFile(path);
    // OpenSSL reads memory in int-sized pieces.
    if (!file || file->size() < kMagic.size() + kTrailerSize ||
        file->size() > static_cast<size_t>(INT_MAX)) {
        return nullptr;
    }
    const uint8_t* end = file->data() + file->size();
    if (std::memcmp(end - kMagic.size(), kMagic.data(), kMagic.size()) != 0) {
        return nullptr;
    }
    const uint8_t* trailer = end - kMagic.size() - kTrailerSize;
    if (trailer[2] != kIdTypePkcs7) {
        return nullptr;
    }
    const size_t signatureSize = static_cast<size_t>(trailer[8]) << 24 |
                                 static_cast<size_t>(trailer[9]) << 16 |
                                 static_cast<size_t>(trailer[10]) << 8 | trailer[11];
    const size_t available = static_cast<size_t>(trailer - file->data());
    if (signatureSize == 0 || signatureSize > available) {
        return nullptr;
    }
    const size_t contentSize = available - signatureSize;
    CmsPtr cms = decodeSignedData(file->data() + contentSize, signatureSize);
    if (!cms || CMS_is_detached(cms.get()) != 1) {
        return nullptr;
    }
    file->resize(contentSize);
    return std::make_unique<AppendedSignature>(std::move(cms), std::move(*file));
}

std::optional<Thumbprint>
CodeSignatureAPI::detachedSigner(const std::vector<uint8_t>& content,
                                 const std::vector<uint8_t>& signature) const {
    if (content.size() > static_cast<size_t>(INT_MAX)) {
        return std::nullopt;
    }
    CmsPtr cms = decodeSignedData(signature.data(), signature.size());
    if (!cms || CMS_is_detached(cms.get()) != 1 ||
        sk_CMS_SignerInfo_num(CMS_get0_SignerInfos(cms.get())) != 1) {
        return std::nullopt;
    }
    BioPtr data(BIO_new_mem_buf(content.data(), static_cast<int>(content.size())));
    // The signer is pinned by its thumbprint, not by a chain.
    if (!data || CMS_verify(cms.get(), nullptr, nullptr, data.get(), nullptr,
                            CMS_BINARY | CMS_NO_SIGNER_CERT_VERIFY) != 1) {
        return std::nullopt;
    }
    // The stack is ours, the certificates in it are the message's.
    STACK_OF(X509)* signers = CMS_get0_signers(cms.get());
    const X509* signer = sk_X509_num(signers) == 1 ? sk_X509_value(signers, 0) : nullptr;
    std::optional<Thumbprint> thumbprint = signer ? thumbprintOf(signer) : std::nullopt;
    sk_X509_free(signers);
    return thumbprint;
}

} // namespace Strato
