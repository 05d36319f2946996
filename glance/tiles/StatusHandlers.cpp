// The status handlers of GlanceImpl: each reads one status message's user data
// and updates the protection-state record.
#include "tiles/GlanceImpl.h"

#include "logging/Log.h"
#include "messagebus/Message.h"
#include "model/JSONParser.h"

namespace Vanta {

using ETWLogging::kLevelError;
using ETWLogging::logIfEnabled;

namespace {

constexpr const wchar_t* kLogFile = L"GlanceImpl";

// Handler texts carry no arguments; each is its own format.
void logError(const wchar_t* function, int32_t line, const wchar_t* text) {
    logIfEnabled(kLevelError, kLogFile, function, line, text);
}

// A product counts as protecting unless its state says "off"; the suite's own products always
// count, whatever they report.
bool thirdPartyActive(const std::wstring& productName, const std::wstring& state) {
    if (productName.find(L"Talmor") != std::wstring::npos) {
        return true;
    }
    return state != L"off";
}

} // namespace

const std::unordered_map<std::wstring, GlanceImpl::StatusHandler>&
GlanceImpl::statusHandlerTable() {
    static const std::unordered_map<std::wstring, StatusHandler> table{
        {L"Core.Protection.State", &GlanceImpl::OverallStatusHandler},
        {L"Core.Antivirus.LastScanTime", &GlanceImpl::LastScanTimeHandler},
        {L"Core.Antivirus.RTSState", &GlanceImpl::RTSStateHandler},
        {L"Core.Firewall.State", &GlanceImpl::fwmodStateHandler},
        {L"Core.Antivirus.DATState", &GlanceImpl::DATStateHandler},
        {L"Core.Update.State", &GlanceImpl::UpdateStateHandler},
        {L"Core.ProductState.ProductListChange", &GlanceImpl::ProductListChangeHandler},
        {L"Core.ProductState.3rdPartyListChange", &GlanceImpl::ThirdPartyListChangeHandler},
    };
    return table;
}

bool GlanceImpl::parseUserData(const std::shared_ptr<Message>& message, JSONParser& json,
                               const wchar_t* function) {
    if (!message) {
        return false;
    }
    if (json.parse(message->getData())) {
        return true;
    }
    logIfEnabled(kLevelError, kLogFile, function, __LINE__,
                 L"Invalid message: %ls with UserData %ls", message->getName().c_str(),
                 message->getData().c_str());
    return false;
}

bool GlanceImpl::OverallStatusHandler(const std::shared_ptr<Message>& message) {
    constexpr const wchar_t* kFunction = L"Vanta::GlanceImpl::OverallStatusHandler";
    JSONParser json;
    if (!parseUserData(message, json, kFunction)) {
        return false;
    }
    std::wstring state;
    if (!json.getString(L"state", state)) {
        logError(kFunction, __LINE__, L"Missing state from protection status");
        return false;
    }
    procState->overallState = state == L"red" ? 1 : state == L"gray" ? 2 : 0;
    return true;
}

bool GlanceImpl::LastScanTimeHandler(const std::shared_ptr<Message>& message) {
    constexpr const wchar_t* kFunction = L"Vanta::GlanceImpl::LastScanTimeHandler";
    JSONParser json;
    if (!parseUserData(message, json, kFunction)) {
        return false;
    }
    // A missing or mistyped value leaves the record as it is, and still counts as handled.
    bool outOfDate = false;
    if (json.getBool(L"scan_out_of_date", outOfDate)) {
        procState->scanOutOfDate = outOfDate;
    }
    return true;
}

bool GlanceImpl::RTSStateHandler(const std::shared_ptr<Message>& message) {
    constexpr const wchar_t* kFunction = L"Vanta::GlanceImpl::RTSStateHandler";
    JSONParser json;
    if (!parseUserData(message, json, kFunction)) {
        return false;
    }
    std::wstring state;
    if (!json.getString(L"state", state)) {
        logError(kFunction, __LINE__, L"Missing state from RTSState");
        return false;
    }
    std::wstring repair;
    if (!json.getString(L"repair", repair)) {
        logError(kFunction, __LINE__, L"Missing repair from RTSState");
        return false;
    }
    bool starting = false;
    if (!json.getBool(L"starting", starting)) {
        logError(kFunction, __LINE__, L"Missing starting from RTSState");
        return false;
    }
    if (repair == L"on") {
        procState->rtsRepairing = true;
    } else if (repair == L"off") {
        procState->rtsRepairing = false;
    } else {
        return false;
    }
    procState->rtsStarting = starting;
    // The two flags above stay set even when the state text is not understood.
    if (state == L"on") {
        procState->rtsState = 0;
    } else if (state == L"off") {
        procState->rtsState = procState->rtsRepairing || procState->rtsStarting ? 2 : 1;
    } else {
        return false;
    }
    return true;
}

bool GlanceImpl::fwmodStateHandler(const std::shared_ptr<Message>& message) {
    constexpr const wchar_t* kFunction = L"Vanta::GlanceImpl::fwmodStateHandler";
    JSONParser json;
    if (!parseUserData(message, json, kFunction)) {
        return false;
    }
    std::wstring state;
    if (!json.getString(L"state", state)) {
        logError(kFunction, __LINE__, L"Missing state from fwmodState");
        return false;
    }
    bool offByUser = false;
    if (!json.getBool(L"off_by_user", offByUser)) {
        logError(kFunction, __LINE__, L"Missing off_by_user from fwmodState");
        return false;
    }
    if (state == L"on") {
        procState->firewallState = 0;
    } else if (state == L"off") {
        procState->firewallState = offByUser ? 2 : 1;
    } else {
        return false;
    }
    return true;
}

bool GlanceImpl::DATStateHandler(const std::shared_ptr<Message>& message) {
    constexpr const wchar_t* kFunction = L"Vanta::GlanceImpl::DATStateHandler";
    JSONParser json;
    if (!parseUserData(message, json, kFunction)) {
        return false;
    }
    bool outOfDate = false;
    if (!json.getBool(L"dat_out_of_date", outOfDate)) {
        logError(kFunction, __LINE__, L"Missing dat_out_of_date from DATState");
        return false;
    }
    procState->datOutOfDate = outOfDate;
    return true;
}

bool GlanceImpl::UpdateStateHandler(const std::shared_ptr<Message>& message) {
    constexpr const wchar_t* kFunction = L"Vanta::GlanceImpl::UpdateStateHandler";
    JSONParser json;
    if (!parseUserData(message, json, kFunction)) {
        return false;
    }
    std::wstring state;
    if (!json.getString(L"state", state)) {
        logError(kFunction, __LINE__, L"Missing state from Update Status");
        return false;
    }
    if (state == L"on") {
        procState->updatesOff = false;
    } else if (state == L"off") {
        procState->updatesOff = true;
    } else {
        return false;
    }
    return true;
}

bool GlanceImpl::ProductListChangeHandler(const std::shared_ptr<Message>& message) {
    constexpr const wchar_t* kFunction = L"Vanta::GlanceImpl::ProductListChangeHandler";
    JSONParser json;
    if (!parseUserData(message, json, kFunction)) {
        return false;
    }
    // A product missing from the list counts as not enabled.
    std::wstring firewall;
    if (!json.getNestedString(L"default", L"fwmod", firewall)) {
        logError(kFunction, __LINE__, L"Missing fwmod from product list");
    }
    std::wstring antivirus;
    if (!json.getNestedString(L"default", L"avmod", antivirus)) {
        logError(kFunction, __LINE__, L"Missing avmod from product list");
    }
    procState->firewallEnabled = firewall == L"enabled";
    procState->antivirusEnabled = antivirus == L"enabled";
    return true;
}

bool GlanceImpl::ThirdPartyListChangeHandler(const std::shared_ptr<Message>& message) {
    constexpr const wchar_t* kFunction = L"Vanta::GlanceImpl::ThirdPartyListChangeHandler";
    JSONParser json;
    if (!parseUserData(message, json, kFunction)) {
        return false;
    }
    std::wstring firewallState;
    if (!json.getString(L"firewall_state", firewallState)) {
        logError(kFunction, __LINE__, L"Missing firewall_state from 3rd party product list");
        return false;
    }
    std::wstring antivirusState;
    if (!json.getString(L"antivirus_state", antivirusState)) {
        logError(kFunction, __LINE__, L"Missing antivirus_state from 3rd party product list");
        return false;
    }
    std::wstring firewall;
    if (!json.getString(L"firewall", firewall)) {
        logError(kFunction, __LINE__, L"Missing firewall from 3rd party product list");
        return false;
    }
    std::wstring antivirus;
    if (!json.getString(L"antivirus", antivirus)) {
        logError(kFunction, __LINE__, L"Missing antivirus from 3rd party product list");
        return false;
    }
    procState->firewallActive = thirdPartyActive(firewall, firewallState);
    procState->antivirusActive = thirdPartyActive(antivirus, antivirusState);
    return true;
}

} // namespace Vanta
