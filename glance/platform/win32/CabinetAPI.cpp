// Windows-only code belongs in this file.
// Cabinet extraction with the FDI functions of Cabinet.dll, loaded by name.
// FDI names files with narrow texts and gives its open callback no context,
// so the cabinet is named by a marker that only the callback of the current
// thread's extraction opens, and the destination is opened by its wide path.
#include "platform/Cabinet.h"

#include "platform/AsciiCase.h"
#include "platform/LibraryHandle.h"
#include "platform/TextCodec.h"
#include "platform/win32/WindowsInclude.h"

#include <fcntl.h>
#include <fdi.h>

#include <cstdlib>
#include <cstring>

namespace Strato {
namespace {

using FdiCreate = decltype(&FDICreate);
using FdiCopy = decltype(&FDICopy);
using FdiDestroy = decltype(&FDIDestroy);

struct CabinetLibrary {
    Vanta::ScopedLibrary library;
    FdiCreate create = nullptr;
    FdiCopy copy = nullptr;
    FdiDestroy destroy = nullptr;

    CabinetLibrary() : library(Vanta::loadLibraryFile(L"Cabinet.dll")) {
        if (library) {
            create = reinterpret_cast<FdiCreate>(Vanta::libraryExport(library.get(), "FDICreate"));
            copy = reinterpret_cast<FdiCopy>(Vanta::libraryExport(library.get(), "FDICopy"));
            destroy =
                reinterpret_cast<FdiDestroy>(Vanta::libraryExport(library.get(), "FDIDestroy"));
        }
    }
    bool usable() const { return create != nullptr && copy != nullptr && destroy != nullptr; }
};

char kCabinetMarker[] = "|cabinet|";

struct Extraction {
    const std::wstring* cabinet;
    const std::wstring* wanted;
    const std::wstring* destination;
    bool extracted = false;
};
thread_local Extraction* currentExtraction = nullptr;

FNALLOC(allocate) {
    return std::malloc(cb);
}
FNFREE(release) {
    std::free(pv);
}
FNOPEN(openFile) {
    (void)oflag;
    (void)pmode;
    if (currentExtraction == nullptr || std::strcmp(pszFile, kCabinetMarker) != 0) {
        return -1; // never a next cabinet or any other file
    }
    HANDLE file = ::CreateFileW(currentExtraction->cabinet->c_str(), GENERIC_READ, FILE_SHARE_READ,
                                nullptr, OPEN_EXISTING, FILE_ATTRIBUTE_NORMAL, nullptr);
    return file == INVALID_HANDLE_VALUE ? -1 : reinterpret_cast<INT_PTR>(file);
}
FNREAD(readFile) {
    DWORD done = 0;
    return ::ReadFile(reinterpret_cast<HANDLE>(hf), pv, cb, &done, nullptr) ? done
                                                                            : static_cast<UINT>(-1);
}
FNWRITE(writeFile) {
    DWORD done = 0;
    return ::WriteFile(reinterpret_cast<HANDLE>(hf), pv, cb, &done, nullptr)
               ? done
               : static_cast<UINT>(-1);
}
FNCLOSE(closeFile) {
    return ::CloseHandle(reinterpret_cast<HANDLE>(hf)) ? 0 : -1;
}
FNSEEK(seekFile) {
    const DWORD position =
        ::SetFilePointer(reinterpret_cast<HANDLE>(hf), dist, nullptr, static_cast<DWORD>(seektype));
    return position == INVALID_SET_FILE_POINTER ? -1 : static_cast<__LONG32>(position);
}

std::wstring entryName(const FDINOTIFICATION& entry) {
    if ((entry.attribs & _A_NAME_IS_UTF) != 0) {
        return Vanta::fromUtf8(entry.psz1);
    }
    return Vanta::fromLatin1(entry.psz1);
}

FNFDINOTIFY(notify) {
    Extraction& extraction = *static_cast<Extraction*>(pfdin->pv);
    switch (fdint) {
    case fdintCOPY_FILE: {
        if (extraction.extracted ||
            !Vanta::equalIgnoringAsciiCase(entryName(*pfdin), *extraction.wanted)) {
            return 0; // skip
        }
        HANDLE file = ::CreateFileW(extraction.destination->c_str(), GENERIC_WRITE, 0, nullptr,
                                    CREATE_ALWAYS, FILE_ATTRIBUTE_NORMAL, nullptr);
        return file == INVALID_HANDLE_VALUE ? -1 : reinterpret_cast<INT_PTR>(file);
    }
    case fdintCLOSE_FILE_INFO: {
        ::CloseHandle(reinterpret_cast<HANDLE>(pfdin->hf));
        const DWORD kept = pfdin->attribs & kCabinetKeptAttributes;
        ::SetFileAttributesW(extraction.destination->c_str(),
                             kept != 0 ? kept : FILE_ATTRIBUTE_NORMAL);
        extraction.extracted = true;
        return TRUE;
    }
    case fdintNEXT_CABINET:
        return -1; // a cabinet set is not a list update
    default:
        return 0;
    }
}

} // namespace

bool CabinetAPI::available() const {
    return CabinetLibrary().usable();
}

bool CabinetAPI::extractEntry(const std::wstring& cabinet, const std::wstring& wanted,
                              const std::wstring& destination) const {
    const CabinetLibrary library;
    if (!library.usable()) {
        return false;
    }
    ERF error{};
    HFDI context = library.create(allocate, release, openFile, readFile, writeFile, closeFile,
                                  seekFile, cpuUNKNOWN, &error);
    if (context == nullptr) {
        return false;
    }
    Extraction extraction{&cabinet, &wanted, &destination};
    currentExtraction = &extraction;
    char noFolder[] = "";
    const BOOL copied =
        library.copy(context, kCabinetMarker, noFolder, 0, notify, nullptr, &extraction);
    currentExtraction = nullptr;
    library.destroy(context);
    return copied && extraction.extracted;
}

} // namespace Strato
