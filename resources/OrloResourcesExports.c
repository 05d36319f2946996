/* The Linux build of the resource library: an ELF library has no resource
 * section, so it exports the tables generated from OrloResources.rc. */
#include "OrloResourcesTables.h"

#define ORLO_EXPORT __attribute__((visibility("default")))

ORLO_EXPORT const KestrelStringTable* KestrelGetStringTable(void) {
    return &kestrel_string_table;
}

ORLO_EXPORT const KestrelVersionInfo* KestrelGetVersionInfo(void) {
    return &kestrel_version_info;
}
