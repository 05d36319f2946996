/* The interface of the host's message bus library: its exports, the function
 * table that CreateObject hands out and the two callbacks the library calls.
 * Texts are zero-terminated UTF-16 code units held in wchar_t (also where
 * wchar_t is 32 bits); statuses are module statuses. */
#ifndef KESTREL_MESSAGE_BUS_LIBRARY_H
#define KESTREL_MESSAGE_BUS_LIBRARY_H

#include <kestrel/ModuleStatus.h>
#include <kestrel/RawMessageHeader.h>

#include <stdint.h>
#include <wchar.h>

#ifdef __cplusplus
extern "C" {
#endif

/* The interface version passed to CreateObject: 2.1.0 as
 * major * 1000000 + minor * 1000 + patch. */
#define KESTREL_MESSAGE_BUS_INTERFACE_VERSION 2001000u

/* Exports, looked up by name; all four must be present. */
#define KESTREL_BUS_EXPORT_CREATE_OBJECT "CreateObject"
#define KESTREL_BUS_EXPORT_RELEASE_OBJECT "ReleaseObject"
#define KESTREL_BUS_EXPORT_GET_VERSION_STR "GetVersionStr"
#define KESTREL_BUS_EXPORT_GET_VERSION_NUM "GetVersionNum"

typedef void* KestrelBusHandle;
/* 0 means the subscription failed. */
typedef uint32_t KestrelSubscriptionId;

/* One delivery for a subscription, with the context given when subscribing.
 * The header is 108 bytes for version 2; other versions are only 100 bytes. */
typedef MODULE_STATUS (*KestrelMessageCallback)(void* context,
                                                const KestrelRawMessageHeader* header,
                                                const wchar_t* name, const wchar_t* sender,
                                                const wchar_t* data);

/* The answer to the request made with replyIndex. A non-zero replyStatus
 * (MODULE_STATUS_TIMEOUT for a timed-out request) carries no message: header
 * and texts are then not read and may be null. */
typedef MODULE_STATUS (*KestrelReplyCallback)(void* context, uint64_t replyIndex,
                                              const KestrelRawMessageHeader* header,
                                              const wchar_t* name, const wchar_t* sender,
                                              const wchar_t* data, MODULE_STATUS replyStatus);

typedef MODULE_STATUS (*KestrelBusOpenFn)(KestrelBusHandle* handle);
typedef MODULE_STATUS (*KestrelBusReleaseFn)(KestrelBusHandle handle);
typedef MODULE_STATUS (*KestrelBusPublishFn)(KestrelBusHandle handle,
                                             KestrelRawMessageHeader* header, const wchar_t* name,
                                             const wchar_t* sender, const wchar_t* data);
typedef MODULE_STATUS (*KestrelBusRequestFn)(KestrelBusHandle handle, uint64_t replyIndex,
                                             void* context, KestrelReplyCallback replyCallback,
                                             KestrelRawMessageHeader* header, const wchar_t* name,
                                             const wchar_t* sender, const wchar_t* data,
                                             uint64_t timeoutMs);
typedef KestrelSubscriptionId (*KestrelBusSubscribeFn)(KestrelBusHandle handle, void* context,
                                                       KestrelMessageCallback callback,
                                                       const wchar_t* nameOrPattern);
typedef MODULE_STATUS (*KestrelBusUnsubscribeFn)(KestrelBusHandle handle, KestrelSubscriptionId id);
typedef MODULE_STATUS (*KestrelBusDropRepliesFn)(KestrelBusHandle handle,
                                                 KestrelReplyCallback replyCallback);

/* The ten-entry table, in entry order. */
typedef struct KestrelMessageBusFunctions {
    KestrelBusOpenFn open;                 /* 0: fills the handle, 0 on success */
    KestrelBusReleaseFn release;           /* 1: last call before unloading */
    KestrelBusPublishFn publish;           /* 2 */
    KestrelBusRequestFn request;           /* 3 */
    KestrelBusSubscribeFn subscribe;       /* 4: by exact message name */
    KestrelBusSubscribeFn subscribeFilter; /* 5: by name pattern */
    KestrelBusUnsubscribeFn unsubscribe;   /* 6: result ignored by callers */
    KestrelBusDropRepliesFn dropReplies;   /* 7: result ignored by callers */
    KestrelBusPublishFn publishEx;         /* 8: second publish form */
    KestrelBusRequestFn requestEx;         /* 9: second request form */
} KestrelMessageBusFunctions;

KESTREL_STATIC_ASSERT(sizeof(KestrelMessageBusFunctions) == 10 * sizeof(void*),
                      "the bus function table has ten pointer-sized entries");

/* The exports. CreateObject answers the table for a supported interface
 * version, else null; the table lives as long as the library. */
typedef const KestrelMessageBusFunctions* (*KestrelBusCreateObjectFn)(uint32_t interfaceVersion);
typedef void (*KestrelBusReleaseObjectFn)(void);
typedef const char* (*KestrelBusGetVersionStrFn)(void);
typedef uint32_t (*KestrelBusGetVersionNumFn)(void);

#ifdef __cplusplus
}
#endif

#endif /* KESTREL_MESSAGE_BUS_LIBRARY_H */
