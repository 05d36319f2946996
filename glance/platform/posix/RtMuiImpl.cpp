// POSIX-only code belongs in this file.
#include "platform/RtMuiImpl.h"

namespace Vanta {
namespace {

constexpr uint32_t kErrorNotSupported = 50;

} // namespace

RtMuiImpl& RtMuiImpl::instance() {
    static RtMuiImpl holder;
    return holder;
}

// The suite ships no multilingual loader for Linux: the resource library's
// own tables are the complete behaviour, as when the loader is missing.
RtMuiImpl::RtMuiImpl() : availability_(kErrorNotSupported) {}

RtMuiImpl::~RtMuiImpl() = default;

bool RtMuiImpl::loadLibrary(const wchar_t*, ModuleHandle&) {
    return false;
}

int32_t RtMuiImpl::loadString(ModuleHandle, uint32_t, wchar_t*, int32_t) {
    return 0;
}

} // namespace Vanta
