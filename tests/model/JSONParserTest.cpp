#include "model/JSONParser.h"

#include <gtest/gtest.h>

#include <cstddef>
#include <cstdlib>
#include <functional>
#include <memory>
#include <optional>
#include <string>
#include <unordered_map>
#include <vector>

using Vanta::JSONParser;
using StringMap = std::unordered_map<std::wstring, std::wstring>;

namespace {

JSONParser parsed(const std::wstring& text) {
    JSONParser json;
    EXPECT_TRUE(json.parse(text)) << testing::PrintToString(text);
    return json;
}

// U+1F600 as its two UTF-16 code units, the same on 16- and 32-bit wchar_t.
const std::wstring kSmiley{static_cast<wchar_t>(0xD83D), static_cast<wchar_t>(0xDE00)};

} // namespace

TEST(JSONParser, FreshInstanceIsAnEmptyObject) {
    JSONParser json;
    EXPECT_EQ(json.toString(), L"{}");
    json.setString(L"k", L"v");
    EXPECT_EQ(json.toString(), L"{\"k\":\"v\"}");
}

TEST(JSONParser, ParseAcceptsExactlyOneValueAndLeavesNullOnFailure) {
    struct Case {
        std::wstring text;
        bool ok;
        std::wstring written;
    };
    const Case cases[] = {
        {L"", false, L"null"},
        {L"   ", false, L"null"},
        {L"{}{}", false, L"null"},
        {L"{\"a\":1", false, L"null"},
        {L"{\"a\":tru}", false, L"null"},
        {L" \t\r\n{ \"a\" : [ 1 , true ] }\n ", true, L"{\"a\":[1,true]}"},
        {L"[1,2]", true, L"[1,2]"},
        {L"\"x\"", true, L"\"x\""},
        // Reading stops at the first NUL, so what follows it is never seen.
        {std::wstring(L"{}\0{", 4), true, L"{}"},
        // Escapes that are no UTF-16 text: a lone low surrogate, a lone high one.
        {L"{\"state\":\"\\uDC00\"}", false, L"null"},
        {L"{\"state\":\"x\\uDFFFy\"}", false, L"null"},
        {L"{\"state\":\"\\uD800\"}", false, L"null"},
        {L"{\"state\":\"\\uD800\\u0041\"}", false, L"null"},
        // Numbers beyond the largest double have no JSON text to be written as.
        {L"{\"a\":1e309}", false, L"null"},
        {L"[-1.8e308]", false, L"null"},
        {L"{\"a\":1.7976931348623158e308}", true, L"{\"a\":1.7976931348623157e308}"},
        // Far outside a double's range the reader's tables end: such numbers are settled first.
        {L"[1e400]", false, L"null"},
        {L"[" + std::wstring(90, L'2') + L"e308]", false, L"null"},
        {L"[0e400,-0.0e-999,1e-400,-5e-330,2.5e-330]", true, L"[0.0,-0.0,0.0,-0.0,0.0]"},
        {L"[-0." + std::wstring(30, L'0') + L"]", true, L"[-0.0]"},
        // Settling a number never makes a malformed text readable.
        {L"[0e400e5]", false, L"null"},
        {L"[-e158e308]", false, L"null"},
        {L"[00e400]", false, L"null"},
        {L"{\"s\":\"1e400\\\"0e999\"}", true, L"{\"s\":\"1e400\\\"0e999\"}"},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(testing::PrintToString(c.text));
        // Starting from a filled document shows that a failure does not keep the old root.
        JSONParser json;
        json.setString(L"old", L"x");
        EXPECT_EQ(json.parse(c.text), c.ok);
        EXPECT_EQ(json.toString(), c.written);
    }
}

TEST(JSONParser, NumbersReadBackAsTheSameValue) {
    // Hard cases for a reader that is not exact: the value written must be the double that the
    // C library reads from the same text, and it must read back unchanged.
    const std::string numbers[] = {
        "0.1",
        "0.30000000000000004",
        "2.2250738585072014e-308",
        "5e-324",
        "1.7976931348623157e308",
        "1.2345678901234567e-300",
        "9.87654321987654321e-250",
        "-123456789012345680000.0",
    };
    for (const std::string& number : numbers) {
        SCOPED_TRACE(number);
        const std::wstring written =
            parsed(L"[" + std::wstring(number.begin(), number.end()) + L"]").toString();
        EXPECT_EQ(written, parsed(written).toString());
        const std::string digits(written.begin() + 1, written.end() - 1);
        EXPECT_EQ(std::strtod(number.c_str(), nullptr), std::strtod(digits.c_str(), nullptr))
            << digits;
    }
}

TEST(JSONParser, ParseRefusesNestingDeeperThanTheLimit) {
    const auto arrays = [](std::size_t depth) {
        return std::wstring(depth, L'[') + std::wstring(depth, L']');
    };
    const auto objects = [](std::size_t depth) {
        std::wstring text;
        for (std::size_t i = 0; i < depth; ++i) {
            text += L"{\"a\":";
        }
        return text + L"1" + std::wstring(depth, L'}');
    };
    struct Case {
        const char* what;
        std::wstring text;
        bool ok;
    };
    const Case cases[] = {
        {"arrays at the limit", arrays(JSONParser::kMaxDepth), true},
        {"arrays past the limit", arrays(JSONParser::kMaxDepth + 1), false},
        {"objects at the limit", objects(JSONParser::kMaxDepth), true},
        {"objects past the limit", objects(JSONParser::kMaxDepth + 1), false},
        // Deep enough to overflow the stack if the reader were allowed to recurse into it.
        {"far past the limit", arrays(1000000), false},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.what);
        JSONParser json;
        EXPECT_EQ(json.parse(c.text), c.ok);
        EXPECT_EQ(JSONParser(json).toString(), c.ok ? c.text : L"null");
    }
}

TEST(JSONParser, WrittenTextEscapesAndParsesBack) {
    const std::wstring xml = L"<tile a=\"1\">C:\\dir\r\n\t\x01</tile>";
    JSONParser json;
    json.setString(L"xml", xml);
    const std::wstring text = json.toString();
    EXPECT_EQ(text, L"{\"xml\":\"<tile a=\\\"1\\\">C:\\\\dir\\r\\n\\t\\u0001</tile>\"}");

    std::wstring back;
    EXPECT_TRUE(parsed(text).getString(L"xml", back));
    EXPECT_EQ(back, xml);
}

TEST(JSONParser, CharactersOutsideTheBasicPlaneRoundTrip) {
    const std::wstring raw = L"{\"k\":\"a" + kSmiley + L"b\"}";
    const std::wstring escaped = L"{\"k\":\"a\\uD83D\\uDE00b\"}";
    for (const std::wstring& text : {raw, escaped}) {
        SCOPED_TRACE(testing::PrintToString(text));
        const JSONParser json = parsed(text);
        std::wstring value;
        EXPECT_TRUE(json.getString(L"k", value));
        EXPECT_EQ(value, L"a" + kSmiley + L"b");
        // The writer emits the code units themselves, never an escape.
        EXPECT_EQ(json.toString(), raw);
    }
}

TEST(JSONParser, StoredNulEndsTheTextHandedOut) {
    const JSONParser json = parsed(L"{\"k\":\"a\\u0000b\",\"m\":{\"n\\u0000x\":\"v\"}}");
    std::wstring value;
    EXPECT_TRUE(json.getString(L"k", value));
    EXPECT_EQ(value, L"a");
    StringMap map;
    EXPECT_TRUE(json.getStringMap(L"m", map));
    EXPECT_EQ(map, (StringMap{{L"n", L"v"}}));
    EXPECT_EQ(json.toString(), L"{\"k\":\"a\\u0000b\",\"m\":{\"n\\u0000x\":\"v\"}}");
}

class JSONParserGetters : public testing::Test {
protected:
    const JSONParser json = parsed(LR"({"num":5,"flag":true,"nul":null,"text":"t","Key":"upper",)"
                                   LR"("obj":{"text":"in","flag":false,"num":1},"dup":"first",)"
                                   LR"("dup":"second","one":[{"text":"item","flag":true}],)"
                                   LR"("two":[{"text":"a"},{"text":"b"}],"empty":[],)"
                                   LR"("scalar":["text"]})");
};

TEST_F(JSONParserGetters, StringGettersFindOnlyStringsAtTheirPath) {
    using Get = std::function<bool(const JSONParser&, std::wstring&)>;
    struct Case {
        const char* what;
        Get get;
        std::optional<std::wstring> found;
    };
    auto top = [](std::wstring k) {
        return [k](const JSONParser& j, std::wstring& out) {
            return j.getString(k, out);
        };
    };
    auto nested = [](std::wstring k1, std::wstring k2) {
        return [k1, k2](const JSONParser& j, std::wstring& out) {
            return j.getNestedString(k1, k2, out);
        };
    };
    auto item = [](std::wstring a, std::wstring k) {
        return [a, k](const JSONParser& j, std::wstring& out) {
            return j.getArrayItemString(a, k, out);
        };
    };
    const Case cases[] = {
        {"string", top(L"text"), L"t"},
        {"number", top(L"num"), std::nullopt},
        {"boolean", top(L"flag"), std::nullopt},
        {"null", top(L"nul"), std::nullopt},
        {"object", top(L"obj"), std::nullopt},
        {"missing", top(L"none"), std::nullopt},
        {"names match case-sensitively", top(L"key"), std::nullopt},
        {"names match by whole length", top(L"tex"), std::nullopt},
        {"first of duplicate names", top(L"dup"), L"first"},
        {"nested string", nested(L"obj", L"text"), L"in"},
        {"nested number", nested(L"obj", L"num"), std::nullopt},
        {"nested missing", nested(L"obj", L"none"), std::nullopt},
        {"outer missing", nested(L"none", L"text"), std::nullopt},
        {"outer not an object", nested(L"text", L"text"), std::nullopt},
        {"single item", item(L"one", L"text"), L"item"},
        {"item member not a string", item(L"one", L"flag"), std::nullopt},
        {"two items", item(L"two", L"text"), std::nullopt},
        {"no items", item(L"empty", L"text"), std::nullopt},
        {"item not an object", item(L"scalar", L"text"), std::nullopt},
        {"not an array", item(L"obj", L"text"), std::nullopt},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.what);
        std::wstring out = L"unchanged";
        EXPECT_EQ(c.get(json, out), c.found.has_value());
        EXPECT_EQ(out, c.found.value_or(L"unchanged"));
    }
}

TEST_F(JSONParserGetters, BoolGettersFindOnlyBooleansAtTheirPath) {
    struct Case {
        const char* what;
        std::function<bool(const JSONParser&, bool&)> get;
        std::optional<bool> found;
    };
    const Case cases[] = {
        {"boolean", [](auto& j, bool& b) { return j.getBool(L"flag", b); }, true},
        {"string", [](auto& j, bool& b) { return j.getBool(L"text", b); }, std::nullopt},
        {"null", [](auto& j, bool& b) { return j.getBool(L"nul", b); }, std::nullopt},
        {"nested boolean", [](auto& j, bool& b) { return j.getNestedBool(L"obj", L"flag", b); },
         false},
        {"nested string", [](auto& j, bool& b) { return j.getNestedBool(L"obj", L"text", b); },
         std::nullopt},
        {"single item", [](auto& j, bool& b) { return j.getArrayItemBool(L"one", L"flag", b); },
         true},
        {"item member not a boolean",
         [](auto& j, bool& b) { return j.getArrayItemBool(L"one", L"text", b); }, std::nullopt},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.what);
        // Start from the opposite of the stored value so that a write shows.
        for (const bool start : {false, true}) {
            bool out = start;
            EXPECT_EQ(c.get(json, out), c.found.has_value());
            EXPECT_EQ(out, c.found.value_or(start));
        }
    }
}

TEST(JSONParser, ReplacingMovesTheLastMemberIntoTheGap) {
    struct Case {
        const char* what;
        std::function<void(JSONParser&)> replace;
        std::wstring newA;
    };
    const Case cases[] = {
        {"setString", [](JSONParser& j) { j.setString(L"a", L"x"); }, L"\"x\""},
        {"setBool", [](JSONParser& j) { j.setBool(L"a", false); }, L"false"},
        {"setObject", [](JSONParser& j) { j.setObject(L"a", JSONParser()); }, L"{}"},
        {"setArray", [](JSONParser& j) { j.setArray(L"a", {JSONParser()}); }, L"[{}]"},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.what);
        JSONParser json = parsed(L"{\"a\":1,\"b\":2,\"c\":3}");
        c.replace(json);
        EXPECT_EQ(json.toString(), L"{\"c\":3,\"b\":2,\"a\":" + c.newA + L"}");
        // Replacing again leaves one member of that name.
        c.replace(json);
        EXPECT_EQ(json.toString(), L"{\"c\":3,\"b\":2,\"a\":" + c.newA + L"}");
    }
}

TEST(JSONParser, ReplacingADuplicateNameReplacesOnlyTheFirst) {
    JSONParser json = parsed(L"{\"a\":1,\"b\":2,\"a\":3}");
    json.setString(L"a", L"x");
    EXPECT_EQ(json.toString(), L"{\"a\":3,\"b\":2,\"a\":\"x\"}");
}

TEST(JSONParser, NestedSettersAppendWithoutReplacing) {
    JSONParser json;
    json.setNestedString(L"o", L"k", L"first");
    json.setNestedString(L"o", L"k", L"second");
    json.setNestedBool(L"o", L"f", true);
    EXPECT_EQ(json.toString(), L"{\"o\":{\"k\":\"first\",\"k\":\"second\",\"f\":true}}");

    std::wstring value;
    EXPECT_TRUE(json.getNestedString(L"o", L"k", value));
    EXPECT_EQ(value, L"first");
}

TEST(JSONParser, AddObjectAndAppendToArrayBuildInOrder) {
    JSONParser tile;
    tile.setString(L"xml", L"<a/>");
    JSONParser json;
    json.appendToArray(L"tiles", tile);
    json.appendToArray(L"tiles", JSONParser());
    json.addObject(L"o", tile);
    json.addObject(L"o", JSONParser());
    EXPECT_EQ(json.toString(),
              L"{\"tiles\":[{\"xml\":\"<a/>\"},{}],\"o\":{\"xml\":\"<a/>\"},\"o\":{}}");
}

TEST(JSONParser, GetArrayAppendsObjectCopiesUntilTheFirstOtherElement) {
    const JSONParser json = parsed(
        L"{\"objects\":[{\"k\":\"1\"},{\"k\":\"2\"}],\"mixed\":[{\"k\":\"3\"},5,{}],\"n\":5}");
    std::vector<JSONParser> out(1);

    EXPECT_TRUE(json.getArray(L"missing", out));
    EXPECT_EQ(out.size(), 1u);
    EXPECT_FALSE(json.getArray(L"n", out));
    EXPECT_EQ(out.size(), 1u);

    EXPECT_TRUE(json.getArray(L"objects", out));
    EXPECT_FALSE(json.getArray(L"mixed", out));
    std::vector<std::wstring> texts;
    for (const JSONParser& element : out) {
        texts.push_back(element.toString());
    }
    EXPECT_EQ(texts, (std::vector<std::wstring>{L"{}", L"{\"k\":\"1\"}", L"{\"k\":\"2\"}",
                                                L"{\"k\":\"3\"}"}));
}

TEST(JSONParser, StringMapTakesStringsBooleansAndIntegers) {
    const JSONParser json = parsed(LR"({"m":{"s":"x","t":true,"f":false,"i":-5,"min":-2147483648,)"
                                   LR"("big":2147483648,"d":1.5,"z":null,"o":{},"a":[]},"n":1})");
    StringMap map{{L"s", L"old"}, {L"other", L"kept"}};
    EXPECT_TRUE(json.getStringMap(L"m", map));
    EXPECT_EQ(map, (StringMap{{L"s", L"x"},
                              {L"t", L"1"},
                              {L"f", L"0"},
                              {L"i", L"-5"},
                              {L"min", L"-2147483648"},
                              {L"other", L"kept"}}));

    const StringMap before = map;
    EXPECT_FALSE(json.getStringMap(L"n", map));
    EXPECT_FALSE(json.getStringMap(L"missing", map));
    EXPECT_EQ(map, before);
}

TEST(JSONParser, CopiesAreIndependentOfTheirSource) {
    using Copy = std::function<void(const JSONParser& source, std::unique_ptr<JSONParser>& target)>;
    struct Case {
        const char* what;
        Copy copy;
        std::wstring copied;
    };
    // Too long to be stored inside the value itself, so that a shared buffer would show.
    const std::wstring value = L"a value long enough to need its own buffer";
    const std::wstring object = L"{\"k\":\"" + value + L"\"}";
    const Case cases[] = {
        {"copy construction", [](auto& s, auto& t) { t = std::make_unique<JSONParser>(s); },
         object},
        {"copy assignment", [](auto& s, auto& t) { *t = s; }, object},
        {"addObject", [](auto& s, auto& t) { t->addObject(L"o", s); }, L"{\"o\":" + object + L"}"},
        {"setObject", [](auto& s, auto& t) { t->setObject(L"o", s); }, L"{\"o\":" + object + L"}"},
        {"setArray",
         [](auto& s, auto& t) {
             t->setArray(L"a", {s, s});
         },
         L"{\"a\":[" + object + L"," + object + L"]}"},
        {"appendToArray", [](auto& s, auto& t) { t->appendToArray(L"a", s); },
         L"{\"a\":[" + object + L"]}"},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.what);
        auto target = std::make_unique<JSONParser>();
        {
            auto source = std::make_unique<JSONParser>();
            source->setString(L"k", value);
            c.copy(*source, target);
            source->setString(L"k", L"changed");
            source->setString(L"added", L"x");
        }
        // Read after the source is gone: shared memory shows here and under the address
        // sanitizer.
        EXPECT_EQ(target->toString(), c.copied);
    }
}

TEST(JSONParser, CopiesTakenOutOfADocumentOutliveIt) {
    const std::wstring object = L"{\"k\":\"a value long enough to need its own buffer\"}";
    JSONParser taken;
    std::vector<JSONParser> items;
    {
        auto source = std::make_unique<JSONParser>(
            parsed(L"{\"o\":" + object + L",\"a\":[" + object + L"]}"));
        EXPECT_TRUE(source->getObject(L"o", taken));
        EXPECT_TRUE(source->getArray(L"a", items));
        source->setString(L"o", L"changed");
        source->setString(L"a", L"changed");
    }
    EXPECT_EQ(taken.toString(), object);
    ASSERT_EQ(items.size(), 1u);
    EXPECT_EQ(items[0].toString(), object);
}

TEST(JSONParser, AnInstanceMayBeItsOwnArgument) {
    struct Case {
        const char* what;
        std::function<void(JSONParser&)> op;
        std::wstring result;
    };
    const Case cases[] = {
        {"addObject", [](JSONParser& j) { j.addObject(L"s", j); },
         L"{\"k\":{\"n\":\"v\"},\"s\":{\"k\":{\"n\":\"v\"}}}"},
        {"setObject", [](JSONParser& j) { j.setObject(L"k", j); },
         L"{\"k\":{\"k\":{\"n\":\"v\"}}}"},
        {"appendToArray", [](JSONParser& j) { j.appendToArray(L"s", j); },
         L"{\"k\":{\"n\":\"v\"},\"s\":[{\"k\":{\"n\":\"v\"}}]}"},
        {"getObject", [](JSONParser& j) { EXPECT_TRUE(j.getObject(L"k", j)); }, L"{\"n\":\"v\"}"},
        {"copy assignment", [](JSONParser& j) { j = j; }, L"{\"k\":{\"n\":\"v\"}}"},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.what);
        JSONParser json = parsed(L"{\"k\":{\"n\":\"v\"}}");
        c.op(json);
        EXPECT_EQ(json.toString(), c.result);
    }
}

// Every operation along a path whose root, or whose member o, has another kind than the
// operation needs: nothing is found, nothing is written, nothing is handed out.
TEST(JSONParser, WrongKindsOnThePathChangeNothing) {
    struct Outs {
        std::wstring text;
        bool flag = false;
        StringMap map;
        JSONParser object;
        std::vector<JSONParser> items;
    };
    using Op = std::function<bool(JSONParser&, Outs&)>;
    const JSONParser other;
    // clang-format off
    const std::pair<const char*, Op> pathOps[] = {
        {"getNestedString", [](auto& j, auto& o) { return j.getNestedString(L"o", L"k", o.text); }},
        {"getString", [](auto& j, auto& o) { return j.getString(L"o", o.text); }},
        {"getNestedBool", [](auto& j, auto& o) { return j.getNestedBool(L"o", L"k", o.flag); }},
        {"getBool", [](auto& j, auto& o) { return j.getBool(L"o", o.flag); }},
        {"getArrayItemString", [](auto& j, auto& o) { return j.getArrayItemString(L"o", L"k", o.text); }},
        {"getArrayItemBool", [](auto& j, auto& o) { return j.getArrayItemBool(L"o", L"k", o.flag); }},
        {"getStringMap", [](auto& j, auto& o) { return j.getStringMap(L"o", o.map); }},
        {"getObject", [](auto& j, auto& o) { return j.getObject(L"o", o.object); }},
        {"getArray", [](auto& j, auto& o) { return j.getArray(L"o", o.items); }},
        {"setNestedString", [](auto& j, auto&) { j.setNestedString(L"o", L"k", L"v"); return false; }},
        {"setNestedBool", [](auto& j, auto&) { j.setNestedBool(L"o", L"k", true); return false; }},
        {"appendToArray", [&](auto& j, auto&) { j.appendToArray(L"o", other); return false; }},
    };
    const std::pair<const char*, Op> rootOps[] = {
        {"setString", [](auto& j, auto&) { j.setString(L"k", L"v"); return false; }},
        {"setBool", [](auto& j, auto&) { j.setBool(L"k", true); return false; }},
        {"addObject", [&](auto& j, auto&) { j.addObject(L"k", other); return false; }},
        {"setObject", [&](auto& j, auto&) { j.setObject(L"k", other); return false; }},
        {"setArray", [&](auto& j, auto&) { j.setArray(L"k", {other}); return false; }},
    };
    // clang-format on
    auto check = [](const std::wstring& document, const std::pair<const char*, Op>& op) {
        SCOPED_TRACE(testing::PrintToString(document) + " " + op.first);
        JSONParser json;
        json.parse(document);
        const std::wstring before = json.toString();
        Outs outs;
        EXPECT_FALSE(op.second(json, outs));
        EXPECT_EQ(json.toString(), before);
        EXPECT_EQ(outs.text, L"");
        EXPECT_FALSE(outs.flag);
        EXPECT_TRUE(outs.map.empty());
        EXPECT_EQ(outs.object.toString(), L"{}");
        EXPECT_TRUE(outs.items.empty());
    };
    // The empty text fails to parse and leaves a null root.
    for (const wchar_t* document : {L"", L"[1,2]", L"\"x\""}) {
        for (const auto& op : pathOps) {
            check(document, op);
        }
        for (const auto& op : rootOps) {
            check(document, op);
        }
    }
    for (const auto& op : pathOps) {
        check(L"{\"o\":5}", op);
    }
}
