#include "trust/CTrustVerifier.h"

#include "platform/AsciiCase.h"
#include "platform/FileSystemPath.h"
#include "platform/PathSeparator.h"

#include <algorithm>
#include <filesystem>

namespace Strato {
namespace {

constexpr uint32_t kTrusted = 0;
constexpr uint32_t kAccessDenied = 5;
constexpr uint32_t kInvalidParameter = 87;
constexpr uint32_t kFirstInstallableVersion = 8;

template <typename T> std::shared_ptr<const T> orDefault(std::shared_ptr<const T> given) {
    return given ? std::move(given) : std::make_shared<const T>();
}

bool listed(const std::vector<std::wstring>& texts, const std::wstring& text) {
    return std::any_of(texts.begin(), texts.end(), [&](const std::wstring& entry) {
        return Vanta::equalIgnoringAsciiCase(entry, text);
    });
}

bool rootPinned(const CertificateChain& chain, const std::vector<Thumbprint>& pinned) {
    if (pinned.empty()) {
        return true;
    }
    const std::vector<Thumbprint> roots = chain.rootThumbprints();
    return std::any_of(roots.begin(), roots.end(), [&](const Thumbprint& root) {
        return std::find(pinned.begin(), pinned.end(), root) != pinned.end();
    });
}

bool isCabinet(const std::wstring& path) {
    constexpr std::wstring_view extension = L".cab";
    return path.size() >= extension.size() &&
           Vanta::equalIgnoringAsciiCase(
               std::wstring_view(path).substr(path.size() - extension.size()), extension);
}

void removeFile(const std::wstring& path) {
    const std::filesystem::path file = Vanta::toFileSystemPath(path);
    std::error_code error;
    // An entry extracted read-only must be made writable before Windows deletes it.
    std::filesystem::permissions(file, std::filesystem::perms::owner_write,
                                 std::filesystem::perm_options::add, error);
    std::filesystem::remove(file, error);
}

TrustVerifierParts withDefaults(TrustVerifierParts parts) {
    parts.signatures = orDefault(std::move(parts.signatures));
    parts.cabinets = orDefault(std::move(parts.cabinets));
    parts.atoms = orDefault(std::move(parts.atoms));
    parts.files = orDefault(std::move(parts.files));
    if (parts.listPath.empty()) {
        parts.listPath = CTrustVerifier::defaultListPath(*parts.files);
    }
    return parts;
}

} // namespace

CTrustVerifier& CTrustVerifier::instance() {
    static CTrustVerifier verifier;
    return verifier;
}

CTrustVerifier::CTrustVerifier(TrustVerifierParts parts)
    : parts_(withDefaults(std::move(parts))),
      list_(parts_.listPath, parts_.listSigner, parts_.signatures) {}

std::wstring CTrustVerifier::defaultListPath(const FileOperations& files) {
    std::wstring path = files.commonFilesFolder();
    for (const wchar_t* part : {L"Talmor", L"Platform", L"Core", L"trusted.js"}) {
        path += Vanta::kPathSeparator;
        path += part;
    }
    return path;
}

uint32_t CTrustVerifier::verifyFile(const std::wstring& path) {
    if (path.empty()) {
        return kInvalidParameter;
    }
    // The suite's validation service, when present, may vouch for a file
    // first; this system has none, so the signature rules alone decide.
    try {
        return checkWithRules(path) ? kTrusted : kAccessDenied;
    } catch (...) {
        return kAccessDenied;
    }
}

bool CTrustVerifier::checkWithRules(const std::wstring& path) {
    if (checkOnce(path)) {
        return true;
    }
    return isCabinet(path) && updateFromCabinet(path) && checkOnce(path);
}

bool CTrustVerifier::checkOnce(const std::wstring& path) {
    if (const std::optional<TrustRules> loaded = list_.rules()) {
        if (checkSigner(path, *loaded)) {
            return true;
        }
        // Another process installed a newer list: every rejection rereads it.
        if (!parts_.atoms->exists(kTrustedListAtom) || !list_.reload()) {
            return false;
        }
        const std::optional<TrustRules> reloaded = list_.rules();
        return reloaded && checkSigner(path, *reloaded);
    }
    if (checkSigner(path, parts_.builtIn)) {
        return true;
    }
    if (!list_.load()) {
        return false;
    }
    const std::optional<TrustRules> loaded = list_.rules();
    return loaded && loaded->version > parts_.builtIn.version && checkSigner(path, *loaded);
}

bool CTrustVerifier::checkSigner(const std::wstring& path, const TrustRules& rules) const {
    const std::unique_ptr<EmbeddedSignature> signature = parts_.signatures->openEmbedded(path);
    if (!signature) {
        return false;
    }
    for (size_t signer = 0; signer < signature->signerCount(); ++signer) {
        if (listed(rules.serials, signature->serialNumber(signer))) {
            continue;
        }
        const std::optional<std::wstring> name = signature->friendlyName(signer);
        if (!name || (!rules.names.empty() && !listed(rules.names, *name))) {
            continue;
        }
        const SigningTime signedAt = signature->signingTime(signer);
        if (signedAt.kind == SigningTime::Kind::Undecodable) {
            continue;
        }
        const std::unique_ptr<CertificateChain> chain =
            signature->buildChain(signer, signedAt.kind == SigningTime::Kind::At
                                              ? std::optional<int64_t>(signedAt.secondsSince1970)
                                              : std::nullopt);
        if (!chain || !chain->isValid() || !rootPinned(*chain, rules.thumbprints) ||
            !chain->passesTimestampPolicy()) {
            continue;
        }
        if (signature->verifyContent(signer)) {
            return true;
        }
    }
    return false;
}

bool CTrustVerifier::updateFromCabinet(const std::wstring& path) {
    if (!parts_.cabinets->available()) {
        return false;
    }
    const std::wstring extracted =
        parts_.files->createUniqueFile(parts_.files->temporaryFolder(), L"trustedjs", L".js");
    if (extracted.empty()) {
        return false;
    }
    bool installed = false;
    if (parts_.cabinets->extractEntry(path, L"trusted.js", extracted)) {
        const std::optional<TrustRules> candidate =
            CTrustedList::read(extracted, parts_.listSigner, *parts_.signatures);
        if (candidate && candidate->version >= kFirstInstallableVersion) {
            installed = list_.install(extracted, candidate->version, *parts_.files, *parts_.atoms);
        }
    }
    removeFile(extracted);
    return installed;
}

} // namespace Strato
