// The process-wide holder of the multilingual resource loader library,
// "TmRtMui.dll" in the suite's common files. Optional: where it is missing or
// incomplete, availability() says why and ResourceAPI uses the plain calls.
#pragma once

#include "platform/CDllWrapperBase.h"
#include "platform/RtMuiDllInterface.h"

#include <array>
#include <cstddef>

namespace Vanta {

class RtMuiImpl final : public RtMuiDllInterface, public Strato::CDllWrapperBase {
public:
    // Every one of them must resolve for the loader to count as usable.
    static constexpr std::array<const char*, 14> kExportNames = {
        "RtMUIGetMappedLocale", "RtMUILoadLibrary",  "RtMUILoadLibraryEx", "RtMUILoadLibraryImpl",
        "RtMUILoadString",      "RtMUILoadStringEx", "RtMUIFindResource",  "RtMUIFindResourceEx",
        "RtMUILoadImage",       "RtMUILoadImageEx",  "RtMUILoadBitmap",    "RtMUILoadBitmapEx",
        "RtMUILoadIcon",        "RtMUILoadIconEx"};

    // Created on first use, once per process; lives until the exit-time
    // clean-up, which releases and frees the loader library.
    static RtMuiImpl& instance();

    ~RtMuiImpl() override;

    uint32_t availability() const noexcept override { return availability_; }
    bool loadLibrary(const wchar_t* path, ModuleHandle& module) override;
    int32_t loadString(ModuleHandle module, uint32_t id, wchar_t* buffer,
                       int32_t bufferSize) override;

private:
    RtMuiImpl();

    using ExportFn = void (*)();
    // Resolved by the Windows backend; the Linux one answers from the resource files itself.
    [[maybe_unused]] std::array<ExportFn, kExportNames.size()> exports_{};
    uint32_t availability_ = 0;
};

} // namespace Vanta
