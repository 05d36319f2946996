/* Reads a raw message header through the C view of its layout, so that tests
 * compare what C code sees with what the module wrote. */
#ifndef GLANCE_TESTS_HEADER_FIELDS_FROM_C_H
#define GLANCE_TESTS_HEADER_FIELDS_FROM_C_H

#include <kestrel/RawMessageHeader.h>

#ifdef __cplusplus
extern "C" {
#endif

typedef struct HeaderFieldsFromC {
    uint16_t format;
    uint32_t size;
    uint32_t flags;
    uint16_t version;
    uint64_t replyIndex;
    uint16_t extensionTag;
    uint16_t extensionLength;
    uint32_t sessionId;
    unsigned reservedNonZero; /* count of non-zero reserved bytes */
} HeaderFieldsFromC;

void readHeaderFieldsFromC(const KestrelRawMessageHeader* header, HeaderFieldsFromC* out);

#ifdef __cplusplus
}
#endif

#endif
