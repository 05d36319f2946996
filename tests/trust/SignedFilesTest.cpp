// The verifier over real signatures made by the development PKI: Authenticode
// under Wine, the appended CMS signature with OpenSSL on Linux. Wine checks
// the rules but is no cryptographic proof; forged and tampered signatures
// are proven on Linux.
#include "trust/CTrustVerifier.h"

#include "TestPaths.h"
#include "fakes/FakeCodeSignature.h"
#include "fakes/ScratchFolder.h"
#include "fakes/TestTrust.h"
#include "platform/FileSystemPath.h"

#include <gtest/gtest.h>

#include <chrono>
#include <cstdlib>
#include <filesystem>
#include <random>

using namespace Strato;

namespace {

bool onWindows() {
    return Vanta::kPathSeparator == L'\\';
}

std::wstring fixture(const wchar_t* name) {
    return std::wstring(GLANCE_BUILT_FIXTURES) + GLANCE_FIXTURE_SEPARATOR + name;
}

std::vector<char> readBytes(const std::wstring& path) {
    const auto bytes = Vanta::readWholeFile(path);
    return bytes ? std::vector<char>(bytes->begin(), bytes->end()) : std::vector<char>();
}

class SignedFilesTest : public ::testing::Test {
protected:
    SignedFilesTest() { testfakes::useTestTrustStores(); }

    // The development organisation and root, as a list file would give them.
    static TrustRules developmentRules() {
        TrustRules rules;
        rules.version = 7;
        rules.names = {L"Talmor Software Ltd."};
        rules.thumbprints = {*thumbprintFromHex(GLANCE_DEV_ROOT_THUMBPRINT)};
        return rules;
    }

    CTrustVerifier verifier(TrustRules builtIn = developmentRules()) {
        TrustVerifierParts parts;
        parts.atoms = atoms;
        parts.listPath = scratch.file(L"trusted.js");
        parts.builtIn = std::move(builtIn);
        return CTrustVerifier(std::move(parts));
    }

    // A copy of a fixture with one byte changed at `offset` from the start
    // (or, when negative, from the end).
    std::wstring flipped(const wchar_t* name, long offset) const {
        std::vector<char> bytes = readBytes(fixture(name));
        const size_t at = offset >= 0 ? static_cast<size_t>(offset) : bytes.size() + offset;
        bytes.at(at) = static_cast<char>(bytes.at(at) ^ 0x01);
        return scratch.write(L"flipped.dll", std::string_view(bytes.data(), bytes.size()));
    }

    testfakes::ScratchFolder scratch;
    std::shared_ptr<testfakes::FakeAtoms> atoms = std::make_shared<testfakes::FakeAtoms>();
};

} // namespace

TEST_F(SignedFilesTest, OnlyTheGoodSignerPassesTheDevelopmentRules) {
    struct Case {
        const wchar_t* file;
        uint32_t expected;
    } cases[] = {
        {L"Signed.dll", 0},    {L"OtherRoot.dll", 5}, // a trusted root, but not a pinned one
        {L"WrongName.dll", 5}, {L"Expired.dll", 5},   // no time stamp: judged now
        {L"NoUsage.dll", 5},                          // no code-signing usage
        {L"Revoked.dll", 0},                          // nothing revoked yet
    };
    auto verify = verifier();
    for (const Case& c : cases) {
        EXPECT_EQ(c.expected, verify.verifyFile(fixture(c.file))) << Vanta::toUtf8(c.file);
    }
    EXPECT_EQ(5u, verify.verifyFile(GLANCE_UNVERSIONED_FIXTURE)); // no signature
}

TEST_F(SignedFilesTest, ARevokedSerialRejectsItsSignerButNotASecondOne) {
    TrustRules rules = developmentRules();
    rules.serials = {L"5ec0de0001"};
    auto verify = verifier(rules);
    EXPECT_EQ(5u, verify.verifyFile(fixture(L"Revoked.dll")));
    EXPECT_EQ(0u, verify.verifyFile(fixture(L"Signed.dll")));
    if (!onWindows()) {
        EXPECT_EQ(0u, verify.verifyFile(fixture(L"TwoSigners.dll")));
    }
}

TEST_F(SignedFilesTest, AChangedByteIsRejected) {
    auto verify = verifier();
    EXPECT_EQ(5u, verify.verifyFile(flipped(L"Signed.dll", 200))); // in the headers' code
    if (!onWindows()) {
        // The last byte of the signature value, before the 40-byte trailer.
        EXPECT_EQ(5u, verify.verifyFile(flipped(L"Signed.dll", -41)));
        // A trailer that lies about the signature's length.
        EXPECT_EQ(5u, verify.verifyFile(flipped(L"Signed.dll", -29)));
    }
}

TEST_F(SignedFilesTest, ATimeStampGivesTheSigningTime) {
    const CodeSignatureAPI signatures;
    const auto plain = signatures.openEmbedded(fixture(L"Signed.dll"));
    ASSERT_TRUE(plain);
    EXPECT_EQ(SigningTime::Kind::None, plain->signingTime(0).kind);
    if (!onWindows()) {
        return; // the appended signature carries no time stamp
    }
    const auto stamped = signatures.openEmbedded(fixture(L"Stamped.dll"));
    ASSERT_TRUE(stamped);
    const SigningTime time = stamped->signingTime(0);
    ASSERT_EQ(SigningTime::Kind::At, time.kind);
    const auto now = std::chrono::duration_cast<std::chrono::seconds>(
                         std::chrono::system_clock::now().time_since_epoch())
                         .count();
    EXPECT_GT(time.secondsSince1970, 1704067200); // after the PKI's first day
    EXPECT_LE(time.secondsSince1970, now + 86400);
    EXPECT_EQ(0u, verifier().verifyFile(fixture(L"Stamped.dll")));
}

TEST_F(SignedFilesTest, ListFilesLoadOnlyWhenSignedByThePinnedCertificate) {
    const Thumbprint pinned = *thumbprintFromHex(GLANCE_LIST_SIGNER_THUMBPRINT);
    const CodeSignatureAPI signatures;
    const auto rules = CTrustedList::read(fixture(L"list-v9.js"), pinned, signatures);
    ASSERT_TRUE(rules);
    EXPECT_EQ(9u, rules->version);
    EXPECT_EQ(developmentRules().thumbprints, rules->thumbprints);
    EXPECT_FALSE(CTrustedList::read(fixture(L"list-v9-by-codesign.js"), pinned, signatures));

    std::vector<char> list = readBytes(fixture(L"list-v9.js"));
    const std::string text(list.begin(), list.end());
    std::string tampered = text;
    tampered[tampered.find("[VER]\n9") + 6] = '8';
    EXPECT_FALSE(CTrustedList::read(scratch.write(L"tampered.js", tampered), pinned, signatures));
    const std::string truncated = text.substr(0, text.size() - 60);
    EXPECT_FALSE(CTrustedList::read(scratch.write(L"truncated.js", truncated), pinned, signatures));
}

TEST_F(SignedFilesTest, ASignedCabinetInstallsTheNewerListItCarries) {
    // The built-in rules know nothing of the development root.
    auto verify = verifier(builtInTrustRules());
    EXPECT_EQ(5u, verify.verifyFile(fixture(L"Signed.dll")));
    EXPECT_EQ(0u, verify.verifyFile(fixture(L"Update.cab")));
    EXPECT_TRUE(atoms->exists(kTrustedListAtom));
    EXPECT_EQ(readBytes(fixture(L"list-v9.js")), readBytes(scratch.file(L"trusted.js")));
    EXPECT_EQ(0u, verify.verifyFile(fixture(L"Signed.dll")));
}

TEST_F(SignedFilesTest, GarbageCabinetsAreRefusedCleanly) {
    auto verify = verifier(builtInTrustRules());
    EXPECT_EQ(5u, verify.verifyFile(scratch.write(L"garbage.cab", "MSCF\0\0\0\0 not a cabinet")));
    EXPECT_EQ(5u, verify.verifyFile(scratch.write(L"empty.cab", "")));
    const std::wstring extracted = scratch.file(L"entry.js");
    scratch.write(L"entry.js", "");
    EXPECT_FALSE(CabinetAPI().extractEntry(fixture(L"Signed.dll"), L"trusted.js", extracted));
    EXPECT_FALSE(atoms->exists(kTrustedListAtom));
}

TEST_F(SignedFilesTest, TheShippedLibrariesPassTheProcessVerifier) {
    // The list file the build ships pins the development root.
    for (const wchar_t* library : {L"Conduit.dll", L"OrloResources.dll"}) {
        const std::wstring path =
            std::wstring(GLANCE_SHIPPED_FOLDER) + GLANCE_FIXTURE_SEPARATOR + library;
        EXPECT_EQ(0u, CTrustVerifier::instance().verifyFile(path)) << Vanta::toUtf8(path);
    }
}

TEST(GlobalAtom, AnAddedAtomIsSeenUntilRemoved) {
    const GlobalAtomAPI atoms;
    const std::wstring name = L"GlanceTestAtom-" + std::to_wstring(std::random_device()());
    EXPECT_FALSE(atoms.exists(name));
    ASSERT_TRUE(atoms.add(name));
    EXPECT_TRUE(atoms.exists(name));
    EXPECT_TRUE(atoms.remove(name));
    EXPECT_FALSE(atoms.exists(name));
    EXPECT_FALSE(atoms.remove(name));
}
