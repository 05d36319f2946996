#include "messagebus/Message.h"

#include "kestrel/HeaderFieldsFromC.h"

#include <gtest/gtest.h>

#include <cstring>
#include <vector>

using Vanta::copyHeader;
using Vanta::createMessage;
using Vanta::Message;

namespace {

using Bytes = std::vector<unsigned char>;

void putLe(Bytes& bytes, size_t offset, uint64_t value, size_t width) {
    for (size_t i = 0; i < width; ++i) {
        bytes[offset + i] = static_cast<unsigned char>(value >> (8 * i));
    }
}

// The default header as the bus library expects it on the wire, built byte by byte.
Bytes defaultHeaderBytes(uint32_t size) {
    Bytes bytes(KESTREL_RAW_MESSAGE_HEADER_SIZE, 0);
    putLe(bytes, 0, 1, 2);
    putLe(bytes, 2, size, 4);
    putLe(bytes, 10, 2, 2);
    putLe(bytes, 100, 11, 2);
    putLe(bytes, 102, 8, 2);
    return bytes;
}

// Header fields are unaligned: gtest binds references to what it compares, so read them first.
template <typename T> T valueOf(T field) {
    return field;
}

Bytes bytesOf(const KestrelRawMessageHeader* header) {
    const auto* p = reinterpret_cast<const unsigned char*>(header);
    return Bytes(p, p + KESTREL_RAW_MESSAGE_HEADER_SIZE);
}

} // namespace

TEST(Message, SizeCountsEveryTextWithTheDefaultSenderForAnEmptyOne) {
    const std::wstring& sender = Vanta::defaultSender();
    ASSERT_FALSE(sender.empty());
    // The name of the file only: the test executable here, the module library in the product.
    EXPECT_EQ(sender.find_first_of(L"/\\"), std::wstring::npos) << sender;
    EXPECT_EQ(sender.rfind(L"glance_tests", 0), 0u) << sender;

    const auto message = createMessage(L"a", L"", L"xy");
    ASSERT_TRUE(message);
    EXPECT_EQ(message->getSender(), sender);
    EXPECT_EQ(valueOf(message->getHeader()->size), 114u + 2 * (1 + sender.size() + 2));

    const auto named = createMessage(std::wstring(L"Core.Update.State"), L"me", L"{}");
    ASSERT_TRUE(named);
    EXPECT_EQ(named->getName(), L"Core.Update.State");
    EXPECT_EQ(named->getSender(), L"me");
    EXPECT_EQ(named->getData(), L"{}");
    EXPECT_EQ(valueOf(named->getHeader()->size), 114u + 2 * (17 + 2 + 2));

    // Texts from the host may be null; they count as empty.
    const auto fromHost = createMessage(static_cast<const wchar_t*>(nullptr), nullptr, nullptr);
    ASSERT_TRUE(fromHost);
    EXPECT_EQ(fromHost->getName(), L"");
    EXPECT_EQ(fromHost->getSender(), sender);
    EXPECT_EQ(valueOf(fromHost->getHeader()->size), 114u + 2 * sender.size());
}

TEST(Message, HeaderHasTheWireLayoutAndReadsBackThroughTheCView) {
    const auto message = createMessage(L"n", L"s", L"d");
    ASSERT_TRUE(message);
    EXPECT_EQ(bytesOf(message->getHeader()), defaultHeaderBytes(120));

    message->setFlag(Message::kReplyFlag);
    message->setFlag(Message::kCopyMadeFlag);
    message->getHeader()->replyIndex = 0x0102030405060708ull;
    message->getSessionExtension()->sessionId = 0xA1B2C3D4u;

    Bytes expected = defaultHeaderBytes(120);
    putLe(expected, 6, 0x11, 4);
    putLe(expected, 92, 0x0102030405060708ull, 8);
    putLe(expected, 104, 0xA1B2C3D4u, 4);
    EXPECT_EQ(bytesOf(message->getHeader()), expected);

    HeaderFieldsFromC fields{};
    readHeaderFieldsFromC(message->getHeader(), &fields);
    EXPECT_EQ(fields.format, 1u);
    EXPECT_EQ(fields.size, 120u);
    EXPECT_EQ(fields.flags, 0x11u);
    EXPECT_EQ(fields.version, 2u);
    EXPECT_EQ(fields.replyIndex, 0x0102030405060708ull);
    EXPECT_EQ(fields.extensionTag, 11u);
    EXPECT_EQ(fields.extensionLength, 8u);
    EXPECT_EQ(fields.sessionId, 0xA1B2C3D4u);
    EXPECT_EQ(fields.reservedNonZero, 0u);
}

TEST(Message, FlagReplyIndexAndSessionOperations) {
    const auto message = createMessage(L"n", L"s", L"d");
    ASSERT_TRUE(message);
    KestrelRawMessageHeader* header = message->getHeader();

    for (uint32_t bit : {0u, 3u, 4u, 31u}) {
        SCOPED_TRACE(bit);
        header->flags = 0;
        message->setFlag(bit);
        EXPECT_TRUE(message->testFlag(bit));
        EXPECT_EQ(valueOf(header->flags), 1u << bit);
        header->flags = 0xFFFFFFFFu;
        message->clearFlag(bit);
        EXPECT_FALSE(message->testFlag(bit));
        EXPECT_EQ(valueOf(header->flags), ~(1u << bit));
    }
    // Bit numbers beyond the field are ignored rather than shifted into undefined behaviour.
    header->flags = 0;
    message->setFlag(32);
    EXPECT_EQ(valueOf(header->flags), 0u);
    EXPECT_FALSE(message->testFlag(40));

    header->replyIndex = 42;
    message->clearReplyIndex();
    EXPECT_EQ(valueOf(header->replyIndex), 0u);

    ASSERT_NE(message->getSessionExtension(), nullptr);
    EXPECT_EQ(reinterpret_cast<unsigned char*>(message->getSessionExtension()) -
                  reinterpret_cast<unsigned char*>(header),
              100);
    header->version = 1;
    EXPECT_EQ(message->getSessionExtension(), nullptr);
}

TEST(Message, CopyHeaderFromEachVersion) {
    // A version 1 header is only 100 bytes long: a heap buffer of exactly that size lets the
    // address sanitizer catch any read beyond it.
    Bytes v1(KESTREL_RAW_MESSAGE_HEADER_V1_SIZE, 0);
    putLe(v1, 0, 7, 2);
    putLe(v1, 2, 300, 4);
    putLe(v1, 6, 0x9, 4);
    putLe(v1, 10, 1, 2);
    v1[12] = 0xEE;
    v1[91] = 0xEF;
    putLe(v1, 92, 77, 8);

    Bytes v2 = defaultHeaderBytes(300);
    putLe(v2, 0, 7, 2);
    putLe(v2, 6, 0x9, 4);
    v2[50] = 0xEE;
    putLe(v2, 92, 77, 8);
    putLe(v2, 100, 99, 2);
    putLe(v2, 102, 12, 2);
    putLe(v2, 104, 5, 4);

    Bytes v1Expected = defaultHeaderBytes(308);
    std::memcpy(v1Expected.data(), v1.data(), v1.size());
    putLe(v1Expected, 2, 308, 4);
    putLe(v1Expected, 10, 2, 2);

    struct Case {
        const char* what;
        const Bytes* source;
        Bytes expected;
    };
    const Case cases[] = {
        {"no source: the default header with size 0", nullptr, defaultHeaderBytes(0)},
        {"version 2: copied whole", &v2, v2},
        {"version 1: 100 bytes, size + 8, version 2, default extension", &v1, v1Expected},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.what);
        const auto message = createMessage(L"n", L"s", L"d");
        ASSERT_TRUE(message);
        std::memset(message->getHeader(), 0xCD, KESTREL_RAW_MESSAGE_HEADER_SIZE);
        copyHeader(message->getHeader(),
                   c.source ? reinterpret_cast<const KestrelRawMessageHeader*>(c.source->data())
                            : nullptr);
        EXPECT_EQ(bytesOf(message->getHeader()), c.expected);
    }

    // Copying a header onto itself keeps it.
    Bytes same = v2;
    auto* header = reinterpret_cast<KestrelRawMessageHeader*>(same.data());
    copyHeader(header, header);
    EXPECT_EQ(same, v2);
    copyHeader(nullptr, header);
}
