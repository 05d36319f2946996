// POSIX-only code belongs in this file.
#include "platform/ResourceAPI.h"

#include "platform/AsciiCase.h"
#include "platform/RtMuiImpl.h"
#include "platform/TextCodec.h"
#include "platform/posix/SystemError.h"

#include <kestrel/ResourceTables.h>

#include <algorithm>
#include <cerrno>
#include <climits>
#include <cstring>
#include <dlfcn.h>
#include <link.h>
#include <memory>
#include <mutex>
#include <string>
#include <sys/stat.h>
#include <unistd.h>
#include <unordered_map>
#include <vector>

namespace Vanta {
namespace {

constexpr uint32_t kErrorInvalidHandle = 6;
constexpr uint32_t kErrorNotSupported = 50;
constexpr uint32_t kErrorInvalidParameter = 87;
constexpr uint32_t kErrorInsufficientBuffer = 122;
constexpr uint32_t kErrorModNotFound = 126;
constexpr uint32_t kErrorResourceTypeNotFound = 1813;
constexpr uint32_t kErrorResourceNameNotFound = 1814;

// The Windows last error of the calling thread, for this layer's calls.
thread_local uint32_t tLastError = 0;

uint32_t fail(uint32_t error) {
    tLastError = error;
    return 0;
}

// The string tables of the resource libraries loaded through this layer.
// wchar_t is 32 bits here, so the library's UTF-16 units are widened once
// per load; the texts stay put until the last matching free, which keeps
// LoadString's promise that a handed-out pointer lives as long as the library.
class LoadedLibraries {
public:
    static LoadedLibraries& instance() {
        // Never destroyed: libraries may be freed by other static destructors.
        static LoadedLibraries* const libraries = new LoadedLibraries;
        return *libraries;
    }

    void added(void* handle, const std::string& path) {
        std::lock_guard lock(mutex_);
        std::unique_ptr<Entry>& entry = entries_[handle];
        if (!entry) {
            entry = std::make_unique<Entry>();
            entry->path = path;
            entry->hasTable = readTable(handle, *entry);
        }
        ++entry->references;
    }

    // False for a handle that this layer did not load.
    bool removed(void* handle) {
        std::lock_guard lock(mutex_);
        const auto it = entries_.find(handle);
        if (it == entries_.end()) {
            return false;
        }
        if (--it->second->references == 0) {
            entries_.erase(it);
        }
        return true;
    }

    // Null with the last error set when the handle or the id is unknown.
    const std::wstring* find(void* handle, uint32_t id) {
        std::lock_guard lock(mutex_);
        const auto it = entries_.find(handle);
        if (it == entries_.end()) {
            fail(kErrorInvalidHandle);
            return nullptr;
        }
        const Entry& entry = *it->second;
        if (!entry.hasTable) {
            fail(kErrorResourceTypeNotFound);
            return nullptr;
        }
        const auto pos = std::lower_bound(entry.ids.begin(), entry.ids.end(), id);
        if (pos == entry.ids.end() || *pos != id) {
            fail(kErrorResourceNameNotFound);
            return nullptr;
        }
        return &entry.texts[static_cast<size_t>(pos - entry.ids.begin())];
    }

    bool pathOf(void* handle, std::string& path) {
        std::lock_guard lock(mutex_);
        const auto it = entries_.find(handle);
        if (it == entries_.end()) {
            return false;
        }
        path = it->second->path;
        return true;
    }

private:
    struct Entry {
        size_t references = 0;
        std::string path;
        bool hasTable = false;
        std::vector<uint32_t> ids;
        std::vector<std::wstring> texts;
    };

    static bool readTable(void* handle, Entry& entry) {
        const auto get =
            reinterpret_cast<KestrelGetStringTableFn>(::dlsym(handle, KESTREL_STRING_TABLE_EXPORT));
        const KestrelStringTable* table = get != nullptr ? get() : nullptr;
        if (table == nullptr) {
            return false;
        }
        std::vector<std::pair<uint32_t, std::wstring>> strings;
        for (uint32_t i = 0; i < table->count; ++i) {
            const KestrelStringResource& s = table->entries[i];
            strings.emplace_back(s.id, std::wstring(s.units, s.units + s.length));
        }
        std::sort(strings.begin(), strings.end(),
                  [](const auto& a, const auto& b) { return a.first < b.first; });
        for (auto& [id, text] : strings) {
            entry.ids.push_back(id);
            entry.texts.push_back(std::move(text));
        }
        return true;
    }

    std::mutex mutex_;
    std::unordered_map<void*, std::unique_ptr<Entry>> entries_;
};

std::string executablePath() {
    std::string path(PATH_MAX, '\0');
    const ssize_t length = ::readlink("/proc/self/exe", path.data(), path.size());
    path.resize(length > 0 ? static_cast<size_t>(length) : 0);
    return path;
}

// A loaded object as this layer names it: the address where its first
// segment is mapped (what dladdr reports as its base) and its path.
struct LoadedObject {
    void* base;
    std::string path;
};

std::vector<LoadedObject> loadedObjects() {
    std::vector<LoadedObject> objects;
    ::dl_iterate_phdr(
        [](dl_phdr_info* info, size_t, void* data) {
            ElfW(Addr) lowest = ~ElfW(Addr){0};
            for (ElfW(Half) i = 0; i < info->dlpi_phnum; ++i) {
                if (info->dlpi_phdr[i].p_type == PT_LOAD) {
                    lowest = std::min(lowest, info->dlpi_phdr[i].p_vaddr);
                }
            }
            if (lowest == ~ElfW(Addr){0}) {
                return 0;
            }
            const auto page = static_cast<ElfW(Addr)>(::sysconf(_SC_PAGESIZE));
            auto* base = reinterpret_cast<void*>(info->dlpi_addr + (lowest & ~(page - 1)));
            const char* name = info->dlpi_name != nullptr ? info->dlpi_name : "";
            static_cast<std::vector<LoadedObject>*>(data)->push_back(
                {base, *name != '\0' ? std::string(name) : executablePath()});
            return 0;
        },
        &objects);
    return objects;
}

std::wstring baseName(const std::wstring& path) {
    const size_t slash = path.find_last_of(L'/');
    return slash == std::wstring::npos ? path : path.substr(slash + 1);
}

} // namespace

bool ResourceAPI::loadLibrary(const wchar_t* path, ModuleHandle& module) {
    RtMuiImpl& mui = RtMuiImpl::instance();
    if (mui.availability() == 0) {
        return mui.loadLibrary(path, module);
    }
    if (path == nullptr) {
        return fail(kErrorInvalidParameter) != 0;
    }
    const std::string narrow = toUtf8(path);
    void* handle = ::dlopen(narrow.c_str(), RTLD_NOW | RTLD_LOCAL);
    if (handle == nullptr) {
        struct stat info {};
        return fail(::stat(narrow.c_str(), &info) == 0 ? kErrorModNotFound
                                                       : internal::errorFromErrno(errno)) != 0;
    }
    LoadedLibraries::instance().added(handle, narrow);
    module = handle;
    return true;
}

int32_t ResourceAPI::loadString(ModuleHandle module, uint32_t id, wchar_t* buffer,
                                int32_t bufferSize) {
    RtMuiImpl& mui = RtMuiImpl::instance();
    if (mui.availability() == 0) {
        return mui.loadString(module, id, buffer, bufferSize);
    }
    if (buffer == nullptr || bufferSize < 0) {
        return static_cast<int32_t>(fail(kErrorInvalidParameter));
    }
    const std::wstring* text = LoadedLibraries::instance().find(module, id);
    if (text == nullptr) {
        if (bufferSize > 0) {
            buffer[0] = L'\0';
        }
        return 0;
    }
    if (bufferSize == 0) {
        *reinterpret_cast<const wchar_t**>(buffer) = text->data();
        return static_cast<int32_t>(text->size());
    }
    const size_t count = std::min(text->size(), static_cast<size_t>(bufferSize) - 1);
    std::copy_n(text->data(), count, buffer);
    buffer[count] = L'\0';
    return static_cast<int32_t>(count);
}

ModuleHandle ResourceAPI::getModuleHandle(const wchar_t* moduleName) {
    if (moduleName == nullptr) {
        return nullptr;
    }
    for (const LoadedObject& object : loadedObjects()) {
        // Module names compare without regard to ASCII letter case, as on Windows.
        if (equalIgnoringAsciiCase(baseName(fromUtf8(object.path)), moduleName)) {
            return object.base;
        }
    }
    fail(kErrorModNotFound);
    return nullptr;
}

uint32_t ResourceAPI::getModuleFileName(ModuleHandle module, wchar_t* buffer, uint32_t bufferSize) {
    std::string path;
    if (!LoadedLibraries::instance().pathOf(module, path)) {
        for (const LoadedObject& object : loadedObjects()) {
            if (object.base == module) {
                path = object.path;
                break;
            }
        }
    }
    if (path.empty()) {
        return fail(kErrorModNotFound);
    }
    if (buffer == nullptr || bufferSize == 0) {
        return fail(kErrorInsufficientBuffer);
    }
    // As on Windows: a path that does not fit is cut, NUL-terminated, and
    // the whole buffer size is answered with ERROR_INSUFFICIENT_BUFFER.
    const std::wstring wide = fromUtf8(path);
    const size_t count = std::min<size_t>(wide.size(), bufferSize - 1);
    std::copy_n(wide.data(), count, buffer);
    buffer[count] = L'\0';
    if (count < wide.size()) {
        tLastError = kErrorInsufficientBuffer;
        return bufferSize;
    }
    return static_cast<uint32_t>(count);
}

bool ResourceAPI::pathFileExists(const wchar_t* path) {
    if (path == nullptr) {
        return fail(kErrorInvalidParameter) != 0;
    }
    struct stat info {};
    if (::stat(toUtf8(path).c_str(), &info) != 0) {
        return fail(internal::errorFromErrno(errno)) != 0;
    }
    return true;
}

bool ResourceAPI::freeLibrary(ModuleHandle module) {
    // Only handles from loadLibrary are dlopen handles; anything else would
    // make dlclose read arbitrary memory.
    if (!LoadedLibraries::instance().removed(module) || ::dlclose(module) != 0) {
        return fail(kErrorInvalidHandle) != 0;
    }
    return true;
}

bool ResourceAPI::closeHandle(void*) {
    return fail(kErrorNotSupported) != 0;
}

uint32_t ResourceAPI::getLastError() {
    return tLastError;
}

} // namespace Vanta
