/* The string and version resources of a resource library on Linux. An ELF
 * library has no resource section, so the library exports these tables,
 * generated at build time from the same .rc source that the Windows build
 * compiles into the PE file. Texts are UTF-16 code units. */
#ifndef KESTREL_RESOURCE_TABLES_H
#define KESTREL_RESOURCE_TABLES_H

#include <stdint.h>

#ifdef __cplusplus
extern "C" {
#endif

/* One string of the STRINGTABLE: length-counted, not NUL-terminated, as
 * LoadString hands it out. */
typedef struct KestrelStringResource {
    uint32_t id;
    uint32_t length;
    const uint16_t* units;
} KestrelStringResource;

typedef struct KestrelStringTable {
    uint32_t count;
    const KestrelStringResource* entries; /* sorted by id, ids unique */
} KestrelStringTable;

/* One value of a StringFileInfo block; name and value NUL-terminated. */
typedef struct KestrelVersionString {
    uint16_t language;
    uint16_t codePage;
    const uint16_t* name;
    const uint16_t* value;
} KestrelVersionString;

typedef struct KestrelVersionInfo {
    uint16_t fileVersion[4];    /* FILEVERSION: major, minor, build, revision */
    uint16_t productVersion[4]; /* PRODUCTVERSION */
    uint32_t translationCount;
    const uint32_t*
        translations; /* "\VarFileInfo\Translation" in order: language << 16 | code page */
    uint32_t stringCount;
    const KestrelVersionString* strings;
} KestrelVersionInfo;

/* Exported functions, looked up by these names with dlsym. */
#define KESTREL_STRING_TABLE_EXPORT "KestrelGetStringTable"
#define KESTREL_VERSION_INFO_EXPORT "KestrelGetVersionInfo"
typedef const KestrelStringTable* (*KestrelGetStringTableFn)(void);
typedef const KestrelVersionInfo* (*KestrelGetVersionInfoFn)(void);

#ifdef __cplusplus
}
#endif

#endif /* KESTREL_RESOURCE_TABLES_H */
