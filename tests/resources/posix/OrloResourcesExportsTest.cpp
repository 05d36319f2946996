#include "fakes/ThisModule.h"
#include "platform/TextCodec.h"

#include <kestrel/ResourceTables.h>

#include <dlfcn.h>
#include <gtest/gtest.h>

#include <string>

// The Linux resource library exports its tables under the names the header
// promises, with the version information of the .rc source.
TEST(OrloResourcesExports, ExportsStringAndVersionTables) {
    const std::string path = Vanta::toUtf8(testrender::thisModuleFolder() + L"OrloResources.dll");
    void* library = ::dlopen(path.c_str(), RTLD_NOW | RTLD_LOCAL);
    ASSERT_NE(nullptr, library) << ::dlerror();
    const auto strings =
        reinterpret_cast<KestrelGetStringTableFn>(::dlsym(library, KESTREL_STRING_TABLE_EXPORT));
    const auto version =
        reinterpret_cast<KestrelGetVersionInfoFn>(::dlsym(library, KESTREL_VERSION_INFO_EXPORT));
    ASSERT_NE(nullptr, strings);
    ASSERT_NE(nullptr, version);

    const KestrelStringTable* table = strings();
    for (uint32_t i = 1; i < table->count; ++i) {
        EXPECT_LT(table->entries[i - 1].id, table->entries[i].id);
    }
    const KestrelVersionInfo* info = version();
    EXPECT_EQ(1, info->fileVersion[0]);
    EXPECT_EQ(1, info->fileVersion[3]);
    ASSERT_EQ(1u, info->translationCount);
    EXPECT_EQ(0x040904B0u, info->translations[0]);
    std::wstring productName;
    for (uint32_t i = 0; i < info->stringCount; ++i) {
        const KestrelVersionString& s = info->strings[i];
        std::wstring name;
        for (const uint16_t* p = s.name; *p != 0; ++p) {
            name.push_back(*p);
        }
        if (name == L"ProductName") {
            for (const uint16_t* p = s.value; *p != 0; ++p) {
                productName.push_back(*p);
            }
        }
    }
    EXPECT_EQ(L"Glance", productName);
    ::dlclose(library);
}
