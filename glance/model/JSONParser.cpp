#include "model/JSONParser.h"

#include "model/RapidJsonConfig.h"

#include <algorithm>
#include <cmath>
#include <cstddef>
#include <cstdint>
#include <memory>
#include <string>
#include <string_view>
#include <utility>

namespace Vanta {

namespace {

using Encoding = rapidjson::UTF16<wchar_t>;
using WideDocument = rapidjson::GenericDocument<Encoding>;
using Value = WideDocument::ValueType;
using Allocator = WideDocument::AllocatorType;

// Every string stored in a document is copied into its allocator. RapidJSON's deep copies share
// the characters of non-copied strings, so a borrowed string would outlive its owner in a copy.
Value textValue(const std::wstring& text, Allocator& allocator) {
    return Value(text.data(), static_cast<rapidjson::SizeType>(text.size()), allocator);
}

// Lookup by the name's full length; the name is only borrowed for the comparison.
Value lookupName(const std::wstring& name) {
    return Value(rapidjson::StringRef(name.data(), name.size()));
}

// RapidJSON asserts (and aborts) when a member is looked up in a value that is not an object,
// so every lookup goes through this check.
const Value* findMember(const Value& object, const std::wstring& name) {
    if (!object.IsObject()) {
        return nullptr;
    }
    const auto member = object.FindMember(lookupName(name));
    return member == object.MemberEnd() ? nullptr : &member->value;
}

Value* findMember(Value& object, const std::wstring& name) {
    return const_cast<Value*>(findMember(std::as_const(object), name));
}

const Value* findNested(const Value& root, const std::wstring& key1, const std::wstring& key2) {
    const Value* outer = findMember(root, key1);
    return outer ? findMember(*outer, key2) : nullptr;
}

const Value* findArrayItemMember(const Value& root, const std::wstring& arrayKey,
                                 const std::wstring& key) {
    const Value* array = findMember(root, arrayKey);
    if (!array || !array->IsArray() || array->Size() != 1) {
        return nullptr;
    }
    return findMember(*array->Begin(), key);
}

// A stored string may hold NULs; callers get the text up to the first one.
bool readString(const Value* value, std::wstring& out) {
    if (!value || !value->IsString()) {
        return false;
    }
    out = value->GetString();
    return true;
}

bool readBool(const Value* value, bool& out) {
    if (!value || !value->IsBool()) {
        return false;
    }
    out = value->GetBool();
    return true;
}

// Moves value into a new member key at the end of object and answers the stored value.
Value& appendMember(Value& object, const std::wstring& key, Value& value, Allocator& allocator) {
    object.AddMember(textValue(key, allocator), value, allocator);
    return (object.MemberEnd() - 1)->value;
}

void replaceMember(Value& object, const std::wstring& key, Value& value, Allocator& allocator) {
    object.RemoveMember(lookupName(key));
    appendMember(object, key, value, allocator);
}

// The member that a nested setter appends to: root[key1], created as an empty object when
// missing; null when the root or root[key1] is not an object.
Value* nestedTarget(Value& root, const std::wstring& key1, Allocator& allocator) {
    if (!root.IsObject()) {
        return nullptr;
    }
    Value* outer = findMember(root, key1);
    if (!outer) {
        Value empty(rapidjson::kObjectType);
        outer = &appendMember(root, key1, empty, allocator);
    }
    return outer->IsObject() ? outer : nullptr;
}

// Hands the reader's events to the document and stops the parse at arrays and objects nested
// deeper than the limit. Reading, writing and copying recurse once per level, so an unbounded
// text from the bus could otherwise overflow the stack.
class DepthLimitedHandler {
public:
    explicit DepthLimitedHandler(WideDocument& document) : document_(document) {}

    bool Null() { return document_.Null(); }
    bool Bool(bool b) { return document_.Bool(b); }
    bool Int(int i) { return document_.Int(i); }
    bool Uint(unsigned u) { return document_.Uint(u); }
    bool Int64(std::int64_t i) { return document_.Int64(i); }
    bool Uint64(std::uint64_t u) { return document_.Uint64(u); }
    // Infinity has no JSON text: the writer would stop in the middle of the document.
    bool Double(double d) { return std::isfinite(d) && document_.Double(d); }
    bool RawNumber(const wchar_t* s, rapidjson::SizeType n, bool copy) {
        return document_.RawNumber(s, n, copy);
    }
    bool String(const wchar_t* s, rapidjson::SizeType n, bool copy) {
        return document_.String(s, n, copy);
    }
    bool Key(const wchar_t* s, rapidjson::SizeType n, bool copy) {
        return document_.Key(s, n, copy);
    }
    bool StartObject() { return enter() && document_.StartObject(); }
    bool EndObject(rapidjson::SizeType members) {
        --depth_;
        return document_.EndObject(members);
    }
    bool StartArray() { return enter() && document_.StartArray(); }
    bool EndArray(rapidjson::SizeType elements) {
        --depth_;
        return document_.EndArray(elements);
    }

private:
    bool enter() { return ++depth_ <= JSONParser::kMaxDepth; }

    WideDocument& document_;
    unsigned depth_ = 0;
};

// RapidJSON's full-precision conversion indexes its tables of powers of ten by a number's
// decimal exponent without a bound, and normalises a zero significand: numbers far outside a
// double's range, and zeros with a large exponent, make it read outside its tables. Their
// values are known without it: above the largest double a number is unreadable (as infinity
// is), below the smallest one it is zero. So they are settled before the reader sees them.
enum class NumberFix { None, Zero, Refuse };

bool isDigit(wchar_t c) {
    return c >= L'0' && c <= L'9';
}

size_t skipDigits(std::wstring_view text, size_t i) {
    while (i < text.size() && isDigit(text[i])) {
        ++i;
    }
    return i;
}

// The number token at the start of `text`: its length and what it needs. Only a well-formed
// JSON number is settled, so that no rewriting makes a malformed text readable.
NumberFix classifyNumber(std::wstring_view text, size_t& length) {
    constexpr int64_t kExponentCap = 1'000'000;
    size_t i = text[0] == L'-' ? 1 : 0;
    const size_t intStart = i;
    const size_t intEnd = i = skipDigits(text, i);
    length = std::max<size_t>(i, 1);
    const bool leadingZero = intEnd - intStart > 1 && text[intStart] == L'0';
    if (intEnd == intStart || leadingZero) {
        return NumberFix::None;
    }
    size_t fracStart = i;
    if (i < text.size() && text[i] == L'.') {
        fracStart = i + 1;
        i = skipDigits(text, fracStart);
        if (i == fracStart) {
            return NumberFix::None;
        }
    }
    const size_t fracEnd = i;
    int64_t exponent = 0;
    if (i < text.size() && (text[i] == L'e' || text[i] == L'E')) {
        ++i;
        const bool negative = i < text.size() && text[i] == L'-';
        i += (i < text.size() && (text[i] == L'-' || text[i] == L'+')) ? 1 : 0;
        const size_t digits = i;
        for (; i < text.size() && isDigit(text[i]); ++i) {
            exponent = std::min(exponent * 10 + (text[i] - L'0'), kExponentCap);
        }
        if (i == digits) {
            return NumberFix::None;
        }
        exponent = negative ? -exponent : exponent;
    }
    length = i;
    const auto isSignificant = [](wchar_t c) {
        return c >= L'1' && c <= L'9';
    };
    const auto intDigits = text.substr(intStart, intEnd - intStart);
    const auto fracDigits = text.substr(fracStart, fracEnd - fracStart);
    // Where the first significant digit stands, as a power of ten, once the exponent applies.
    const auto intAt = std::find_if(intDigits.begin(), intDigits.end(), isSignificant);
    const auto fracAt = std::find_if(fracDigits.begin(), fracDigits.end(), isSignificant);
    NumberFix fix = NumberFix::None;
    if (intAt != intDigits.end() || fracAt != fracDigits.end()) {
        const int64_t magnitude =
            exponent +
            (intAt != intDigits.end() ? intDigits.end() - intAt : -(fracAt - fracDigits.begin()));
        fix = magnitude > 309    ? NumberFix::Refuse
              : magnitude < -329 ? NumberFix::Zero
                                 : NumberFix::None;
    } else if (exponent > 22 || exponent < -22 || fracDigits.size() > 22) {
        fix = NumberFix::Zero; // zero, whatever its exponent or its count of zeros
    }
    // A number char right after the token makes the text malformed; the reader would still
    // convert the token first.
    const bool joined =
        i < text.size() && (isDigit(text[i]) || text[i] == L'.' || text[i] == L'e' ||
                            text[i] == L'E' || text[i] == L'+' || text[i] == L'-');
    return fix != NumberFix::None && joined ? NumberFix::Refuse : fix;
}

// False when the text holds a number above the largest double. Otherwise `settled` is the text
// with the tiny numbers written as zero, or empty when there were none.
bool settleExtremeNumbers(const std::wstring& text, std::wstring& settled) {
    const std::wstring_view view(text.c_str()); // the reader stops at the first NUL
    bool inString = false;
    bool changed = false;
    size_t copied = 0;
    for (size_t i = 0; i < view.size(); ++i) {
        const wchar_t c = view[i];
        if (inString) {
            i += c == L'\\' ? 1 : 0;
            inString = c != L'"';
            continue;
        }
        if (c == L'"') {
            inString = true;
            continue;
        }
        if (c != L'-' && !isDigit(c)) {
            continue;
        }
        size_t length = 0;
        const NumberFix fix = classifyNumber(view.substr(i), length);
        if (fix == NumberFix::Refuse) {
            return false;
        }
        if (fix == NumberFix::Zero) {
            settled.append(view.substr(copied, i - copied));
            settled.append(c == L'-' ? L"-0.0" : L"0.0");
            copied = i + length;
            changed = true;
        }
        i += length - 1;
    }
    if (changed) {
        settled.append(view.substr(copied));
    }
    return true;
}

std::wstring decimalText(int number) {
    // The digits and the sign are ASCII, so widening them one by one is exact.
    const std::string digits = std::to_string(number);
    return std::wstring(digits.begin(), digits.end());
}

} // namespace

// A document's values live in its pool, whose first chunk is inside the
// document: a status message or one tile fits there, so most documents cost
// one allocation. Larger ones go on in chunks of kLaterChunkBytes, small
// enough that a payload's pools do not make the heap shrink and regrow.
struct JSONParser::Document {
    static constexpr size_t kFirstChunkBytes = 8 * 1024;
    static constexpr size_t kLaterChunkBytes = 16 * 1024;

    Document()
        : pool(firstChunk, sizeof firstChunk, kLaterChunkBytes),
          json(rapidjson::kObjectType, &pool) {}
    explicit Document(const Value& root) : Document() { json.CopyFrom(root, pool); }
    Document(const Document&) = delete;
    Document& operator=(const Document&) = delete;

    Value& root() { return json; }
    const Value& root() const { return json; }
    Allocator& allocator() { return pool; }

    alignas(std::max_align_t) char firstChunk[kFirstChunkBytes];
    Allocator pool;
    WideDocument json;
};

JSONParser::JSONParser() : doc_(std::make_unique<Document>()) {}

JSONParser::JSONParser(const JSONParser& other)
    : doc_(std::make_unique<Document>(other.doc_->root())) {}

JSONParser& JSONParser::operator=(const JSONParser& other) {
    // A fresh document also releases the pool of the old one, which never frees piecemeal.
    doc_ = std::make_unique<Document>(other.doc_->root());
    return *this;
}

JSONParser::~JSONParser() = default;

bool JSONParser::parse(const std::wstring& text) {
    // A fresh document leaves nothing of the old one in the pool.
    auto parsed = std::make_unique<Document>();
    bool ok = false;
    std::wstring settled;
    const bool numbersReadable = settleExtremeNumbers(text, settled);
    const std::wstring& readable = settled.empty() ? text : settled;
    auto read = [&readable, &ok](WideDocument& document) {
        DepthLimitedHandler handler(document);
        rapidjson::GenericStringStream<Encoding> stream(readable.c_str());
        rapidjson::GenericReader<Encoding, Encoding> reader;
        // Full precision: a number written out reads back as the same double.
        ok = !reader.Parse<rapidjson::kParseFullPrecisionFlag>(stream, handler).IsError();
        return ok;
    };
    try {
        if (numbersReadable) {
            parsed->json.Populate(read);
        }
    } catch (const internal::RapidJsonAssertion&) {
        // The reader meets an escaped low surrogate with no high one before it only in an
        // assertion: such text is not UTF-16, and the document is refused.
        ok = false;
    }
    // A failed parse keeps the root that the document started with.
    if (!ok) {
        parsed->json.SetNull();
    }
    doc_ = std::move(parsed);
    return ok;
}

namespace {

// The writer's output. The writer reserves room for a whole value before it writes it (through
// PutReserve, found by argument lookup), so most characters are stored without any check.
class TextOutput {
public:
    using Ch = wchar_t;
    void reserve(size_t count) {
        if (count > capacity_ - used_) {
            // Not zeroed: the writer reserves six times a string's length for its escapes.
            capacity_ = std::max(capacity_ * 2, used_ + count + 1024);
            auto grown = std::make_unique_for_overwrite<wchar_t[]>(capacity_);
            std::copy_n(buffer_.get(), used_, grown.get());
            buffer_ = std::move(grown);
        }
    }
    void putUnchecked(Ch c) { buffer_[used_++] = c; }
    void Put(Ch c) {
        reserve(1);
        putUnchecked(c);
    }
    void Flush() {}
    std::wstring text() const { return std::wstring(buffer_.get(), used_); }

private:
    std::unique_ptr<wchar_t[]> buffer_;
    size_t capacity_ = 0;
    size_t used_ = 0;
};

[[maybe_unused]] void PutReserve(TextOutput& output, size_t count) {
    output.reserve(count);
}
[[maybe_unused]] void PutUnsafe(TextOutput& output, wchar_t c) {
    output.putUnchecked(c);
}

} // namespace

std::wstring JSONParser::toString() const {
    TextOutput output;
    rapidjson::Writer<TextOutput, Encoding, Encoding> writer(output);
    doc_->root().Accept(writer);
    return output.text();
}

bool JSONParser::getNestedString(const std::wstring& key1, const std::wstring& key2,
                                 std::wstring& out) const {
    return readString(findNested(doc_->root(), key1, key2), out);
}

bool JSONParser::getString(const std::wstring& key, std::wstring& out) const {
    return readString(findMember(doc_->root(), key), out);
}

bool JSONParser::getNestedBool(const std::wstring& key1, const std::wstring& key2,
                               bool& out) const {
    return readBool(findNested(doc_->root(), key1, key2), out);
}

bool JSONParser::getBool(const std::wstring& key, bool& out) const {
    return readBool(findMember(doc_->root(), key), out);
}

void JSONParser::setNestedString(const std::wstring& key1, const std::wstring& key2,
                                 const std::wstring& value) {
    if (Value* outer = nestedTarget(doc_->root(), key1, doc_->allocator())) {
        Value text = textValue(value, doc_->allocator());
        appendMember(*outer, key2, text, doc_->allocator());
    }
}

void JSONParser::setString(const std::wstring& key, const std::wstring& value) {
    if (doc_->root().IsObject()) {
        Value text = textValue(value, doc_->allocator());
        replaceMember(doc_->root(), key, text, doc_->allocator());
    }
}

void JSONParser::setNestedBool(const std::wstring& key1, const std::wstring& key2, bool value) {
    if (Value* outer = nestedTarget(doc_->root(), key1, doc_->allocator())) {
        Value flag(value);
        appendMember(*outer, key2, flag, doc_->allocator());
    }
}

void JSONParser::setBool(const std::wstring& key, bool value) {
    if (doc_->root().IsObject()) {
        Value flag(value);
        replaceMember(doc_->root(), key, flag, doc_->allocator());
    }
}

bool JSONParser::getArrayItemString(const std::wstring& arrayKey, const std::wstring& key,
                                    std::wstring& out) const {
    return readString(findArrayItemMember(doc_->root(), arrayKey, key), out);
}

bool JSONParser::getArrayItemBool(const std::wstring& arrayKey, const std::wstring& key,
                                  bool& out) const {
    return readBool(findArrayItemMember(doc_->root(), arrayKey, key), out);
}

// The operations that take another instance copy its root before changing this document, so
// that passing the instance itself copies the document as it was before the call.

void JSONParser::addObject(const std::wstring& key, const JSONParser& other) {
    if (doc_->root().IsObject()) {
        Value copy(other.doc_->root(), doc_->allocator());
        appendMember(doc_->root(), key, copy, doc_->allocator());
    }
}

bool JSONParser::getStringMap(const std::wstring& key,
                              std::unordered_map<std::wstring, std::wstring>& out) const {
    const Value* object = findMember(doc_->root(), key);
    if (!object || !object->IsObject()) {
        return false;
    }
    for (const auto& member : object->GetObject()) {
        const Value& value = member.value;
        if (value.IsString()) {
            out[member.name.GetString()] = value.GetString();
        } else if (value.IsBool()) {
            out[member.name.GetString()] = value.GetBool() ? L"1" : L"0";
        } else if (value.IsInt()) {
            out[member.name.GetString()] = decimalText(value.GetInt());
        }
    }
    return true;
}

void JSONParser::setObject(const std::wstring& key, const JSONParser& other) {
    if (doc_->root().IsObject()) {
        Value copy(other.doc_->root(), doc_->allocator());
        replaceMember(doc_->root(), key, copy, doc_->allocator());
    }
}

bool JSONParser::getObject(const std::wstring& key, JSONParser& out) const {
    const Value* object = findMember(doc_->root(), key);
    if (!object || !object->IsObject()) {
        return false;
    }
    out.doc_ = std::make_unique<Document>(*object);
    return true;
}

void JSONParser::setArray(const std::wstring& key, const std::vector<JSONParser>& items) {
    if (!doc_->root().IsObject()) {
        return;
    }
    Value array(rapidjson::kArrayType);
    array.Reserve(static_cast<rapidjson::SizeType>(items.size()), doc_->allocator());
    for (const JSONParser& item : items) {
        Value copy(item.doc_->root(), doc_->allocator());
        array.PushBack(copy, doc_->allocator());
    }
    replaceMember(doc_->root(), key, array, doc_->allocator());
}

bool JSONParser::getArray(const std::wstring& key, std::vector<JSONParser>& out) const {
    if (!doc_->root().IsObject()) {
        return false;
    }
    const Value* array = findMember(doc_->root(), key);
    if (!array) {
        return true;
    }
    if (!array->IsArray()) {
        return false;
    }
    // Growing the vector copies every instance in it, so make room once.
    out.reserve(out.size() + array->Size());
    for (const Value& element : array->GetArray()) {
        if (!element.IsObject()) {
            return false;
        }
        JSONParser& copy = out.emplace_back();
        copy.doc_->json.CopyFrom(element, copy.doc_->allocator());
    }
    return true;
}

void JSONParser::appendToArray(const std::wstring& key, const JSONParser& item) {
    if (!doc_->root().IsObject()) {
        return;
    }
    Value* array = findMember(doc_->root(), key);
    if (array && !array->IsArray()) {
        return;
    }
    Value copy(item.doc_->root(), doc_->allocator());
    if (!array) {
        Value empty(rapidjson::kArrayType);
        array = &appendMember(doc_->root(), key, empty, doc_->allocator());
    }
    array->PushBack(copy, doc_->allocator());
}

} // namespace Vanta
