// The system's one interface for reading and building JSON: a single document of UTF-16 text
// whose members are read and written by name, at the top level, one level down, or inside a
// one-element array. It never logs and never throws for bad input; callers decide what to log.
//
// Failure contract:
// - A get operation that does not find what it looks for answers false and leaves its out
//   argument unchanged (getArray may already have appended elements, see there). Nothing is
//   found in a root that is not an object, e.g. after a failed parse (the root is then null).
// - A set operation leaves the document unchanged when the root is not an object, when a nested
//   setter finds root[key1] present but not an object, and when appendToArray finds root[key]
//   present but not an array.
// - Texts are UTF-16 code units, also where wchar_t is 32 bits. Names are compared by their full
//   length; texts handed out end at the first NUL of the stored string.
// - Replacing a member moves the object's last member into the place of the first member of that
//   name and appends the new member at the end: replacing a in {a, b, c} leaves c, b, a.
//
// An instance belongs to one thread at a time.
#pragma once

#include <memory>
#include <string>
#include <unordered_map>
#include <vector>

namespace Vanta {

class JSONParser {
public:
    // Deepest nesting of arrays and objects that parse accepts. Far beyond any message of the
    // system, and shallow enough that the recursion of reading, writing and copying a document
    // stays well within a thread's stack.
    static constexpr unsigned kMaxDepth = 512;

    // Holds an empty object.
    JSONParser();
    // Deep copies: instances never share memory. Moves copy as well, so that no instance is ever
    // left without a document.
    JSONParser(const JSONParser& other);
    JSONParser& operator=(const JSONParser& other);
    virtual ~JSONParser();

    // True when text, read up to its first NUL, is exactly one JSON value of any kind with only
    // whitespace around it and nested at most kMaxDepth deep; the root is then that value.
    // Otherwise false and the root is null.
    virtual bool parse(const std::wstring& text);
    // Compact text of the whole document, members in document order.
    virtual std::wstring toString() const;

    virtual bool getNestedString(const std::wstring& key1, const std::wstring& key2,
                                 std::wstring& out) const;
    virtual bool getString(const std::wstring& key, std::wstring& out) const;
    virtual bool getNestedBool(const std::wstring& key1, const std::wstring& key2, bool& out) const;
    virtual bool getBool(const std::wstring& key, bool& out) const;

    // The nested setters create root[key1] as an empty object when it is missing and then append
    // key2 without looking for an existing member of that name.
    virtual void setNestedString(const std::wstring& key1, const std::wstring& key2,
                                 const std::wstring& value);
    // Replaces root[key].
    virtual void setString(const std::wstring& key, const std::wstring& value);
    virtual void setNestedBool(const std::wstring& key1, const std::wstring& key2, bool value);
    // Replaces root[key].
    virtual void setBool(const std::wstring& key, bool value);

    // root[arrayKey] must be an array of exactly one object whose member key has the kind asked.
    virtual bool getArrayItemString(const std::wstring& arrayKey, const std::wstring& key,
                                    std::wstring& out) const;
    virtual bool getArrayItemBool(const std::wstring& arrayKey, const std::wstring& key,
                                  bool& out) const;

    // Appends key with a copy of other's root, without looking for an existing member key.
    virtual void addObject(const std::wstring& key, const JSONParser& other);
    // root[key] must be an object. Its string, boolean ("1"/"0") and 32-bit integer members are
    // written into out by name, overwriting entries of the same name; other kinds are skipped.
    virtual bool getStringMap(const std::wstring& key,
                              std::unordered_map<std::wstring, std::wstring>& out) const;
    // Replaces root[key] by a copy of other's root.
    virtual void setObject(const std::wstring& key, const JSONParser& other);
    // root[key] must be an object; out's root becomes a copy of it.
    virtual bool getObject(const std::wstring& key, JSONParser& out) const;
    // Replaces root[key] by an array of copies of the items' roots.
    virtual void setArray(const std::wstring& key, const std::vector<JSONParser>& items);
    // Appends a copy of each object element of root[key] to out, in order. A missing key answers
    // true with nothing appended; a member that is not an array answers false; an element that
    // is not an object stops the walk with false, keeping the copies already appended.
    virtual bool getArray(const std::wstring& key, std::vector<JSONParser>& out) const;
    // Creates root[key] as an empty array when it is missing, then appends a copy of item's root.
    virtual void appendToArray(const std::wstring& key, const JSONParser& item);

private:
    struct Document;
    std::unique_ptr<Document> doc_;
};

} // namespace Vanta
