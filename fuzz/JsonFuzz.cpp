// JSONParser over any text: parse, every getter under names the text itself may hold, every
// setter, copies and toString, whose text must parse back to the same text.
#include "FuzzText.h"
#include "model/JSONParser.h"

#include <cstdlib>
#include <string>
#include <unordered_map>
#include <vector>

using Vanta::JSONParser;

namespace {

void readEverything(const JSONParser& json, const std::wstring& key1, const std::wstring& key2) {
    std::wstring text;
    bool flag = false;
    json.getString(key1, text);
    json.getNestedString(key1, key2, text);
    json.getBool(key1, flag);
    json.getNestedBool(key1, key2, flag);
    json.getArrayItemString(key1, key2, text);
    json.getArrayItemBool(key1, key2, flag);
    std::unordered_map<std::wstring, std::wstring> map;
    json.getStringMap(key1, map);
    JSONParser object;
    json.getObject(key1, object);
    std::vector<JSONParser> items;
    json.getArray(key1, items);
}

} // namespace

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
    FuzzedDataProvider input(data, size);
    const std::wstring key1 = fuzzing::nextText(input, 16);
    const std::wstring key2 = fuzzing::nextText(input, 16);
    const std::wstring text = fuzzing::wideText(input.ConsumeRemainingBytesAsString());

    JSONParser json;
    const bool parsed = json.parse(text);
    readEverything(json, key1, key2);
    for (const wchar_t* name : {L"state", L"default", L"products", L"name", L"active"}) {
        readEverything(json, name, L"state");
    }

    // What is written reads back as itself.
    const std::wstring written = json.toString();
    JSONParser again;
    if (parsed && (!again.parse(written) || again.toString() != written)) {
        std::abort();
    }

    JSONParser copy(json);
    copy.setString(key1, key2);
    copy.setNestedString(key1, key2, text.substr(0, 64));
    copy.setBool(key2, true);
    copy.setNestedBool(key2, key1, false);
    copy.addObject(key1, json);
    copy.setObject(key2, json);
    copy.appendToArray(key1, json);
    copy.setArray(key2, {json, copy});
    readEverything(copy, key1, key2);
    JSONParser assigned;
    assigned = copy;
    if (assigned.toString() != copy.toString()) {
        std::abort();
    }
    return 0;
}
