// Glance.dll's four exports; nothing else of the library is visible.
#include "entry/ModuleFunctions.h"

#include <kestrel/KestrelExport.h>

extern "C" {

KESTREL_EXPORT const KestrelModuleFunctions* CreateObject(void) {
    return Vanta::moduleFunctions();
}

KESTREL_EXPORT void ReleaseObject(void) {}

KESTREL_EXPORT uint32_t GetVersionNum(void) {
    return KESTREL_MODULE_VERSION_NUM;
}

KESTREL_EXPORT const char* GetVersionStr(void) {
    return KESTREL_MODULE_VERSION_STR;
}

} // extern "C"
