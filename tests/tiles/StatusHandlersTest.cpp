#include "tiles/GlanceImpl.h"

#include "fakes/RecordingFormatter.h"
#include "fakes/RecordingLogger.h"
#include "messagebus/Message.h"

#include <gtest/gtest.h>

#include <functional>
#include <memory>
#include <sstream>
#include <string>

using Vanta::GlanceImpl;
using Vanta::ProcState;

namespace {

// Every field by name, so that a failing case shows which field differs.
std::string describe(const ProcState& s) {
    std::ostringstream out;
    out << "threatsRemoved=" << s.threatsRemoved << " threatsDetected=" << s.threatsDetected
        << " filesScanned=" << s.filesScanned << " connectionsBlocked=" << s.connectionsBlocked
        << " threatsUnresolved=" << s.threatsUnresolved << " scanOutOfDate=" << s.scanOutOfDate
        << " rtsState=" << s.rtsState << " rtsStarting=" << s.rtsStarting
        << " rtsRepairing=" << s.rtsRepairing << " firewallState=" << s.firewallState
        << " datOutOfDate=" << s.datOutOfDate << " updatesOff=" << s.updatesOff
        << " firewallEnabled=" << s.firewallEnabled << " antivirusEnabled=" << s.antivirusEnabled
        << " antivirusActive=" << s.antivirusActive << " firewallActive=" << s.firewallActive
        << " overallState=" << s.overallState;
    return out.str();
}

struct HandlerCase {
    std::wstring data;
    bool answer;
    std::wstring log;                       // the one Error text expected, empty for none
    std::function<void(ProcState&)> change; // from the seed to the expected record
};

// Runs each case on a fresh module whose record starts as `seed`, reaching the handler through
// the handler table by message name.
void runCases(const std::wstring& name, const std::wstring& function, const ProcState& seed,
              const std::vector<HandlerCase>& cases) {
    const auto& table = GlanceImpl::statusHandlerTable();
    ASSERT_EQ(table.count(name), 1u) << testing::PrintToString(name);
    for (const HandlerCase& c : cases) {
        SCOPED_TRACE(testing::PrintToString(c.data));
        testfakes::ScopedRecordingLogger log;
        auto state = std::make_shared<ProcState>();
        GlanceImpl module(state, std::make_shared<testfakes::RecordingFormatter>());
        *state = seed;
        const auto message = Vanta::createMessage(name, L"tester", c.data);
        ASSERT_TRUE(message);

        EXPECT_EQ((module.*table.at(name))(message), c.answer);

        ProcState expected = seed;
        if (c.change) {
            c.change(expected);
        }
        EXPECT_EQ(describe(*state), describe(expected));
        const auto records = log->records();
        if (c.log.empty()) {
            EXPECT_TRUE(records.empty()) << testing::PrintToString(log->texts());
        } else {
            ASSERT_EQ(records.size(), 1u) << testing::PrintToString(log->texts());
            EXPECT_EQ(records[0].level, 4u);
            EXPECT_EQ(records[0].file, L"GlanceImpl");
            EXPECT_EQ(records[0].function, function);
            EXPECT_EQ(records[0].text, c.log);
        }
    }
}

std::wstring invalid(const std::wstring& name, const std::wstring& data) {
    return L"Invalid message: " + name + L" with UserData " + data;
}

} // namespace

TEST(StatusHandlers, ConstructorSetsTheDefaultsOnAGivenRecordAndTheTableHasEightNames) {
    auto state = std::make_shared<ProcState>();
    state->overallState = 1;
    state->firewallEnabled = false;
    GlanceImpl module(state, std::make_shared<testfakes::RecordingFormatter>());
    EXPECT_EQ(describe(*state), describe(Vanta::makeDefaultProcState()));
    EXPECT_EQ(GlanceImpl::statusHandlerTable().size(), 8u);
}

TEST(StatusHandlers, OverallStatus) {
    const std::wstring name = L"Core.Protection.State";
    ProcState seed = Vanta::makeDefaultProcState();
    seed.overallState = 2;
    runCases(name, L"Vanta::GlanceImpl::OverallStatusHandler", seed,
             {
                 {LR"({"state":"red"})", true, L"",
                  [](ProcState& s) {
                      s.overallState = 1;
                  }},
                 {LR"({"state":"gray"})", true, L"",
                  [](ProcState& s) {
                      s.overallState = 2;
                  }},
                 {LR"({"state":"green"})", true, L"",
                  [](ProcState& s) {
                      s.overallState = 0;
                  }},
                 {LR"({"state":"RED"})", true, L"",
                  [](ProcState& s) {
                      s.overallState = 0;
                  }},
                 {LR"({"state":1})", false, L"Missing state from protection status", {}},
                 {L"{}", false, L"Missing state from protection status", {}},
                 {L"not json", false, invalid(name, L"not json"), {}},
             });
}

TEST(StatusHandlers, LastScanTime) {
    const std::wstring name = L"Core.Antivirus.LastScanTime";
    const ProcState seed = Vanta::makeDefaultProcState();
    runCases(name, L"Vanta::GlanceImpl::LastScanTimeHandler", seed,
             {
                 {LR"({"scan_out_of_date":true})", true, L"",
                  [](ProcState& s) {
                      s.scanOutOfDate = true;
                  }},
                 {LR"({"scan_out_of_date":false})", true, L"", {}},
                 // Missing or mistyped: nothing changes, nothing is logged, still handled.
                 {LR"({"scan_out_of_date":"true"})", true, L"", {}},
                 {L"{}", true, L"", {}},
                 {L"[true]", true, L"", {}},
                 {L"{", false, invalid(name, L"{"), {}},
             });
}

TEST(StatusHandlers, RTSState) {
    const std::wstring name = L"Core.Antivirus.RTSState";
    ProcState seed = Vanta::makeDefaultProcState();
    seed.rtsState = 1;
    runCases(name, L"Vanta::GlanceImpl::RTSStateHandler", seed,
             {
                 {LR"({"state":"off","repair":"off","starting":true})", true, L"",
                  [](ProcState& s) {
                      s.rtsState = 2;
                      s.rtsStarting = true;
                  }},
                 {LR"({"state":"off","repair":"off","starting":false})", true, L"", {}},
                 {LR"({"state":"off","repair":"on","starting":false})", true, L"",
                  [](ProcState& s) {
                      s.rtsState = 2;
                      s.rtsRepairing = true;
                  }},
                 {LR"({"state":"on","repair":"on","starting":false})", true, L"",
                  [](ProcState& s) {
                      s.rtsState = 0;
                      s.rtsRepairing = true;
                  }},
                 // An unknown state still leaves both flags as the message gave them.
                 {LR"({"state":"paused","repair":"on","starting":true})", false, L"",
                  [](ProcState& s) {
                      s.rtsRepairing = true;
                      s.rtsStarting = true;
                  }},
                 // An unknown repair text changes nothing at all.
                 {LR"({"state":"on","repair":"maybe","starting":true})", false, L"", {}},
                 {LR"({"repair":"on","starting":true})", false, L"Missing state from RTSState", {}},
                 {LR"({"state":"on","repair":true,"starting":true})",
                  false,
                  L"Missing repair from RTSState",
                  {}},
                 {LR"({"state":"on","repair":"on","starting":"yes"})",
                  false,
                  L"Missing starting from RTSState",
                  {}},
                 {L"", false, invalid(name, L""), {}},
             });
}

TEST(StatusHandlers, FirewallState) {
    const std::wstring name = L"Core.Firewall.State";
    ProcState seed = Vanta::makeDefaultProcState();
    seed.firewallState = 1;
    runCases(
        name, L"Vanta::GlanceImpl::fwmodStateHandler", seed,
        {
            {LR"({"state":"on","off_by_user":true})", true, L"",
             [](ProcState& s) {
                 s.firewallState = 0;
             }},
            {LR"({"state":"off","off_by_user":true})", true, L"",
             [](ProcState& s) {
                 s.firewallState = 2;
             }},
            {LR"({"state":"off","off_by_user":false})", true, L"", {}},
            {LR"({"state":"On","off_by_user":false})", false, L"", {}},
            {LR"({"state":"off"})", false, L"Missing off_by_user from fwmodState", {}},
            {LR"({"state":null,"off_by_user":true})", false, L"Missing state from fwmodState", {}},
            {L"off", false, invalid(name, L"off"), {}},
        });
}

TEST(StatusHandlers, DATState) {
    const std::wstring name = L"Core.Antivirus.DATState";
    ProcState seed = Vanta::makeDefaultProcState();
    seed.datOutOfDate = true;
    runCases(name, L"Vanta::GlanceImpl::DATStateHandler", seed,
             {
                 {LR"({"dat_out_of_date":false})", true, L"",
                  [](ProcState& s) {
                      s.datOutOfDate = false;
                  }},
                 {LR"({"dat_out_of_date":true})", true, L"", {}},
                 {LR"({"dat_out_of_date":0})", false, L"Missing dat_out_of_date from DATState", {}},
                 {L"{}}", false, invalid(name, L"{}}"), {}},
             });
}

TEST(StatusHandlers, UpdateState) {
    const std::wstring name = L"Core.Update.State";
    ProcState seed = Vanta::makeDefaultProcState();
    seed.updatesOff = true;
    runCases(name, L"Vanta::GlanceImpl::UpdateStateHandler", seed,
             {
                 {LR"({"state":"on"})", true, L"",
                  [](ProcState& s) {
                      s.updatesOff = false;
                  }},
                 {LR"({"state":"off"})", true, L"", {}},
                 {LR"({"state":"disabled"})", false, L"", {}},
                 {LR"({"State":"on"})", false, L"Missing state from Update Status", {}},
                 {L"[", false, invalid(name, L"["), {}},
             });
}

TEST(StatusHandlers, ProductListChange) {
    const std::wstring name = L"Core.ProductState.ProductListChange";
    ProcState seed = Vanta::makeDefaultProcState();
    seed.firewallEnabled = false;
    runCases(
        name, L"Vanta::GlanceImpl::ProductListChangeHandler", seed,
        {
            {LR"({"default":{"fwmod":"enabled","avmod":"disabled"}})", true, L"",
             [](ProcState& s) {
                 s.firewallEnabled = true;
                 s.antivirusEnabled = false;
             }},
            {LR"({"default":{"fwmod":"Enabled","avmod":"enabled"}})", true, L"", {}},
            // A missing product counts as not enabled, and the handler still answers true.
            {LR"({"default":{"avmod":"enabled"}})", true, L"Missing fwmod from product list", {}},
            {LR"({"default":{"fwmod":"enabled","avmod":1}})", true,
             L"Missing avmod from product list",
             [](ProcState& s) {
                 s.firewallEnabled = true;
                 s.antivirusEnabled = false;
             }},
            {LR"({"default":})", false, invalid(name, LR"({"default":})"), {}},
        });

    // Both missing: two lines, fwmod first.
    testfakes::ScopedRecordingLogger log;
    auto state = std::make_shared<ProcState>();
    GlanceImpl module(state, std::make_shared<testfakes::RecordingFormatter>());
    EXPECT_TRUE(module.ProductListChangeHandler(Vanta::createMessage(name, L"t", L"{}")));
    EXPECT_FALSE(state->firewallEnabled);
    EXPECT_FALSE(state->antivirusEnabled);
    EXPECT_EQ(log->texts(), (std::vector<std::wstring>{L"Missing fwmod from product list",
                                                       L"Missing avmod from product list"}));
}

TEST(StatusHandlers, ThirdPartyListChange) {
    const std::wstring name = L"Core.ProductState.3rdPartyListChange";
    const ProcState seed = Vanta::makeDefaultProcState(); // both active flags false
    auto data = [](const wchar_t* fwState, const wchar_t* avState, const wchar_t* fw,
                   const wchar_t* av) {
        return std::wstring(L"{\"firewall_state\":\"") + fwState + L"\",\"antivirus_state\":\"" +
               avState + L"\",\"firewall\":\"" + fw + L"\",\"antivirus\":\"" + av + L"\"}";
    };
    runCases(
        name, L"Vanta::GlanceImpl::ThirdPartyListChangeHandler", seed,
        {
            {data(L"on", L"on", L"Other FW", L"Other AV"), true, L"",
             [](ProcState& s) {
                 s.firewallActive = true;
                 s.antivirusActive = true;
             }},
            {data(L"off", L"on", L"Other FW", L"Other AV"), true, L"",
             [](ProcState& s) {
                 s.antivirusActive = true;
             }},
            {data(L"on", L"off", L"Other FW", L"Other AV"), true, L"",
             [](ProcState& s) {
                 s.firewallActive = true;
             }},
            // The suite's own products count as protecting whatever their state.
            {data(L"off", L"off", L"Talmor Firewall", L"My Talmor AV"), true, L"",
             [](ProcState& s) {
                 s.firewallActive = true;
                 s.antivirusActive = true;
             }},
            {data(L"off", L"off", L"talmor fw", L"TALMOR av"), true, L"", {}},
            // A state other than "on" and "off" leaves the product counted as protecting.
            {data(L"unknown", L"", L"Other FW", L"Other AV"), true, L"",
             [](ProcState& s) {
                 s.firewallActive = true;
                 s.antivirusActive = true;
             }},
            {LR"({"antivirus_state":"on","firewall":"F","antivirus":"A"})",
             false,
             L"Missing firewall_state from 3rd party product list",
             {}},
            {LR"({"firewall_state":"on","antivirus_state":true,"firewall":"F","antivirus":"A"})",
             false,
             L"Missing antivirus_state from 3rd party product list",
             {}},
            {LR"({"firewall_state":"on","antivirus_state":"on","antivirus":"A"})",
             false,
             L"Missing firewall from 3rd party product list",
             {}},
            {LR"({"firewall_state":"on","antivirus_state":"on","firewall":"F","antivirus":[]})",
             false,
             L"Missing antivirus from 3rd party product list",
             {}},
            {L"null", false, L"Missing firewall_state from 3rd party product list", {}},
            {L"{'a':1}", false, invalid(name, L"{'a':1}"), {}},
        });
}
