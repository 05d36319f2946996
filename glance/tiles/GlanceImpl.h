// The tile content module: keeps the protection-state record current from the
// suite's status messages. Each subscribed status message has one handler; the
// handlers run one at a time on the module's worker thread and only ever
// change the record: they publish nothing.
#pragma once

#include "model/ProcState.h"

#include <memory>
#include <string>
#include <unordered_map>

namespace Vanta {

class JSONParser;
class Message;

class GlanceImpl {
public:
    // A status handler: true when the message was understood and applied.
    using StatusHandler = bool (GlanceImpl::*)(const std::shared_ptr<Message>&);

    // Takes the record it is given (a new one when empty) and sets every field to its default.
    explicit GlanceImpl(std::shared_ptr<ProcState> procState = {});
    virtual ~GlanceImpl();
    GlanceImpl(const GlanceImpl&) = delete;
    GlanceImpl& operator=(const GlanceImpl&) = delete;

    // The status messages the module subscribes to, each with its handler. Built once per
    // process, read-only afterwards.
    static const std::unordered_map<std::wstring, StatusHandler>& statusHandlerTable();

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

    std::shared_ptr<ProcState> procState;
};

} // namespace Vanta
