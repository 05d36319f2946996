#include "entry/Glance.h"

#include "logging/Log.h"
#include "tiles/GlanceImpl.h"

namespace Vanta {
namespace {

constexpr const wchar_t* kFile = L"Glance";

} // namespace

MODULE_STATUS createModule(Module** module) {
    constexpr const wchar_t* kFunction = L"Vanta::createModule";
    if (module == nullptr) {
        ETWLogging::logIfEnabled(ETWLogging::kLevelError, kFile, kFunction, __LINE__,
                                 L"Faield to create Glance Module, invalid paramater");
        return MODULE_STATUS_INVALID_PARAMETER;
    }
    try {
        *module = new GlanceImpl();
    } catch (...) {
        ETWLogging::logIfEnabled(ETWLogging::kLevelError, kFile, kFunction, __LINE__,
                                 L"Failed to create Glance Module");
        return MODULE_STATUS_UNSUCCESSFUL;
    }
    ETWLogging::logIfEnabled(ETWLogging::kLevelNormal, kFile, kFunction, __LINE__,
                             L"Successfully created Glance Module");
    return MODULE_STATUS_SUCCESS;
}

void destroyModule(Module* module) {
    delete module;
    ETWLogging::logIfEnabled(ETWLogging::kLevelNormal, kFile, L"Vanta::destroyModule", __LINE__,
                             L"Glance Module destroyed");
}

} // namespace Vanta
