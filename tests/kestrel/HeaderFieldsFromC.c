/* Compiled as C: also proves that the bus headers are valid C. */
#include "kestrel/HeaderFieldsFromC.h"

#include <kestrel/MessageBusLibrary.h>

void readHeaderFieldsFromC(const KestrelRawMessageHeader* header, HeaderFieldsFromC* out) {
    unsigned i;
    out->format = header->format;
    out->size = header->size;
    out->flags = header->flags;
    out->version = header->version;
    out->replyIndex = header->replyIndex;
    out->extensionTag = header->session.tag;
    out->extensionLength = header->session.length;
    out->sessionId = header->session.sessionId;
    out->reservedNonZero = 0;
    for (i = 0; i < sizeof(header->reserved); ++i) {
        out->reservedNonZero += header->reserved[i] != 0;
    }
}
