#include "tiles/GlanceImpl.h"

#include "logging/Log.h"
#include "messagebus/Message.h"
#include "model/TileSelection.h"
#include "platform/RegistryAPI.h"
#include "render/TileContentFormatter.h"

#include <array>
#include <exception>
#include <system_error>
#include <utility>

namespace Vanta {

using ETWLogging::kLevelError;
using ETWLogging::kLevelInformation;
using ETWLogging::kLevelNormal;
using ETWLogging::kLevelWarning;
using ETWLogging::logIfEnabled;

namespace {

constexpr const wchar_t* kLogFile = L"GlanceImpl";

// Asked for at start, in this order, so that the first tiles are built from fresh data.
constexpr std::array<const wchar_t*, 8> kRefreshRequests = {
    L"Core.Antivirus.RefreshLastScanTime",
    L"Core.ProductState.RefreshProductList",
    L"Core.ProductState.Refresh3rdPartyList",
    L"Core.Antivirus.RefreshRTSState",
    L"Core.Firewall.RefreshState",
    L"Core.Antivirus.RefreshDATState",
    L"Core.Update.RefreshState",
    L"Core.Protection.RefreshState",
};

// The twelve activity counters, in the order they are read: five resolved, five detected,
// files scanned, inbound connections blocked.
struct StatisticsKeys {
    std::array<std::wstring, 5> resolved;
    std::array<std::wstring, 5> detected;
    std::wstring filesScanned;
    std::wstring connectionsBlocked;
};

const StatisticsKeys& statisticsKeys() {
    static const StatisticsKeys keys = [] {
        const std::wstring stats = L"SOFTWARE\\Talmor\\Zalvo\\Settings\\Stats\\";
        const std::wstring report = stats + L"avmod\\Activity\\ScanReport\\";
        StatisticsKeys built;
        const wchar_t* const kinds[] = {L"RootKits", L"TrackingCookies", L"Trojans",
                                        L"UnwantedProgram", L"Virus"};
        for (size_t i = 0; i < built.resolved.size(); ++i) {
            built.resolved[i] = report + kinds[i] + L"Resolved";
            built.detected[i] = report + kinds[i] + L"Detected";
        }
        built.filesScanned = report + L"TotalItemScanned";
        built.connectionsBlocked = stats + L"fwmod\\Activity\\TotalInboundConnectionBlocked";
        return built;
    }();
    return keys;
}

} // namespace

GlanceImpl::GlanceImpl(std::shared_ptr<ProcState> state,
                       std::shared_ptr<TileContentFormatter> tileFormatter,
                       std::shared_ptr<RegistryAPI> registryApi)
    : procState(state ? std::move(state) : std::make_shared<ProcState>()),
      formatter(tileFormatter ? std::move(tileFormatter)
                              : std::make_shared<TileContentFormatter>(nullptr)),
      registry(registryApi ? std::move(registryApi) : std::make_shared<RegistryAPI>()) {
    *procState = makeDefaultProcState();
}

GlanceImpl::~GlanceImpl() {
    if (!worker.joinable()) {
        return;
    }
    logIfEnabled(kLevelWarning, kLogFile, L"Vanta::GlanceImpl::~GlanceImpl", __LINE__,
                 L"Module destroyed while started: stopping it");
    if (worker.get_id() == std::this_thread::get_id()) {
        // The worker cannot wait for itself; it ends on its own once the queue is closed.
        messageQueue->close(false);
        worker.detach();
        return;
    }
    messageQueue->close();
    worker.join();
}

MODULE_STATUS GlanceImpl::initialize() {
    handlers.clear();
    for (const auto& [messageName, handler] : statusHandlerTable()) {
        handlers.emplace(messageName,
                         [this, handler = handler](const std::shared_ptr<Message>& message) {
                             bool handled = false;
                             {
                                 std::lock_guard lock(procStateLock);
                                 handled = (this->*handler)(message);
                             }
                             createTiles(nullptr);
                             return handled ? 1u : 0u;
                         });
    }
    if (!subscribeToMessages()) {
        logIfEnabled(kLevelError, kLogFile, L"Vanta::GlanceImpl::initialize", __LINE__,
                     L"Could not subscribe to required messages");
        return MODULE_STATUS_UNSUCCESSFUL;
    }
    return MODULE_STATUS_SUCCESS;
}

bool GlanceImpl::subscribeToMessages() {
    // A second initialize replaces the subscriptions of the first: every message once.
    for (const std::wstring& subscribed : subscribedNames) {
        unsubscribe(subscribed);
    }
    subscribedNames.clear();
    // The callback holds the queue, not the module: see messageQueue.
    const MessageCallback queueIt = [queue = messageQueue](std::shared_ptr<Message> message) {
        queue->push(std::move(message));
        return MODULE_STATUS_SUCCESS;
    };
    for (const auto& entry : handlers) {
        if (subscribe(entry.first, queueIt) != MODULE_STATUS_SUCCESS) {
            logIfEnabled(kLevelError, kLogFile, L"Vanta::GlanceImpl::subscribeToMessages", __LINE__,
                         L"Failed to subscribe to all messages");
            return false;
        }
        subscribedNames.push_back(entry.first);
    }
    return true;
}

MODULE_STATUS GlanceImpl::start() {
    if (worker.joinable()) {
        logIfEnabled(kLevelError, kLogFile, L"Vanta::GlanceImpl::start", __LINE__,
                     L"Module already started");
        return MODULE_STATUS_INVALID_STATE;
    }
    worker = std::thread([this] { listenForUpdates(); });
    refreshStatus();
    return MODULE_STATUS_SUCCESS;
}

MODULE_STATUS GlanceImpl::stop() {
    // Before anything closes: the worker would wait for its own queue to drain.
    if (worker.joinable() && worker.get_id() == std::this_thread::get_id()) {
        throw std::system_error(std::make_error_code(std::errc::resource_deadlock_would_occur));
    }
    // Without a worker nobody takes the queued messages: close without waiting for them.
    messageQueue->close(worker.joinable());
    if (worker.joinable()) {
        worker.join();
    }
    return MODULE_STATUS_SUCCESS;
}

void GlanceImpl::listenForUpdates() {
    constexpr const wchar_t* kFunction = L"Vanta::GlanceImpl::listenForUpdates";
    std::shared_ptr<Message> message;
    while (messageQueue->pop(message)) {
        if (!message) {
            continue;
        }
        const auto handler = handlers.find(message->getName());
        if (handler == handlers.end()) {
            continue;
        }
        uint32_t handled = 0;
        try {
            handled = handler->second(message);
        } catch (const std::exception& error) {
            // Out of memory, say: this message fails, the worker goes on.
            logIfEnabled(kLevelError, kLogFile, kFunction, __LINE__,
                         L"Exception while handling %ls [caught: %hs]", message->getName().c_str(),
                         error.what());
        }
        if (handled != 0) {
            logIfEnabled(kLevelNormal, kLogFile, kFunction, __LINE__, L"Handled message %ls",
                         message->getName().c_str());
        } else {
            logIfEnabled(kLevelError, kLogFile, kFunction, __LINE__,
                         L"Message handling failed for message: %ls", message->getName().c_str());
        }
    }
}

void GlanceImpl::refreshStatus() {
    for (const wchar_t* request : kRefreshRequests) {
        if (publish(createMessage(request, L"Glance Module", L"")) != MODULE_STATUS_SUCCESS) {
            logIfEnabled(kLevelError, kLogFile, L"Vanta::GlanceImpl::refreshStatus", __LINE__,
                         L"Failed to publish refresh message %ls", request);
        }
    }
    readStatistics();
}

bool GlanceImpl::readStatKeyDword(const std::wstring& keyPath, uint64_t& value) {
    uint32_t read = 0;
    if (registry->getDwordValue(keyPath, L"SDSValue", read) != MODULE_STATUS_SUCCESS) {
        logIfEnabled(kLevelInformation, kLogFile, L"Vanta::GlanceImpl::readStatKeyDword", __LINE__,
                     L"Failed to read statistics from %ls", keyPath.c_str());
        return false;
    }
    value = read;
    return true;
}

void GlanceImpl::readStatistics() {
    // Read outside the record's lock: the registry may be slow, the record must not wait.
    const StatisticsKeys& keys = statisticsKeys();
    const auto sum = [this](const auto& paths) {
        uint64_t total = 0;
        for (const std::wstring& key : paths) {
            uint64_t value = 0;
            readStatKeyDword(key, value);
            total += value;
        }
        return total;
    };
    const uint64_t removed = sum(keys.resolved);
    const uint64_t detected = sum(keys.detected);
    uint64_t filesScanned = 0;
    const bool haveFiles = readStatKeyDword(keys.filesScanned, filesScanned);
    uint64_t connectionsBlocked = 0;
    const bool haveConnections = readStatKeyDword(keys.connectionsBlocked, connectionsBlocked);

    std::lock_guard lock(procStateLock);
    procState->threatsRemoved = removed;
    procState->threatsDetected = detected;
    procState->threatsUnresolved = detected > removed;
    if (haveFiles) {
        procState->filesScanned = filesScanned;
    }
    if (haveConnections) {
        procState->connectionsBlocked = connectionsBlocked;
    }
}

uint32_t GlanceImpl::createTiles(const std::shared_ptr<std::wstring>& payload) {
    constexpr const wchar_t* kFunction = L"Vanta::GlanceImpl::createTiles";
    readStatistics();
    ProcState state;
    {
        std::lock_guard lock(procStateLock);
        state = *procState;
    }
    const std::vector<TileContent> tiles = selectTileContents(state);
    std::wstring text;
    if (!formatter->getTilesPayload(tiles, state, text)) {
        logIfEnabled(kLevelError, kLogFile, kFunction, __LINE__,
                     L"Failed to generate tile payload.");
        return 0;
    }
    if (publish(createMessage(kProcessedMessageName, L"GlanceImpl", text)) !=
        MODULE_STATUS_SUCCESS) {
        logIfEnabled(kLevelError, kLogFile, kFunction, __LINE__,
                     L"Failed to publish tile payload.");
        return 0;
    }
    if (payload) {
        *payload = std::move(text);
    }
    return static_cast<uint32_t>(tiles.size());
}

} // namespace Vanta
