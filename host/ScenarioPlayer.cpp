#include "ScenarioPlayer.h"

#include "ModuleSession.h"
#include "PayloadReader.h"
#include "StatisticsRegistry.h"
#include "TileComparison.h"

#include "platform/TextCodec.h"

#include <ostream>

namespace Vanta {
namespace {

using Kind = ScenarioStep::Kind;

std::string indented(const std::string& text, const std::string& indent) {
    std::string out;
    size_t start = 0;
    while (start < text.size()) {
        const size_t end = text.find('\n', start);
        const size_t stop = end == std::string::npos ? text.size() : end;
        out += indent + text.substr(start, stop - start) + "\n";
        start = stop + 1;
    }
    return out;
}

// What changed between two payloads: their tiles, or where the texts begin to differ
// when the tiles read the same.
std::string changeOf(const std::wstring& before, const std::wstring& after) {
    const std::string tilesBefore = PayloadReader::describe(PayloadReader::read(before));
    const std::string tilesAfter = PayloadReader::describe(PayloadReader::read(after));
    if (tilesBefore != tilesAfter) {
        return "the payload changed\n  before:\n" + indented(tilesBefore, "  ") + "  after:\n" +
               indented(tilesAfter, "  ");
    }
    size_t at = 0;
    while (at < before.size() && at < after.size() && before[at] == after[at]) {
        ++at;
    }
    const size_t from = at < 40 ? 0 : at - 40;
    return "the payload text changed at offset " + std::to_string(at) + "\n  before: ..." +
           toUtf8(before.substr(from, 80)) + "\n  after:  ..." + toUtf8(after.substr(from, 80));
}

} // namespace

bool ScenarioPlayer::play(const Scenario& scenario, const std::string& label,
                          const TileTable& tiles) {
    out_ << "== " << label << " ("
         << (settings_.selfLoadedBus ? "the module loads the bus" : "the host hands over the bus")
         << ") ==\n";
    settled_.clear();
    const bool passed = playSteps(scenario, label, tiles);
    out_ << (passed ? "PASSED " : "FAILED ") << label << "\n";
    return passed;
}

bool ScenarioPlayer::playSteps(const Scenario& scenario, const std::string& label,
                               const TileTable& tiles) {
    bool passed = true;
    // Line 0: the scenario as a whole.
    const auto fail = [&](size_t line, const std::string& what) {
        out_ << label;
        if (line != 0) {
            out_ << ":" << line;
        }
        out_ << ": " << what << (what.ends_with('\n') ? "" : "\n");
        passed = false;
    };
    const StatisticsRegistry statistics;
    if (const int32_t cleared = statistics.clear(); cleared != 0) {
        fail(0, "removing the statistics failed: registry error " + std::to_string(cleared));
        return false;
    }

    ModuleSession session(module_, settings_.busPath, settings_.selfLoadedBus);
    std::string error;
    if (!session.begin(settings_.moduleName, error)) {
        fail(0, error);
        session.end(settings_.timeout, error);
        return false;
    }

    size_t collected = 0; // payloads the waits so far have taken
    std::optional<std::wstring> latest;
    std::optional<std::wstring> previous;
    for (const ScenarioStep& step : scenario.steps) {
        out_ << "  " << step.line << ": " << step.text << "\n";
        bool stop = false;
        switch (step.kind) {
        case Kind::ClearStatistics:
            if (const int32_t result = statistics.clear(); result != 0) {
                fail(step.line, "registry error " + std::to_string(result));
                stop = true;
            }
            break;
        case Kind::SetStatistics:
            for (const StatisticSetting& setting : step.statistics) {
                if (const int32_t result = statistics.set(setting.name, setting.value);
                    result != 0) {
                    fail(step.line, "writing " + toUtf8(setting.name) + " failed: registry error " +
                                        std::to_string(result));
                    stop = true;
                    break;
                }
            }
            break;
        case Kind::Publish:
        case Kind::Direct: {
            const MODULE_STATUS status = step.kind == Kind::Publish
                                             ? session.publish(step.name, step.data)
                                             : session.direct(step.name, step.data);
            if (status != MODULE_STATUS_SUCCESS) {
                fail(step.line,
                     std::string(step.kind == Kind::Publish ? "publish" : "DirectMessage") +
                         " answered " + ModuleSession::statusText(status));
                stop = true;
            }
            break;
        }
        case Kind::Wait: {
            const size_t target = collected + step.count;
            if (!session.inbox().waitForPayloads(target, settings_.timeout)) {
                fail(step.line, "timed out after " + std::to_string(settings_.timeout.count()) +
                                    " ms with " +
                                    std::to_string(session.inbox().payloadCount() - collected) +
                                    " of " + std::to_string(step.count) + " payloads");
                stop = true;
                break;
            }
            for (; collected < target; ++collected) {
                previous = std::move(latest);
                latest = session.inbox().payload(collected);
                out_ << "     payload " << collected + 1 << ":\n"
                     << indented(PayloadReader::describe(PayloadReader::read(*latest)), "   ");
            }
            latest_ = latest;
            settled_.push_back(*latest);
            latestSource_ = label + ", payload " + std::to_string(collected);
            break;
        }
        case Kind::ExpectTiles: {
            const std::string difference =
                TileComparison::difference(step.tiles, PayloadReader::read(*latest), tiles);
            if (!difference.empty()) {
                fail(step.line, difference);
            } else {
                out_ << "     ok\n";
            }
            break;
        }
        case Kind::ExpectUnchanged:
            if (*latest != *previous) {
                fail(step.line, changeOf(*previous, *latest));
            } else {
                out_ << "     ok\n";
            }
            break;
        }
        if (stop) {
            break;
        }
    }

    if (!session.end(settings_.timeout, error)) {
        fail(0, error);
    } else if (passed && session.inbox().payloadCount() != collected) {
        fail(0, "the module published " + std::to_string(session.inbox().payloadCount()) +
                    " payloads, the waits collected " + std::to_string(collected));
    }
    return passed;
}

} // namespace Vanta
