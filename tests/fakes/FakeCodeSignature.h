// Code signatures, cabinets and atoms as a test sets them: each file path
// has the signers a test gives it, each detached signature the signer its
// bytes name, each cabinet the bytes of its "trusted.js".
#pragma once

#include "platform/Cabinet.h"
#include "platform/CodeSignature.h"
#include "platform/FileSystemPath.h"
#include "platform/GlobalAtom.h"

#include <fstream>
#include <map>
#include <mutex>
#include <set>
#include <string>
#include <vector>

namespace testfakes {

struct FakeSigner {
    std::wstring serial = L"0A1B";
    std::optional<std::wstring> name = L"Talmor Software Ltd.";
    Strato::SigningTime time;
    bool chainBuilds = true;
    bool chainValid = true;
    std::vector<Strato::Thumbprint> roots;
    bool timestampPolicy = true;
    bool content = true;
};

class FakeCodeSignature final : public Strato::CodeSignatureAPI {
public:
    std::map<std::wstring, std::vector<FakeSigner>> files;
    // Signature bytes (as text) to the signer they verify as.
    std::map<std::string, Strato::Thumbprint> detached;

    std::unique_ptr<Strato::EmbeddedSignature>
    openEmbedded(const std::wstring& path) const override {
        const auto found = files.find(path);
        if (found == files.end()) {
            return nullptr;
        }
        return std::make_unique<Signature>(found->second, *this);
    }

    std::optional<Strato::Thumbprint>
    detachedSigner(const std::vector<uint8_t>&,
                   const std::vector<uint8_t>& signature) const override {
        const auto found = detached.find(std::string(signature.begin(), signature.end()));
        return found == detached.end() ? std::nullopt : std::optional(found->second);
    }

    // The signing time each chain was built for, in order.
    std::vector<std::optional<int64_t>> chainTimes() const {
        std::lock_guard guard(lock_);
        return chainTimes_;
    }

private:
    class Chain final : public Strato::CertificateChain {
    public:
        explicit Chain(const FakeSigner& signer) : signer_(signer) {}
        bool isValid() const override { return signer_.chainValid; }
        std::vector<Strato::Thumbprint> rootThumbprints() const override { return signer_.roots; }
        bool passesTimestampPolicy() const override { return signer_.timestampPolicy; }

    private:
        FakeSigner signer_;
    };

    class Signature final : public Strato::EmbeddedSignature {
    public:
        Signature(std::vector<FakeSigner> signers, const FakeCodeSignature& owner)
            : signers_(std::move(signers)), owner_(owner) {}
        size_t signerCount() const override { return signers_.size(); }
        std::wstring serialNumber(size_t i) const override { return signers_[i].serial; }
        std::optional<std::wstring> friendlyName(size_t i) const override {
            return signers_[i].name;
        }
        Strato::SigningTime signingTime(size_t i) const override { return signers_[i].time; }
        std::unique_ptr<Strato::CertificateChain>
        buildChain(size_t i, std::optional<int64_t> at) const override {
            {
                std::lock_guard guard(owner_.lock_);
                owner_.chainTimes_.push_back(at);
            }
            return signers_[i].chainBuilds ? std::make_unique<Chain>(signers_[i]) : nullptr;
        }
        bool verifyContent(size_t i) const override { return signers_[i].content; }

    private:
        std::vector<FakeSigner> signers_;
        const FakeCodeSignature& owner_;
    };

    mutable std::mutex lock_;
    mutable std::vector<std::optional<int64_t>> chainTimes_;
};

class FakeCabinet final : public Strato::CabinetAPI {
public:
    // Cabinet path to the bytes of its "trusted.js" entry.
    std::map<std::wstring, std::string> entries;
    mutable std::vector<std::wstring> extractedTo;

    bool available() const override { return true; }
    bool extractEntry(const std::wstring& cabinet, const std::wstring& entryName,
                      const std::wstring& destination) const override {
        const auto found = entries.find(cabinet);
        if (found == entries.end() || entryName != L"trusted.js") {
            return false;
        }
        extractedTo.push_back(destination);
        std::ofstream(Vanta::toFileSystemPath(destination), std::ios::binary) << found->second;
        return true;
    }
};

class FakeAtoms final : public Strato::GlobalAtomAPI {
public:
    mutable std::set<std::wstring> atoms;
    bool exists(const std::wstring& name) const override { return atoms.count(name) != 0; }
    bool add(const std::wstring& name) const override {
        atoms.insert(name);
        return true;
    }
    bool remove(const std::wstring& name) const override { return atoms.erase(name) != 0; }
};

} // namespace testfakes
