/* The interface of a Kestrel module library towards its host: its exports,
 * the eight-entry module function table that CreateObject hands out, and the
 * module handle. Texts are zero-terminated UTF-16 code units held in wchar_t
 * (also where wchar_t is 32 bits); statuses are module statuses. */
#ifndef KESTREL_MODULE_FUNCTIONS_H
#define KESTREL_MODULE_FUNCTIONS_H

#include <kestrel/MessageBusLibrary.h>
#include <kestrel/ModuleStatus.h>
#include <kestrel/RawMessageHeader.h>

#include <stdint.h>
#include <wchar.h>

#ifdef __cplusplus
extern "C" {
#endif

/* The module's version: 2.1.0 as major * 1000000 + minor * 1000 + patch. */
#define KESTREL_MODULE_VERSION_NUM 2001000u
#define KESTREL_MODULE_VERSION_STR "2.1.0"

/* Exports, looked up by name. */
#define KESTREL_MODULE_EXPORT_CREATE_OBJECT "CreateObject"
#define KESTREL_MODULE_EXPORT_RELEASE_OBJECT "ReleaseObject"
#define KESTREL_MODULE_EXPORT_GET_VERSION_STR "GetVersionStr"
#define KESTREL_MODULE_EXPORT_GET_VERSION_NUM "GetVersionNum"

/* The module handle: created by NewModule, owned by the host until it hands
 * it to DestroyModule; its content is the module's own. */
typedef struct KestrelModule* KestrelModuleHandle;

/* The host's module manager function, held by the module for its own use. */
typedef MODULE_STATUS (*KestrelModuleManagerFn)(void* managerHandle, void* a, void* b, void* c);

typedef MODULE_STATUS (*KestrelNewModuleFn)(KestrelModuleHandle* module, const wchar_t* logGroup);
typedef MODULE_STATUS (*KestrelDestroyModuleFn)(KestrelModuleHandle module);
typedef MODULE_STATUS (*KestrelInitializeModuleFn)(KestrelModuleHandle module, const wchar_t* name,
                                                   const wchar_t* text, uint32_t propertyCount,
                                                   const wchar_t* const* keys,
                                                   const wchar_t* const* values,
                                                   void* managerHandle,
                                                   KestrelModuleManagerFn managerFunction);
typedef MODULE_STATUS (*KestrelModuleStepFn)(KestrelModuleHandle module);
typedef MODULE_STATUS (*KestrelDirectMessageFn)(KestrelModuleHandle module,
                                                const KestrelRawMessageHeader* header,
                                                const wchar_t* name, const wchar_t* sender,
                                                const wchar_t* data);
typedef MODULE_STATUS (*KestrelInitializeModuleV2Fn)(
    KestrelModuleHandle module, const wchar_t* name, const wchar_t* text, uint32_t propertyCount,
    const wchar_t* const* keys, const wchar_t* const* values, void* managerHandle,
    KestrelModuleManagerFn managerFunction, KestrelBusHandle busHandle,
    const KestrelMessageBusFunctions* busFunctions);

/* The eight-entry table, in entry order. */
typedef struct KestrelModuleFunctions {
    KestrelNewModuleFn newModule;                   /* 0 */
    KestrelDestroyModuleFn destroyModule;           /* 1 */
    KestrelInitializeModuleFn initializeModule;     /* 2: the module opens the bus itself */
    KestrelModuleStepFn startModule;                /* 3 */
    KestrelModuleStepFn stopModule;                 /* 4 */
    KestrelModuleStepFn uninitializeModule;         /* 5 */
    KestrelDirectMessageFn directMessage;           /* 6 */
    KestrelInitializeModuleV2Fn initializeModuleV2; /* 7: the host hands over an open bus */
} KestrelModuleFunctions;

KESTREL_STATIC_ASSERT(sizeof(KestrelModuleFunctions) == 8 * sizeof(void*),
                      "the module function table has eight pointer-sized entries");

typedef const KestrelModuleFunctions* (*KestrelModuleCreateObjectFn)(void);
typedef void (*KestrelModuleReleaseObjectFn)(void);
typedef const char* (*KestrelModuleGetVersionStrFn)(void);
typedef uint32_t (*KestrelModuleGetVersionNumFn)(void);

#ifdef __cplusplus
}
#endif

#endif /* KESTREL_MODULE_FUNCTIONS_H */
