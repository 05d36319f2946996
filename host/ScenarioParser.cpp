#include "ScenarioParser.h"

#include "StatisticsRegistry.h"
#include "TextLines.h"

#include "platform/TextCodec.h"

#include <charconv>

namespace Vanta {
namespace {

using Kind = ScenarioStep::Kind;

// A problem at one line; parse() turns it into "label:line: text".
struct Problem {
    size_t line;
    std::string text;
};

constexpr uint32_t kMaxWaitCount = 100000;

std::optional<uint32_t> number(std::string_view text, uint32_t largest) {
    uint32_t value = 0;
    const auto [end, failure] = std::from_chars(text.data(), text.data() + text.size(), value);
    if (text.empty() || failure != std::errc() || end != text.data() + text.size() ||
        value > largest) {
        return std::nullopt;
    }
    return value;
}

std::string quoted(std::string_view text) {
    std::string out(1, '"');
    out.append(text);
    out.push_back('"');
    return out;
}

class Reader {
public:
    Reader(const TileTable& tiles, const TextLines& file) : tiles_(tiles), file_(file) {}

    std::optional<Problem> read(Scenario& scenario);

private:
    std::optional<Problem> statistics(std::string_view rest, ScenarioStep& step);
    std::optional<Problem> message(std::string_view word, std::string_view rest,
                                   ScenarioStep& step);
    std::optional<Problem> wait(std::string_view rest, ScenarioStep& step);
    std::optional<Problem> expect(std::string_view rest, size_t& index, ScenarioStep& step);
    std::optional<Problem> tile(std::string_view text, TileExpectation& tile) const;
    std::optional<Problem> unchanged(std::string_view rest, ScenarioStep& step);
    std::optional<Problem> needsCollectedPayload(size_t line, const char* step,
                                                 uint32_t payloads) const;
    Problem at(std::string text) const { return Problem{line_, std::move(text)}; }

    const TileTable& tiles_;
    const TextLines& file_;
    size_t line_ = 0;
    uint32_t uncollected_ = 0;    // messages sent since the last wait
    size_t firstUncollected_ = 0; // the line of the first of them
    uint64_t collected_ = 0;      // payloads the waits so far collect
};

std::optional<Problem> Reader::read(Scenario& scenario) {
    const auto& lines = file_.lines();
    for (size_t index = 0; index < lines.size(); ++index) {
        line_ = index + 1;
        if (!TextLines::isUtf8(lines[index])) {
            return at("not UTF-8 text");
        }
        if (TextLines::isBlankOrComment(lines[index])) {
            continue;
        }
        std::string_view rest;
        const std::string_view word = TextLines::firstWord(lines[index], rest);
        ScenarioStep step;
        step.line = line_;
        step.text = TextLines::trimmed(lines[index]);
        std::optional<Problem> problem;
        if (word == "stats") {
            problem = statistics(rest, step);
        } else if (word == "publish" || word == "direct") {
            problem = message(word, rest, step);
        } else if (word == "wait") {
            problem = wait(rest, step);
        } else if (word == "expect") {
            problem = expect(rest, index, step);
        } else if (word == "unchanged") {
            problem = unchanged(rest, step);
        } else if (word == "end") {
            problem = at("\"end\" without \"expect\"");
        } else {
            problem = at("unknown step " + quoted(word));
        }
        if (problem) {
            return problem;
        }
        scenario.steps.push_back(std::move(step));
    }
    if (uncollected_ > 0) {
        return Problem{firstUncollected_, "no wait collects the payload of this message"};
    }
    return std::nullopt;
}

std::optional<Problem> Reader::statistics(std::string_view rest, ScenarioStep& step) {
    if (rest == "clear") {
        step.kind = Kind::ClearStatistics;
        return std::nullopt;
    }
    step.kind = Kind::SetStatistics;
    if (rest.empty()) {
        return at("\"stats\" needs NAME=VALUE settings or \"clear\"");
    }
    while (!rest.empty()) {
        const std::string_view setting = TextLines::firstWord(rest, rest);
        const size_t equals = setting.find('=');
        if (equals == std::string_view::npos) {
            return at(quoted(setting) + " is not NAME=VALUE");
        }
        const std::string_view name = setting.substr(0, equals);
        const std::string_view value = setting.substr(equals + 1);
        StatisticSetting parsed{fromUtf8(name), std::nullopt};
        if (!StatisticsRegistry::isKnown(parsed.name)) {
            return at("unknown statistic " + quoted(name));
        }
        if (value != "-") {
            parsed.value = number(value, UINT32_MAX);
            if (!parsed.value) {
                return at("the value of " + std::string(name) +
                          " must be a number from 0 to 4294967295 or \"-\"");
            }
        }
        step.statistics.push_back(std::move(parsed));
    }
    return std::nullopt;
}

std::optional<Problem> Reader::message(std::string_view word, std::string_view rest,
                                       ScenarioStep& step) {
    step.kind = word == "publish" ? Kind::Publish : Kind::Direct;
    std::string_view data;
    const std::string_view name = TextLines::firstWord(rest, data);
    if (name.empty()) {
        return at(quoted(word) + " needs a message name");
    }
    step.name = fromUtf8(name);
    step.data = fromUtf8(data);
    if (uncollected_++ == 0) {
        firstUncollected_ = line_;
    }
    return std::nullopt;
}

std::optional<Problem> Reader::wait(std::string_view rest, ScenarioStep& step) {
    step.kind = Kind::Wait;
    if (rest.empty()) {
        if (uncollected_ == 0) {
            return at("nothing to wait for: no message since the last wait (give a count)");
        }
        step.count = uncollected_;
    } else {
        const std::optional<uint32_t> count = number(rest, kMaxWaitCount);
        if (!count || *count == 0) {
            return at("\"wait\" takes a payload count from 1 to " + std::to_string(kMaxWaitCount));
        }
        step.count = *count;
    }
    uncollected_ = 0;
    collected_ += step.count;
    return std::nullopt;
}

std::optional<Problem> Reader::needsCollectedPayload(size_t line, const char* step,
                                                     uint32_t payloads) const {
    if (uncollected_ > 0) {
        return Problem{line, std::string("\"") + step +
                                 "\" after a message that no wait has collected (line " +
                                 std::to_string(firstUncollected_) + ")"};
    }
    if (collected_ < payloads) {
        return Problem{line, std::string("\"") + step + "\" needs " +
                                 (payloads == 1 ? "a payload" : "two payloads") +
                                 " collected by waits before it"};
    }
    return std::nullopt;
}

std::optional<Problem> Reader::expect(std::string_view rest, size_t& index, ScenarioStep& step) {
    step.kind = Kind::ExpectTiles;
    const size_t expectLine = line_;
    if (!rest.empty()) {
        return at("\"expect\" takes nothing on its line: list the tiles below it, then \"end\"");
    }
    if (auto problem = needsCollectedPayload(expectLine, "expect", 1)) {
        return problem;
    }
    const auto& lines = file_.lines();
    for (++index; index < lines.size(); ++index) {
        line_ = index + 1;
        if (!TextLines::isUtf8(lines[index])) {
            return at("not UTF-8 text");
        }
        if (TextLines::isBlankOrComment(lines[index])) {
            continue;
        }
        const std::string_view text = TextLines::trimmed(lines[index]);
        if (text == "end") {
            if (step.tiles.empty()) {
                return Problem{expectLine, "\"expect\" lists no tiles"};
            }
            return std::nullopt;
        }
        TileExpectation expected;
        if (auto problem = tile(text, expected)) {
            return problem;
        }
        step.tiles.push_back(std::move(expected));
    }
    return Problem{expectLine, "\"expect\" without \"end\""};
}

std::optional<Problem> Reader::tile(std::string_view text, TileExpectation& tile) const {
    const size_t bar = text.find('|');
    if (bar != std::string_view::npos) {
        const std::string_view body = TextLines::trimmed(text.substr(bar + 1));
        if (body.empty()) {
            return at("no body after \"|\"");
        }
        tile.body = fromUtf8(body);
        text = TextLines::trimmed(text.substr(0, bar));
    }
    std::string_view caption;
    const std::string_view first = TextLines::firstWord(text, caption);
    if (first.empty()) {
        return at("a tile needs a content name, or an image and a caption");
    }
    if (!caption.empty()) {
        tile.image = fromUtf8(first);
        tile.caption = fromUtf8(caption);
        return std::nullopt;
    }
    const TileTable::Entry* entry = tiles_.find(fromUtf8(first));
    if (entry == nullptr) {
        return at("unknown tile content " + quoted(first) + " (not in the tile table)");
    }
    tile.content = entry->content;
    tile.image = entry->image;
    tile.caption = entry->caption;
    return std::nullopt;
}

std::optional<Problem> Reader::unchanged(std::string_view rest, ScenarioStep& step) {
    step.kind = Kind::ExpectUnchanged;
    if (!rest.empty()) {
        return at("\"unchanged\" takes nothing on its line");
    }
    return needsCollectedPayload(line_, "unchanged", 2);
}

} // namespace

std::optional<Scenario> ScenarioParser::parse(std::string_view text, const std::string& label,
                                              std::string& error) const {
    const TextLines file(text);
    Scenario scenario;
    Reader reader(tiles_, file);
    if (const std::optional<Problem> problem = reader.read(scenario)) {
        error = label + ":" + std::to_string(problem->line) + ": " + problem->text;
        return std::nullopt;
    }
    return scenario;
}

} // namespace Vanta
