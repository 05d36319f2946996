/* The raw message header that travels with every message between a module
 * and the host's message bus library: 108 bytes, little-endian, no padding.
 * Both builds target little-endian x86-64, so the packed structure below is
 * the wire layout itself; the checks at the end keep it that way. */
#ifndef KESTREL_RAW_MESSAGE_HEADER_H
#define KESTREL_RAW_MESSAGE_HEADER_H

#include <stddef.h>
#include <stdint.h>
#include <string.h>

#ifdef __cplusplus
extern "C" {
#endif

#define KESTREL_RAW_MESSAGE_HEADER_SIZE 108u
/* Headers of other versions are only read up to here. */
#define KESTREL_RAW_MESSAGE_HEADER_V1_SIZE 100u
#define KESTREL_RAW_MESSAGE_HEADER_VERSION 2u
#define KESTREL_RAW_MESSAGE_HEADER_FORMAT 1u

/* Flag bits of `flags`. */
#define KESTREL_MESSAGE_FLAG_REPLY (1u << 0)
/* Suppresses the non-reply copy that a client makes of a published reply. */
#define KESTREL_MESSAGE_FLAG_NO_COPY (1u << 3)
/* Set on a reply once its non-reply copy was made; no further copy follows. */
#define KESTREL_MESSAGE_FLAG_COPY_MADE (1u << 4)

#define KESTREL_SESSION_EXTENSION_TAG 11u
#define KESTREL_SESSION_EXTENSION_LENGTH 8u

/* Fields are unaligned: read and write them by value, never through a
 * reference or pointer to the field itself. */
#pragma pack(push, 1)

/* The extension of a version 2 header: binds a message to a session. */
typedef struct KestrelSessionExtension {
    uint16_t tag;       /* KESTREL_SESSION_EXTENSION_TAG */
    uint16_t length;    /* bytes, tag and length included */
    uint32_t sessionId; /* 0: not bound to a session */
} KestrelSessionExtension;

typedef struct KestrelRawMessageHeader {
    uint16_t format;      /* not interpreted by modules */
    uint32_t size;        /* header plus the three texts, each with its terminating zero */
    uint32_t flags;       /* KESTREL_MESSAGE_FLAG_* */
    uint16_t version;     /* KESTREL_RAW_MESSAGE_HEADER_VERSION */
    uint8_t reserved[80]; /* owned by the bus library */
    uint64_t replyIndex;
    KestrelSessionExtension session; /* meaningful in version 2 only */
} KestrelRawMessageHeader;

#pragma pack(pop)

#ifdef __cplusplus
#define KESTREL_STATIC_ASSERT(condition, text) static_assert(condition, text)
#else
#define KESTREL_STATIC_ASSERT(condition, text) _Static_assert(condition, text)
#endif

KESTREL_STATIC_ASSERT(sizeof(KestrelSessionExtension) == 8, "session extension is 8 bytes");
KESTREL_STATIC_ASSERT(sizeof(KestrelRawMessageHeader) == KESTREL_RAW_MESSAGE_HEADER_SIZE,
                      "raw message header is 108 bytes");
KESTREL_STATIC_ASSERT(offsetof(KestrelRawMessageHeader, format) == 0, "format at 0");
KESTREL_STATIC_ASSERT(offsetof(KestrelRawMessageHeader, size) == 2, "size at 2");
KESTREL_STATIC_ASSERT(offsetof(KestrelRawMessageHeader, flags) == 6, "flags at 6");
KESTREL_STATIC_ASSERT(offsetof(KestrelRawMessageHeader, version) == 10, "version at 10");
KESTREL_STATIC_ASSERT(offsetof(KestrelRawMessageHeader, reserved) == 12, "reserved at 12");
KESTREL_STATIC_ASSERT(offsetof(KestrelRawMessageHeader, replyIndex) == 92, "reply index at 92");
KESTREL_STATIC_ASSERT(offsetof(KestrelRawMessageHeader, session) ==
                          KESTREL_RAW_MESSAGE_HEADER_V1_SIZE,
                      "session extension at 100");
KESTREL_STATIC_ASSERT(offsetof(KestrelRawMessageHeader, session) +
                              offsetof(KestrelSessionExtension, length) ==
                          102,
                      "extension length at 102");
KESTREL_STATIC_ASSERT(offsetof(KestrelRawMessageHeader, session) +
                              offsetof(KestrelSessionExtension, sessionId) ==
                          104,
                      "session id at 104");
#if defined(__BYTE_ORDER__) && defined(__ORDER_LITTLE_ENDIAN__)
KESTREL_STATIC_ASSERT(__BYTE_ORDER__ == __ORDER_LITTLE_ENDIAN__,
                      "the header is little-endian and is read in place");
#endif

/* The header a new message starts with: format 1, version 2, the session
 * extension (tag 11, length 8, no session), everything else zero. */
static inline KestrelRawMessageHeader KestrelDefaultRawMessageHeader(void) {
    KestrelRawMessageHeader header;
    memset(&header, 0, sizeof header);
    header.format = KESTREL_RAW_MESSAGE_HEADER_FORMAT;
    header.version = KESTREL_RAW_MESSAGE_HEADER_VERSION;
    header.session.tag = KESTREL_SESSION_EXTENSION_TAG;
    header.session.length = KESTREL_SESSION_EXTENSION_LENGTH;
    return header;
}

#ifdef __cplusplus
}
#endif

#endif /* KESTREL_RAW_MESSAGE_HEADER_H */
