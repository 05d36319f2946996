/* The trace event that the module's trace sink sends, one per log message:
 * the classic event trace header (48 bytes) and two data descriptors, 80
 * bytes in all, little-endian. Descriptor 1 is the fields block, descriptor 2
 * the message in UTF-8 without terminator.
 *
 * The fields block, no padding: process id (u32), thread id (u32), process
 * file name, source file, function (counted strings), line (i32), module file
 * name, module version, group (counted strings), message length (u64, the
 * byte length of descriptor 2). A counted string is a u16 count of UTF-16
 * code units followed by those units, no terminator.
 *
 * On Linux an event travels as one datagram: the 80 header bytes with both
 * data pointers set to 0, then descriptor 1's bytes, then descriptor 2's. */
#ifndef KESTREL_TRACE_EVENT_H
#define KESTREL_TRACE_EVENT_H

#include <stddef.h>
#include <stdint.h>

#ifdef __cplusplus
extern "C" {
#endif

#define KESTREL_TRACE_EVENT_SIZE 80u
/* WNODE_FLAG_TRACED_GUID | WNODE_FLAG_USE_MOF_PTR */
#define KESTREL_TRACE_EVENT_FLAGS 0x120000u
#define KESTREL_TRACE_CLASS_TYPE 1u
#define KESTREL_TRACE_CLASS_VERSION 2u
/* The fixed part of the fields block: the numbers and the nine counts. */
#define KESTREL_TRACE_FIELDS_MINIMUM 32u

/* Control requests a session sends to a provider. */
#define KESTREL_TRACE_ENABLE_EVENTS 4u
#define KESTREL_TRACE_DISABLE_EVENTS 5u

typedef struct KestrelTraceGuid {
    uint32_t data1;
    uint16_t data2;
    uint16_t data3;
    uint8_t data4[8];
} KestrelTraceGuid;

typedef struct KestrelTraceDescriptor {
    uint64_t data;     /* address of the bytes in the sending process */
    uint32_t length;   /* bytes */
    uint32_t dataType; /* 0 */
} KestrelTraceDescriptor;

typedef struct KestrelTraceEventHeader {
    uint16_t size;           /* KESTREL_TRACE_EVENT_SIZE */
    uint16_t fieldTypeFlags; /* 0 */
    uint8_t classType;       /* KESTREL_TRACE_CLASS_TYPE */
    uint8_t classLevel;      /* the trace level, 1-5 */
    uint16_t classVersion;   /* KESTREL_TRACE_CLASS_VERSION */
    uint32_t threadId;       /* filled by the system */
    uint32_t processId;      /* filled by the system */
    int64_t timeStamp;       /* filled by the system: 100 ns units since 1601 */
    KestrelTraceGuid guid;   /* the trace class GUID */
    uint32_t clientContext;
    uint32_t flags; /* KESTREL_TRACE_EVENT_FLAGS */
} KestrelTraceEventHeader;

typedef struct KestrelTraceEvent {
    KestrelTraceEventHeader header;
    KestrelTraceDescriptor descriptors[2];
} KestrelTraceEvent;

#ifdef __cplusplus
}
static_assert(sizeof(KestrelTraceEventHeader) == 48, "the classic event trace header");
static_assert(sizeof(KestrelTraceEvent) == KESTREL_TRACE_EVENT_SIZE, "header and descriptors");
static_assert(offsetof(KestrelTraceEventHeader, guid) == 24, "GUID at 24");
static_assert(offsetof(KestrelTraceEventHeader, flags) == 44, "flags at 44");
#endif

#endif /* KESTREL_TRACE_EVENT_H */
