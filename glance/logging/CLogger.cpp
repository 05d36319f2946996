#include "logging/CLogger.h"

#include "logging/CDefaultLoggingHandler.h"
#include "platform/SystemMessage.h"
#include "platform/WideFormatter.h"

#include <atomic>
#include <cstdarg>
#include <new>
#include <string>

namespace Strato {
namespace {

constexpr uint32_t kErrorInvalidParameter = 87;
constexpr uint32_t kErrorInvalidState = 5023;
constexpr const wchar_t* kSourceFile = L"Logging\\internal_logging";

// The one registered handler. Registration happens while the log holder is
// built and during static destruction, so no lock is needed beyond atomicity.
std::atomic<ILoggingHandler*> registeredHandler{nullptr};

// Handlers are printed as their low 32 bits, as the messages' %08X shows them.
uint32_t handlerId(const ILoggingHandler* handler) {
    return static_cast<uint32_t>(reinterpret_cast<uintptr_t>(handler));
}

std::wstring messageText(uint32_t error) {
    return Vanta::systemMessageText(error);
}

} // namespace

ILoggingHandler* CLogger::RegisteredHandler() noexcept {
    return registeredHandler.load();
}

uint32_t CLogger::Log(uint32_t type, const wchar_t* file, const wchar_t* function, int32_t line,
                      const wchar_t* format, ...) {
    ILoggingHandler* handler = registeredHandler.load();
    if (handler == nullptr) {
        handler = &CDefaultLoggingHandler::instance();
        registeredHandler.store(handler);
    }
    std::wstring text;
    bool formatted = true;
    va_list args;
    va_start(args, format);
    try {
        text = formatWideV(format, args);
    } catch (const std::bad_alloc&) {
        formatted = false;
    }
    va_end(args);
    if (!formatted) {
        return handler->Log(kLogTypeError, file, function, line,
                            L"General memory-allocation failure in Strato logger.");
    }
    handler->Log(type, file, function, line, text.c_str());
    return 0;
}

uint32_t CLogger::RegisterHandler(ILoggingHandler* handler) {
    constexpr const wchar_t* kFunction = L"Strato::CLogger::RegisterHandler";
    if (handler == nullptr) {
        Log(kLogTypeError, kSourceFile, kFunction, 62, L"%s: Cannot Register (NULL) handler",
            messageText(kErrorInvalidParameter).c_str());
        return kErrorInvalidParameter;
    }
    ILoggingHandler* current = registeredHandler.load();
    if (current == nullptr || current == handler ||
        current == &CDefaultLoggingHandler::instance()) {
        registeredHandler.store(handler);
        return 0;
    }
    Log(kLogTypeError, kSourceFile, kFunction, 72,
        L"%s: Registered Logging Handler 0x%08X cannot be replaced with 0x%08X",
        messageText(kErrorInvalidState).c_str(), handlerId(current), handlerId(handler));
    return kErrorInvalidState;
}

uint32_t CLogger::UnregisterHandler(ILoggingHandler* handler) {
    constexpr const wchar_t* kFunction = L"Strato::CLogger::UnregisterHandler";
    if (handler == nullptr) {
        Log(kLogTypeError, kSourceFile, kFunction, 97, L"%s: Cannot Unregister (NULL) handler",
            messageText(kErrorInvalidParameter).c_str());
        return kErrorInvalidParameter;
    }
    ILoggingHandler* current = registeredHandler.load();
    if (current == nullptr) {
        // The complaint goes to the handler being unregistered, the only
        // party that can hear it.
        registeredHandler.store(handler);
        Log(kLogTypeError, kSourceFile, kFunction, 107,
            L"%s: Request to Unregister Logging handler 0x%08X, but none are registered",
            messageText(kErrorInvalidState).c_str(), handlerId(handler));
        registeredHandler.store(nullptr);
        return kErrorInvalidState;
    }
    if (current != handler) {
        // Both parties see the failure; the registered handler stays.
        const std::wstring text = messageText(kErrorInvalidState);
        constexpr const wchar_t* kFormat = L"%s: Failed to Unregister Logging handler (requested "
                                           L"handler 0x%08X != registered handler 0x%08X)";
        Log(kLogTypeError, kSourceFile, kFunction, 115, kFormat, text.c_str(), handlerId(handler),
            handlerId(current));
        registeredHandler.store(handler);
        Log(kLogTypeError, kSourceFile, kFunction, 120, kFormat, text.c_str(), handlerId(handler),
            handlerId(current));
        registeredHandler.store(current);
        return kErrorInvalidState;
    }
    registeredHandler.store(nullptr);
    return 0;
}

} // namespace Strato
