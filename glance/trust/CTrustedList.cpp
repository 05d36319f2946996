#include "trust/CTrustedList.h"

#include "platform/FileSystemPath.h"
#include "platform/PathSeparator.h"

#include <filesystem>
#include <mutex>

namespace Strato {
namespace {

// A list file is a few kilobytes; anything far larger is not one.
constexpr std::uintmax_t kLargestListFile = 1 << 20;

std::optional<std::pair<TrustRules, ListSections>>
readWithSections(const std::wstring& path, const Thumbprint& signer,
                 const CodeSignatureAPI& signatures) {
    const std::optional<std::vector<uint8_t>> bytes = Vanta::readWholeFile(path, kLargestListFile);
    if (!bytes) {
        return std::nullopt;
    }
    const std::optional<SignedListParts> parts = splitSignedList(*bytes);
    if (!parts || signatures.detachedSigner(parts->content, parts->signature) != signer) {
        return std::nullopt;
    }
    std::optional<ListSections> sections = parseTrustedList(std::string_view(
        reinterpret_cast<const char*>(parts->content.data()), parts->content.size()));
    if (!sections) {
        return std::nullopt;
    }
    std::optional<TrustRules> rules = rulesFromSections(*sections);
    if (!rules) {
        return std::nullopt;
    }
    return std::make_pair(std::move(*rules), std::move(*sections));
}

} // namespace

CTrustedList::CTrustedList(std::wstring path, Thumbprint signer,
                           std::shared_ptr<const CodeSignatureAPI> signatures)
    : path_(std::move(path)), signer_(signer), signatures_(std::move(signatures)) {}

std::optional<TrustRules> CTrustedList::read(const std::wstring& path, const Thumbprint& signer,
                                             const CodeSignatureAPI& signatures) {
    auto read = readWithSections(path, signer, signatures);
    return read ? std::optional<TrustRules>(std::move(read->first)) : std::nullopt;
}

std::optional<TrustRules> CTrustedList::rules() const {
    std::shared_lock guard(lock_);
    return loaded_ ? std::optional<TrustRules>(rules_) : std::nullopt;
}

bool CTrustedList::load() {
    std::unique_lock guard(lock_);
    return loadLocked();
}

bool CTrustedList::reload() {
    std::unique_lock guard(lock_);
    clearLocked();
    return loadLocked();
}

bool CTrustedList::loadLocked() {
    if (loaded_) {
        return true;
    }
    auto read = readWithSections(path_, signer_, *signatures_);
    if (!read) {
        return false;
    }
    rules_ = std::move(read->first);
    sections_ = std::move(read->second);
    loaded_ = true;
    return true;
}

void CTrustedList::clearLocked() {
    loaded_ = false;
    rules_ = TrustRules{};
    sections_.clear();
}

bool CTrustedList::install(const std::wstring& candidate, uint32_t candidateVersion,
                           const FileOperations& files, const GlobalAtomAPI& atoms) {
    std::unique_lock guard(lock_);
    if (loaded_ && candidateVersion <= rules_.version) {
        return false;
    }
    const std::filesystem::path listFile = Vanta::toFileSystemPath(path_);
    std::error_code error;
    std::filesystem::create_directories(listFile.parent_path(), error);
    const std::wstring stagingPath =
        path_.substr(0, path_.rfind(Vanta::kPathSeparator) + 1) + L"trusted.tmp";
    const std::filesystem::path staging = Vanta::toFileSystemPath(stagingPath);
    std::filesystem::copy_file(Vanta::toFileSystemPath(candidate), staging,
                               std::filesystem::copy_options::overwrite_existing, error);
    if (error) {
        return false;
    }
    // The cabinet may have marked the entry read-only; the copy must be replaceable.
    std::filesystem::permissions(staging, std::filesystem::perms::owner_write,
                                 std::filesystem::perm_options::add, error);
    const bool replaced = std::filesystem::exists(listFile, error)
                              ? files.replaceFile(path_, stagingPath)
                              : files.moveFile(stagingPath, path_);
    if (!replaced) {
        files.moveAtRestart(stagingPath, path_);
        return false;
    }
    atoms.add(kTrustedListAtom);
    clearLocked();
    return loadLocked();
}

} // namespace Strato
