#include "trust/CTrustVerifier.h"

#include "fakes/FakeCodeSignature.h"
#include "fakes/ScratchFolder.h"

#include <gtest/gtest.h>

#include <filesystem>

using namespace Strato;
using testfakes::FakeSigner;

namespace {

Thumbprint thumbprint(uint8_t fill) {
    Thumbprint value;
    value.fill(fill);
    return value;
}

const Thumbprint kBuiltInRoot = thumbprint(0xB1);
const Thumbprint kListedRoot = thumbprint(0x4B);
const Thumbprint kListSigner = thumbprint(0xA9);
const Thumbprint kOtherSigner = thumbprint(0x0E);

std::string base64(std::string_view bytes) {
    static constexpr char kDigits[] =
        "ABCDEFGHIJKLMNOPQRSTUVWXYZabcdefghijklmnopqrstuvwxyz0123456789+/";
    std::string out;
    for (size_t i = 0; i < bytes.size(); i += 3) {
        uint32_t group = static_cast<uint8_t>(bytes[i]) << 16;
        group |= i + 1 < bytes.size() ? static_cast<uint8_t>(bytes[i + 1]) << 8 : 0;
        group |= i + 2 < bytes.size() ? static_cast<uint8_t>(bytes[i + 2]) : 0;
        for (size_t d = 0; d < 4; ++d) {
            out += i + d <= bytes.size() ? kDigits[group >> (18 - 6 * d) & 63] : '=';
        }
    }
    return out;
}

// A list file whose signature block verifies as `signature` says.
std::string listFile(std::string_view body, std::string_view signature = "pinned") {
    return std::string(body) + "// SIG // Begin signature block\n// SIG // " + base64(signature) +
           "\n// SIG // End signature block\n";
}

std::string listPinning(uint32_t version,
                        const char* root = "4B4B4B4B4B4B4B4B4B4B4B4B4B4B4B4B4B4B4B4B",
                        const char* extra = "") {
    return listFile("[VER]\n" + std::to_string(version) + "\n[ORG]\nTalmor Software Ltd.\n[SHA]\n" +
                    root + "\n" + extra);
}

class TrustVerifierTest : public ::testing::Test {
protected:
    TrustVerifierTest() {
        signatures->detached = {{"pinned", kListSigner}, {"other", kOtherSigner}};
        builtIn.version = 7;
        builtIn.names = {L"Talmor Software Ltd.", L"Talmor Inc."};
        builtIn.thumbprints = {kBuiltInRoot};
    }

    CTrustVerifier verifier() {
        TrustVerifierParts parts;
        parts.signatures = signatures;
        parts.cabinets = cabinets;
        parts.atoms = atoms;
        parts.listPath = listPath;
        parts.listSigner = kListSigner;
        parts.builtIn = builtIn;
        return CTrustVerifier(std::move(parts));
    }

    std::wstring signedFile(std::wstring name, std::vector<FakeSigner> signers) {
        const std::wstring path = scratch.file(name);
        signatures->files[path] = std::move(signers);
        return path;
    }
    static FakeSigner rootedAt(const Thumbprint& root) {
        FakeSigner signer;
        signer.roots = {root};
        return signer;
    }
    void writeList(const std::string& text) const { scratch.write(L"trusted.js", text); }

    testfakes::ScratchFolder scratch;
    std::shared_ptr<testfakes::FakeCodeSignature> signatures =
        std::make_shared<testfakes::FakeCodeSignature>();
    std::shared_ptr<testfakes::FakeCabinet> cabinets = std::make_shared<testfakes::FakeCabinet>();
    std::shared_ptr<testfakes::FakeAtoms> atoms = std::make_shared<testfakes::FakeAtoms>();
    std::wstring listPath = scratch.file(L"trusted.js");
    TrustRules builtIn;
};

} // namespace

TEST_F(TrustVerifierTest, ASignerMeetingEveryRuleMakesTheFileTrusted) {
    auto verify = verifier();
    EXPECT_EQ(0u, verify.verifyFile(signedFile(L"good.dll", {rootedAt(kBuiltInRoot)})));
    EXPECT_EQ(87u, verify.verifyFile(L""));
    EXPECT_EQ(5u, verify.verifyFile(scratch.file(L"unsigned.dll")));
}

TEST_F(TrustVerifierTest, EachRuleRejectsASignerOnItsOwn) {
    struct Case {
        const char* rule;
        void (*spoil)(FakeSigner&);
    } cases[] = {
        {"unpinned root",
         [](FakeSigner& s) {
             s.roots = {thumbprint(0x77)};
         }},
        {"revoked serial",
         [](FakeSigner& s) {
             s.serial = L"5EC0DE0001";
         }},
        {"unlisted name",
         [](FakeSigner& s) {
             s.name = L"Unlisted Software Inc.";
         }},
        {"certificate not in the store",
         [](FakeSigner& s) {
             s.name.reset();
         }},
        {"undecodable counter-signature",
         [](FakeSigner& s) {
             s.time.kind = SigningTime::Kind::Undecodable;
         }},
        {"no chain",
         [](FakeSigner& s) {
             s.chainBuilds = false;
         }},
        {"chain with an error",
         [](FakeSigner& s) {
             s.chainValid = false;
         }},
        {"time-stamp policy",
         [](FakeSigner& s) {
             s.timestampPolicy = false;
         }},
        {"final signature check",
         [](FakeSigner& s) {
             s.content = false;
         }},
    };
    builtIn.serials = {L"5ec0de0001"};
    for (const Case& c : cases) {
        FakeSigner signer = rootedAt(kBuiltInRoot);
        c.spoil(signer);
        auto verify = verifier();
        EXPECT_EQ(5u, verify.verifyFile(signedFile(L"spoilt.dll", {signer}))) << c.rule;
    }
}

TEST_F(TrustVerifierTest, ARevokedSignerIsSkippedButASecondSignerMayPass) {
    builtIn.serials = {L"5EC0DE0001"};
    FakeSigner revoked = rootedAt(kBuiltInRoot);
    revoked.serial = L"5ec0de0001";
    auto verify = verifier();
    EXPECT_EQ(5u, verify.verifyFile(signedFile(L"revoked.dll", {revoked})));
    EXPECT_EQ(0u, verify.verifyFile(signedFile(L"two.dll", {revoked, rootedAt(kBuiltInRoot)})));
}

TEST_F(TrustVerifierTest, NamesMatchIgnoringCaseAndEmptyListsAcceptAny) {
    FakeSigner shouting = rootedAt(thumbprint(0x77));
    shouting.name = L"TALMOR INC.";
    auto strict = verifier();
    EXPECT_EQ(5u, strict.verifyFile(signedFile(L"a.dll", {shouting})));
    builtIn.thumbprints.clear();
    auto anyRoot = verifier();
    EXPECT_EQ(0u, anyRoot.verifyFile(signedFile(L"a.dll", {shouting})));
    builtIn.names.clear();
    shouting.name = L"Anyone";
    auto anyName = verifier();
    EXPECT_EQ(0u, anyName.verifyFile(signedFile(L"a.dll", {shouting})));
}

TEST_F(TrustVerifierTest, TheChainIsBuiltAtTheCounterSignedTimeElseNow) {
    FakeSigner stamped = rootedAt(kBuiltInRoot);
    stamped.time = {SigningTime::Kind::At, 1600000000};
    auto verify = verifier();
    verify.verifyFile(signedFile(L"stamped.dll", {stamped}));
    verify.verifyFile(signedFile(L"plain.dll", {rootedAt(kBuiltInRoot)}));
    EXPECT_EQ((std::vector<std::optional<int64_t>>{1600000000, std::nullopt}),
              signatures->chainTimes());
}

TEST_F(TrustVerifierTest, AListOfVersionSevenIsNotConsultedByTheVerificationThatLoadsIt) {
    writeList(listPinning(7));
    auto verify = verifier();
    const std::wstring file = signedFile(L"listed.dll", {rootedAt(kListedRoot)});
    EXPECT_EQ(5u, verify.verifyFile(file));
    // Once loaded, it is the rule set, whatever its version.
    EXPECT_EQ(0u, verify.verifyFile(file));
    EXPECT_EQ(5u, verify.verifyFile(signedFile(L"builtin.dll", {rootedAt(kBuiltInRoot)})));
}

TEST_F(TrustVerifierTest, ANewerListIsConsultedAtOnce) {
    writeList(listPinning(9));
    auto verify = verifier();
    EXPECT_EQ(0u, verify.verifyFile(signedFile(L"listed.dll", {rootedAt(kListedRoot)})));
}

TEST_F(TrustVerifierTest, ListsThatDoNotLoadLeaveTheBuiltInRulesInForce) {
    const std::string body = "[VER]\n9\n[SHA]\n4B4B4B4B4B4B4B4B4B4B4B4B4B4B4B4B4B4B4B4B\n";
    for (const std::string& list : {
             listFile("[VER]\n9\n10\n[SHA]\n4B4B4B4B4B4B4B4B4B4B4B4B4B4B4B4B4B4B4B4B\n"),
             listFile(body, "other"),    // signed, but not by the pinned certificate
             listFile(body, "unknown"),  // a signature that does not verify
             body,                       // no signature block
             listFile("[VER]\n9\n[]\n"), // an empty section name
         }) {
        writeList(list);
        auto verify = verifier();
        const std::wstring file = signedFile(L"listed.dll", {rootedAt(kListedRoot)});
        EXPECT_EQ(5u, verify.verifyFile(file)) << list;
        EXPECT_EQ(0u, verify.verifyFile(signedFile(L"builtin.dll", {rootedAt(kBuiltInRoot)})))
            << "built-in rules stay in force: " << list;
    }
}

TEST_F(TrustVerifierTest, TheAtomMakesARejectionReloadTheList) {
    writeList(listPinning(8));
    auto verify = verifier();
    EXPECT_EQ(0u, verify.verifyFile(signedFile(L"listed.dll", {rootedAt(kListedRoot)})));
    const std::wstring newer = signedFile(L"newer.dll", {rootedAt(thumbprint(0x99))});
    writeList(listPinning(9, "9999999999999999999999999999999999999999"));
    EXPECT_EQ(5u, verify.verifyFile(newer)); // no atom: the loaded list stands
    atoms->add(kTrustedListAtom);
    EXPECT_EQ(0u, verify.verifyFile(newer));
}

TEST_F(TrustVerifierTest, ACabinetCarryingANewerSignedListInstallsItAndIsCheckedAgain) {
    const Thumbprint cabinetRoot = thumbprint(0xCA);
    const std::wstring cabinet = signedFile(L"update.CAB", {rootedAt(cabinetRoot)});
    cabinets->entries[cabinet] = listPinning(9, "CACACACACACACACACACACACACACACACACACACACA");
    auto verify = verifier();
    EXPECT_EQ(0u, verify.verifyFile(cabinet));
    EXPECT_TRUE(atoms->exists(kTrustedListAtom));
    EXPECT_TRUE(std::filesystem::exists(scratch.path() / "trusted.js"));
    EXPECT_FALSE(std::filesystem::exists(scratch.path() / "trusted.tmp"));
    // The extracted copy is gone; the installed list is the rule set now.
    ASSERT_EQ(1u, cabinets->extractedTo.size());
    EXPECT_FALSE(std::filesystem::exists(Vanta::toFileSystemPath(cabinets->extractedTo[0])));
    EXPECT_EQ(0u, verify.verifyFile(signedFile(L"other.dll", {rootedAt(cabinetRoot)})));
}

TEST_F(TrustVerifierTest, ACabinetListThatIsNotNewerOrNotSignedIsNotInstalled) {
    struct Case {
        const char* why;
        std::string installed; // the list in place before, if any
        std::string carried;
    } cases[] = {
        {"not newer than the loaded list", listPinning(9),
         listPinning(9, "CACACACACACACACACACACACACACACACACACACACA")},
        {"below version 8", "", listPinning(7, "CACACACACACACACACACACACACACACACACACACACA")},
        {"signed by another certificate", "",
         listFile("[VER]\n9\n[SHA]\nCACACACACACACACACACACACACACACACACACACACA\n", "other")},
        {"not a list", "", "MSCF garbage"},
    };
    for (const Case& c : cases) {
        std::filesystem::remove(scratch.path() / "trusted.js");
        atoms->atoms.clear();
        cabinets->extractedTo.clear();
        if (!c.installed.empty()) {
            writeList(c.installed);
        }
        const std::wstring cabinet = signedFile(L"update.cab", {rootedAt(thumbprint(0xCA))});
        cabinets->entries[cabinet] = c.carried;
        auto verify = verifier();
        verify.verifyFile(signedFile(L"load.dll", {rootedAt(kListedRoot)})); // loads any list
        EXPECT_EQ(5u, verify.verifyFile(cabinet)) << c.why;
        EXPECT_FALSE(atoms->exists(kTrustedListAtom)) << c.why;
        EXPECT_EQ(!c.installed.empty(), std::filesystem::exists(scratch.path() / "trusted.js"))
            << c.why;
        ASSERT_EQ(1u, cabinets->extractedTo.size()) << c.why;
        EXPECT_FALSE(std::filesystem::exists(Vanta::toFileSystemPath(cabinets->extractedTo[0])))
            << c.why;
    }
}

TEST_F(TrustVerifierTest, OnlyCabinetFilesRunTheUpdate) {
    const std::wstring library = signedFile(L"update.cab.dll", {rootedAt(thumbprint(0xCA))});
    cabinets->entries[library] = listPinning(9, "CACACACACACACACACACACACACACACACACACACACA");
    auto verify = verifier();
    EXPECT_EQ(5u, verify.verifyFile(library));
    EXPECT_TRUE(cabinets->extractedTo.empty());
}
