// The tile content module: keeps the protection-state record current from the
// suite's status messages and publishes the live tiles after each one. The
// bus delivery threads only queue messages; one worker thread runs every
// handler and rebuilds the tiles after it, in arrival order. The handlers only
// change the record: they publish nothing.
#pragma once

#include "model/ProcState.h"
#include "module/BaseModule.h"
#include "tiles/MessageQueue.h"

#include <cstdint>
#include <functional>
#include <memory>
#include <mutex>
#include <string>
#include <thread>
#include <unordered_map>
#include <vector>

namespace Vanta {

class JSONParser;
class Message;
class RegistryAPI;
class TileContentFormatter;

class GlanceImpl : public BaseModule {
public:
    // A status handler: true when the message was understood and applied.
    using StatusHandler = bool (GlanceImpl::*)(const std::shared_ptr<Message>&);

    // The handler table's entries: nonzero when the message was handled.
    using Handler = std::function<uint32_t(const std::shared_ptr<Message>&)>;

    // Empty collaborators are made here: a new record, a formatter over the default resource
    // library (whose ModuleException propagates), the system registry. Every field of the
    // record is set to its default.
    explicit GlanceImpl(std::shared_ptr<ProcState> procState = {},
                        std::shared_ptr<TileContentFormatter> formatter = {},
                        std::shared_ptr<RegistryAPI> registry = {});
    // A module still started is stopped first.
    ~GlanceImpl() override;
    GlanceImpl(const GlanceImpl&) = delete;
    GlanceImpl& operator=(const GlanceImpl&) = delete;

    // The status messages the module subscribes to, each with its handler. Built once per
    // process, read-only afterwards.
    static const std::unordered_map<std::wstring, StatusHandler>& statusHandlerTable();

    // Fills the handler table and subscribes to every message in it.
    MODULE_STATUS initialize() override;
    // Runs the worker, then asks every status source for its state. A second start while
    // the worker runs answers MODULE_STATUS_INVALID_STATE.
    MODULE_STATUS start() override;
    // Stops accepting messages, lets the worker take every queued one, joins it. Throws
    // std::system_error (resource deadlock) when called on the worker itself.
    MODULE_STATUS stop() override;

    bool subscribeToMessages();
    // The worker's body: handles queued messages until the queue closes.
    void listenForUpdates();
    // Publishes the eight refresh requests, then reads the statistics.
    void refreshStatus();
    // threatsRemoved, threatsDetected, threatsUnresolved, filesScanned and connectionsBlocked
    // from the registry's twelve counters.
    void readStatistics();
    // The "SDSValue" of the key under HKEY_LOCAL_MACHINE; `value` unchanged on failure.
    bool readStatKeyDword(const std::wstring& keyPath, uint64_t& value);
    // Builds and publishes the tiles for the current record: the number of tiles, 0 when
    // nothing was published. A non-null `payload` receives the published text.
    uint32_t createTiles(const std::shared_ptr<std::wstring>& payload);

    // "Core.Protection.State": overallState.
    bool OverallStatusHandler(const std::shared_ptr<Message>& message);
    // "Core.Antivirus.LastScanTime": scanOutOfDate.
    bool LastScanTimeHandler(const std::shared_ptr<Message>& message);
    // "Core.Antivirus.RTSState": rtsRepairing, rtsStarting, rtsState.
    bool RTSStateHandler(const std::shared_ptr<Message>& message);
    // "Core.Firewall.State": firewallState.
    bool fwmodStateHandler(const std::shared_ptr<Message>& message);
    // "Core.Antivirus.DATState": datOutOfDate.
    bool DATStateHandler(const std::shared_ptr<Message>& message);
    // "Core.Update.State": updatesOff.
    bool UpdateStateHandler(const std::shared_ptr<Message>& message);
    // "Core.ProductState.ProductListChange": firewallEnabled, antivirusEnabled.
    bool ProductListChangeHandler(const std::shared_ptr<Message>& message);
    // "Core.ProductState.3rdPartyListChange": firewallActive, antivirusActive.
    bool ThirdPartyListChangeHandler(const std::shared_ptr<Message>& message);

private:
    // Parses the message's user data into json; logs the message as invalid when it is not JSON.
    static bool parseUserData(const std::shared_ptr<Message>& message, JSONParser& json,
                              const wchar_t* function);

    std::thread worker;
    // Shared with the subscription callback, which the bus client may still call while the
    // module's own members go.
    std::shared_ptr<MessageQueue> messageQueue = std::make_shared<MessageQueue>();
    std::unordered_map<std::wstring, Handler> handlers;
    std::vector<std::wstring> subscribedNames; // what initialize subscribed to
    std::shared_ptr<ProcState> procState;
    std::shared_ptr<TileContentFormatter> formatter;
    std::shared_ptr<RegistryAPI> registry;
    // The record is written by the worker and, at start, by the host's thread.
    std::mutex procStateLock;
};

} // namespace Vanta
