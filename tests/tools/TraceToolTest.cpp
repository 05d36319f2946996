// kestrel-trace's decoder on events the sink recorded through a fake session
// (both builds: Wine has no working session), and the program over a
// session that hands out recorded bytes.
#include "TraceEventDecoder.h"
#include "TraceProgram.h"

#include "logging/CETWLogging.h"
#include "platform/CurrentThread.h"
#include "platform/ProcessAPI.h"
#include "platform/TextCodec.h"

#include "fakes/FakeTraceAPI.h"
#include "fakes/ScratchTraceKey.h"

#include <gtest/gtest.h>

#include <deque>
#include <filesystem>
#include <fstream>
#include <functional>
#include <sstream>

namespace {

using testfakes::FakeTraceAPI;
using Vanta::TraceEventRecord;

// Events as the sink sends them, recorded by the fake session.
std::vector<std::vector<uint8_t>> recordedEvents() {
    testfakes::ScratchTraceKey key;
    auto trace = std::make_shared<FakeTraceAPI>();
    ETWLogging::CETWLogging sink(trace);
    EXPECT_EQ(0u, sink.InitializeEx(testfakes::ScratchTraceKey::name().c_str(), L"Glance", nullptr,
                                    nullptr, nullptr));
    sink.Start();
    trace->enable(9, 1);
    sink.LogEx(4, L"GlanceImpl", L"Vanta::GlanceImpl::createTiles", 120, L"two\r\nlines \u00e9");
    sink.LogEx(6, L"", nullptr, 0, L"");
    std::vector<std::vector<uint8_t>> out;
    for (const auto& event : trace->eventsOf(9)) {
        out.push_back(event.bytes());
    }
    return out;
}

TEST(TraceEventDecoder, DecodesWhatTheSinkSent) {
    const auto events = recordedEvents();
    ASSERT_EQ(2u, events.size());
    TraceEventRecord record;
    ASSERT_TRUE(Vanta::decodeTraceEvent(events[0].data(), events[0].size(), record));
    EXPECT_EQ(4u, record.level);
    EXPECT_EQ(0xCD1DAAD0u, record.traceClass.data1);
    EXPECT_EQ(Vanta::ProcessAPI().GetCurrentProcessId(), record.processId);
    EXPECT_EQ(Vanta::currentThreadId(), record.threadId);
    EXPECT_EQ(L"GlanceImpl", record.file);
    EXPECT_EQ(L"Vanta::GlanceImpl::createTiles", record.function);
    EXPECT_EQ(120, record.line);
    EXPECT_EQ(L"Glance", record.group);
    EXPECT_EQ("two\r\nlines \xC3\xA9", record.message);
    const std::string line = Vanta::formatTraceEventLine(record);
    EXPECT_NE(std::string::npos,
              line.find(" file=GlanceImpl function=Vanta::GlanceImpl::createTiles line=120 "));
    EXPECT_NE(std::string::npos,
              line.find(" group=Glance level=4 message=two\\r\\nlines \xC3\xA9"));
    EXPECT_EQ(0u, line.find("pid=" + std::to_string(record.processId) + " tid="));
    EXPECT_EQ(std::string::npos, line.find('\n'));

    ASSERT_TRUE(Vanta::decodeTraceEvent(events[1].data(), events[1].size(), record));
    EXPECT_EQ(3u, record.level);
    EXPECT_TRUE(record.file.empty());
    EXPECT_TRUE(record.function.empty());
    EXPECT_TRUE(record.message.empty());
}

TEST(TraceEventDecoder, RefusesAnythingButOneWholeEvent) {
    const std::vector<uint8_t> good = recordedEvents()[0];
    const size_t fieldsLength = good[56] | (good[57] << 8);
    struct Case {
        const char* what;
        std::function<void(std::vector<uint8_t>&)> spoil;
    };
    const Case cases[] = {
        {"empty",
         [](auto& e) {
             e.clear();
         }},
        {"header cut short",
         [](auto& e) {
             e.resize(79);
         }},
        {"header size not 80",
         [](auto& e) {
             e[0] = 48;
         }},
        {"one byte missing",
         [](auto& e) {
             e.pop_back();
         }},
        {"one byte too many",
         [](auto& e) {
             e.push_back(0);
         }},
        {"descriptors count less",
         [](auto& e) {
             --e[72];
             e.pop_back();
         }},
        {"a counted string runs past the block",
         [](auto& e) {
             e[80 + 8] = 0xFF;
             e[80 + 9] = 0xFF;
         }},
        {"message length disagrees",
         [&](auto& e) {
             ++e[80 + fieldsLength - 8];
         }},
        {"fields block cut inside the numbers",
         [](auto& e) {
             e.resize(80 + 6);
             e[56] = 6, e[57] = 0, e[72] = 0, e[73] = 0;
         }},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.what);
        std::vector<uint8_t> event = good;
        c.spoil(event);
        TraceEventRecord record;
        EXPECT_FALSE(Vanta::decodeTraceEvent(event.data(), event.size(), record));
    }
    TraceEventRecord record;
    EXPECT_FALSE(Vanta::decodeTraceEvent(nullptr, 100, record));
}

// Hands out the given events, then nothing.
class RecordedSession final : public Vanta::TraceSession {
public:
    explicit RecordedSession(std::vector<std::vector<uint8_t>> events)
        : events_(events.begin(), events.end()) {}
    uint32_t start(const Strato::Guid& provider, uint8_t level, uint32_t) override {
        startedWith = provider;
        levelAsked = level;
        return startResult;
    }
    bool next(std::vector<uint8_t>& event, uint32_t) override {
        if (events_.empty()) {
            return false;
        }
        event = events_.front();
        events_.pop_front();
        return true;
    }
    void stop() override { ++stops; }

    uint32_t startResult = 0;
    Strato::Guid startedWith;
    uint8_t levelAsked = 0;
    int stops = 0;

private:
    std::deque<std::vector<uint8_t>> events_;
};

TEST(TraceProgram, PrintsEventsSkipsMalformedOnesAndKeepsTheRawBytes) {
    auto events = recordedEvents();
    events.insert(events.begin() + 1, std::vector<uint8_t>{1, 2, 3});
    auto session = std::make_shared<RecordedSession>(events);
    const std::filesystem::path raw =
        std::filesystem::temp_directory_path() /
        ("kestrel-trace-" + std::to_string(Vanta::ProcessAPI().GetCurrentProcessId()) + ".raw");
    std::ostringstream out, err;
    Vanta::TraceProgram program(out, err, nullptr, session);
    EXPECT_EQ(0, program.run({L"--provider", L"{01234567-89AB-CDEF-0123-456789ABCDEF}", L"--level",
                              L"4", L"--count", L"2", L"--raw", Vanta::fromUtf8(raw.string())}));
    EXPECT_EQ(0x01234567u, session->startedWith.data1);
    EXPECT_EQ(4u, session->levelAsked);
    EXPECT_EQ(1, session->stops);
    std::istringstream lines(out.str());
    std::string first, second, third;
    std::getline(lines, first);
    std::getline(lines, second);
    EXPECT_NE(std::string::npos, first.find("level=4 message=two"));
    EXPECT_NE(std::string::npos, second.find("level=3 message="));
    EXPECT_FALSE(std::getline(lines, third));
    EXPECT_NE(std::string::npos, err.str().find("2 events, 1 malformed"));

    // The raw file decodes to the same lines.
    std::ostringstream decoded, decodeErr;
    Vanta::TraceProgram decoder(decoded, decodeErr, nullptr);
    EXPECT_EQ(0, decoder.run({L"--decode", Vanta::fromUtf8(raw.string())}));
    EXPECT_EQ(out.str(), decoded.str());
    // A file that ends inside an event is reported.
    std::filesystem::resize_file(raw, std::filesystem::file_size(raw) - 1);
    std::ostringstream cut, cutErr;
    EXPECT_EQ(1, Vanta::TraceProgram(cut, cutErr, nullptr)
                     .run({L"--decode", Vanta::fromUtf8(raw.string())}));
    std::filesystem::remove(raw);
}

TEST(TraceProgram, StopsOnInterruptAndRefusesBadArguments) {
    auto session = std::make_shared<RecordedSession>(std::vector<std::vector<uint8_t>>{});
    std::ostringstream out, err;
    int polls = 0;
    EXPECT_EQ(0, Vanta::TraceProgram(
                     out, err, [&] { return ++polls > 3; }, session)
                     .run({}));
    EXPECT_EQ(0xE16CA450u, session->startedWith.data1); // the module's default provider
    EXPECT_EQ(1u, session->levelAsked);

    session->startResult = 5;
    EXPECT_EQ(1, Vanta::TraceProgram(out, err, nullptr, session).run({}));
    for (const std::vector<std::wstring>& arguments : std::vector<std::vector<std::wstring>>{
             {L"--level", L"0"},
             {L"--level", L"256"},
             {L"--provider", L"E16CA450"},
             {L"--count"},
             {L"--seconds", L"-1"},
             {L"--what", L"1"},
         }) {
        EXPECT_EQ(2, Vanta::TraceProgram(out, err, nullptr, session).run(arguments));
    }
}

} // namespace
