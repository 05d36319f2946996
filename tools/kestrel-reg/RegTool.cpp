#include "RegTool.h"

#include "RegFileFormat.h"

#include "platform/AsciiCase.h"
#include "platform/CObfuscatedRegKey.h"
#include "platform/CRegKey.h"
#include "platform/FileSystemPath.h"
#include "platform/TextCodec.h"

#include <fstream>
#include <iterator>
#include <memory>
#include <ostream>

namespace Vanta {
namespace {

using namespace Strato;

constexpr uint32_t kMaxKeyNameChars = 256;

struct KeyPath {
    RegKeyHandle root = nullptr;
    std::wstring rootName; // the full name, as files write it
    std::wstring subKey;
};

bool parseKeyPath(const std::wstring& text, KeyPath& path) {
    struct Root {
        const wchar_t* shortName;
        const wchar_t* longName;
        RegKeyHandle handle;
    };
    const Root roots[] = {
        {L"HKLM", L"HKEY_LOCAL_MACHINE", kHKeyLocalMachine},
        {L"HKCU", L"HKEY_CURRENT_USER", kHKeyCurrentUser},
        {L"HKCR", L"HKEY_CLASSES_ROOT", kHKeyClassesRoot},
        {L"HKU", L"HKEY_USERS", kHKeyUsers},
    };
    const size_t slash = text.find(L'\\');
    const std::wstring rootText = asciiUppered<wchar_t>(text.substr(0, slash));
    for (const Root& root : roots) {
        if (rootText == root.shortName || rootText == root.longName) {
            path.root = root.handle;
            path.rootName = root.longName;
            path.subKey = slash == std::wstring::npos ? L"" : text.substr(slash + 1);
            while (!path.subKey.empty() && path.subKey.back() == L'\\') {
                path.subKey.pop_back();
            }
            return true;
        }
    }
    return false;
}

std::string utf8(const std::wstring& text) {
    return toUtf8(text);
}

std::wstring errorText(int32_t code) {
    switch (code) {
    case kErrorFileNotFound:
        return L"the key or value does not exist";
    case kErrorAccessDenied:
        return L"access is denied";
    case kErrorInvalidData:
        return L"the value has the wrong type or shape";
    case kErrorInvalidParameter:
        return L"invalid parameter";
    default:
        return L"error " + std::to_wstring(code);
    }
}

// CRegKey::SetValue refuses a value without data, but files hold empty
// values of every type (hex(2): and the like), which the editor imports.
class ImportKeyImpl : public internal::CRegKeyImpl {
public:
    RegResult setEmptyValue(const wchar_t* name, uint32_t type) {
        if (handle() == nullptr) {
            return kErrorInvalidParameter;
        }
        return rawSetValue(name, type, nullptr, 0);
    }
};

class ImportKey : public CRegKey {
public:
    ImportKey() : ImportKey(std::make_shared<ImportKeyImpl>()) {}
    RegResult SetEmptyValue(const wchar_t* name, uint32_t type) {
        return writer_.setEmptyValue(name, type);
    }

private:
    explicit ImportKey(const std::shared_ptr<ImportKeyImpl>& impl)
        : CRegKey(impl), writer_(*impl) {}
    ImportKeyImpl& writer_;
};

std::unique_ptr<CRegKey> makeKey(bool scrambled) {
    if (scrambled) {
        return std::make_unique<CObfuscatedRegKey>();
    }
    return std::make_unique<CRegKey>();
}

// Reads one value whole (type and bytes).
int32_t readValue(CRegKey& key, const std::wstring& name, RegFileValue& value) {
    uint32_t size = 0;
    int32_t result = key.QueryValue(name.c_str(), &value.type, nullptr, &size);
    for (int attempt = 0; attempt < 4 && result == kErrorSuccess; ++attempt) {
        value.data.assign(size, 0);
        result = key.QueryValue(name.c_str(), &value.type, value.data.data(), &size);
        if (result == kErrorSuccess) {
            value.data.resize(size);
            value.name = name;
            return kErrorSuccess;
        }
        if (result == kErrorMoreData) {
            result = kErrorSuccess;
        }
    }
    return result == kErrorSuccess ? kErrorMoreData : result;
}

// The options after the key: /v NAME, /ve, /va, /t TYPE, /d DATA, /f, /obf.
struct Options {
    bool hasName = false;
    bool defaultValue = false;
    bool allValues = false;
    std::wstring name;
    bool hasType = false;
    std::wstring type;
    bool hasData = false;
    std::wstring data;
    bool scrambled = false;
    bool recursive = false;
};

bool parseOptions(const std::vector<std::wstring>& arguments, size_t from, Options& options,
                  std::wstring& complaint) {
    for (size_t i = from; i < arguments.size(); ++i) {
        const std::wstring option = asciiUppered<wchar_t>(arguments[i]);
        auto next = [&](std::wstring& out) {
            if (i + 1 >= arguments.size()) {
                complaint = L"option " + arguments[i] + L" needs a value";
                return false;
            }
            out = arguments[++i];
            return true;
        };
        if (option == L"/V") {
            options.hasName = true;
            if (!next(options.name)) {
                return false;
            }
        } else if (option == L"/VE") {
            options.defaultValue = true;
        } else if (option == L"/VA") {
            options.allValues = true;
        } else if (option == L"/T") {
            options.hasType = true;
            if (!next(options.type)) {
                return false;
            }
        } else if (option == L"/D") {
            options.hasData = true;
            if (!next(options.data)) {
                return false;
            }
        } else if (option == L"/OBF") {
            options.scrambled = true;
        } else if (option == L"/S") {
            options.recursive = true;
        } else if (option == L"/F") {
            // Overwriting and deleting never ask here.
        } else {
            complaint = L"unknown option " + arguments[i];
            return false;
        }
    }
    if (int(options.hasName) + int(options.defaultValue) + int(options.allValues) > 1) {
        complaint = L"use only one of /v, /ve and /va";
        return false;
    }
    return true;
}

int32_t exportKey(CRegKey& key, const std::wstring& path, std::wstring& text) {
    text += L"[" + path + L"]\r\n";
    std::wstring name;
    for (uint32_t index = 0;; ++index) {
        int32_t result = key.EnumValue(index, name);
        if (result == kErrorNoMoreItems) {
            break;
        }
        RegFileValue value;
        if (result == kErrorSuccess) {
            result = readValue(key, name, value);
        }
        if (result != kErrorSuccess) {
            return result;
        }
        text += formatRegValue(value);
    }
    text += L"\r\n";
    wchar_t child[kMaxKeyNameChars];
    for (uint32_t index = 0;; ++index) {
        uint32_t chars = kMaxKeyNameChars;
        int32_t result = key.EnumKey(index, child, &chars);
        if (result == kErrorNoMoreItems) {
            return kErrorSuccess;
        }
        CRegKey childKey;
        if (result == kErrorSuccess) {
            result = childKey.Open(key.handle(), child, kKeyRead);
        }
        if (result == kErrorSuccess) {
            result = exportKey(childKey, path + L"\\" + child, text);
        }
        if (result != kErrorSuccess) {
            return result;
        }
    }
}

int32_t deleteTree(const KeyPath& path) {
    const size_t split = path.subKey.rfind(L'\\');
    CRegKey parent;
    int32_t result = parent.Open(
        path.root, split == std::wstring::npos ? L"" : path.subKey.substr(0, split).c_str(),
        kKeyRead | kKeyWrite);
    if (result != kErrorSuccess) {
        return result;
    }
    return parent.RecurseDeleteKey(
        (split == std::wstring::npos ? path.subKey : path.subKey.substr(split + 1)).c_str());
}

} // namespace

int RegTool::usage(const std::wstring& complaint) {
    err_ << "ERROR: " << utf8(complaint) << "\n"
         << "usage: kestrel-reg query KEY [/v NAME | /ve] [/s] [/obf]\n"
         << "       kestrel-reg add KEY [/v NAME | /ve] [/t TYPE] [/d DATA] [/f] [/obf]\n"
         << "       kestrel-reg delete KEY [/v NAME | /ve | /va] [/f]\n"
         << "       kestrel-reg import FILE\n"
         << "       kestrel-reg export KEY FILE [/y]\n"
         << "KEY starts with HKLM, HKCU, HKCR or HKU (or their full names); TYPE is REG_SZ,\n"
         << "REG_EXPAND_SZ, REG_MULTI_SZ (strings separated by \\0), REG_DWORD, REG_QWORD\n"
         << "(decimal or 0x hex) or REG_BINARY (hex digits); /obf reads and writes\n"
         << "values in the scrambled form.\n";
    return kExitUsage;
}

int RegTool::failed(const std::wstring& what, int32_t code) {
    err_ << "ERROR: " << utf8(what) << ": " << utf8(errorText(code)) << " (" << code << ")\n";
    return kExitFailed;
}

int RegTool::run(const std::vector<std::wstring>& arguments) {
    try {
        if (arguments.empty()) {
            return usage(L"no command given");
        }
        const std::wstring command = asciiUppered<wchar_t>(arguments[0]);
        if (command == L"QUERY") {
            return query(arguments);
        }
        if (command == L"ADD") {
            return add(arguments);
        }
        if (command == L"DELETE") {
            return remove(arguments);
        }
        if (command == L"IMPORT") {
            return importFile(arguments);
        }
        if (command == L"EXPORT") {
            return exportFile(arguments);
        }
        return usage(L"unknown command " + arguments[0]);
    } catch (const std::exception& e) {
        err_ << "ERROR: " << e.what() << "\n";
        return kExitFailed;
    }
}

int RegTool::query(const std::vector<std::wstring>& arguments) {
    KeyPath path;
    Options options;
    std::wstring complaint;
    if (arguments.size() < 2 || !parseKeyPath(arguments[1], path)) {
        return usage(L"query needs a key that starts with a root key");
    }
    if (!parseOptions(arguments, 2, options, complaint) || options.allValues || options.hasType ||
        options.hasData) {
        return usage(complaint.empty() ? L"query takes /v, /ve, /s and /obf" : complaint);
    }
    std::unique_ptr<CRegKey> key = makeKey(options.scrambled);
    int32_t result = key->Open(path.root, path.subKey.c_str(), kKeyRead);
    if (result != kErrorSuccess) {
        return failed(L"cannot open " + arguments[1], result);
    }
    const std::wstring shownPath =
        path.rootName + (path.subKey.empty() ? L"" : L"\\" + path.subKey);
    auto show = [&](const RegFileValue& value) {
        out_ << "    " << utf8(value.name.empty() ? L"(Default)" : value.name) << "    "
             << utf8(regTypeName(value.type)) << "    " << utf8(displayRegData(value)) << "\n";
    };
    out_ << utf8(shownPath) << "\n";
    if (options.hasName || options.defaultValue) {
        RegFileValue value;
        result = readValue(*key, options.name, value);
        if (result != kErrorSuccess) {
            return failed(L"cannot read the value " +
                              (options.defaultValue ? L"(Default)" : options.name),
                          result);
        }
        show(value);
        return kExitOk;
    }
    std::wstring name;
    for (uint32_t index = 0;; ++index) {
        result = key->EnumValue(index, name);
        if (result == kErrorNoMoreItems) {
            break;
        }
        RegFileValue value;
        if (result == kErrorSuccess) {
            result = readValue(*key, name, value);
        }
        if (result != kErrorSuccess) {
            return failed(L"cannot read the value " + name, result);
        }
        show(value);
    }
    wchar_t child[kMaxKeyNameChars];
    for (uint32_t index = 0;; ++index) {
        uint32_t chars = kMaxKeyNameChars;
        result = key->EnumKey(index, child, &chars);
        if (result == kErrorNoMoreItems) {
            return kExitOk;
        }
        if (result != kErrorSuccess) {
            return failed(L"cannot list the subkeys of " + shownPath, result);
        }
        if (options.recursive) {
            out_ << "\n";
            std::vector<std::wstring> inner = {L"query", shownPath + L"\\" + child, L"/s"};
            if (options.scrambled) {
                inner.push_back(L"/obf");
            }
            const int code = query(inner);
            if (code != kExitOk) {
                return code;
            }
        } else {
            out_ << utf8(shownPath + L"\\" + child) << "\n";
        }
    }
}

int RegTool::add(const std::vector<std::wstring>& arguments) {
    KeyPath path;
    Options options;
    std::wstring complaint;
    if (arguments.size() < 2 || !parseKeyPath(arguments[1], path) || path.subKey.empty()) {
        return usage(L"add needs a key below a root key");
    }
    if (!parseOptions(arguments, 2, options, complaint) || options.allValues || options.recursive) {
        return usage(complaint.empty() ? L"add takes /v, /ve, /t, /d, /f and /obf" : complaint);
    }
    const bool setsValue = options.hasName || options.defaultValue;
    uint32_t type = kRegSz;
    if (options.hasType && !regTypeFromName(options.type, type)) {
        return usage(L"unknown type " + options.type);
    }
    std::vector<uint8_t> data;
    if (setsValue && !regDataFromText(type, options.data, data)) {
        return usage(L"the data \"" + options.data + L"\" does not fit " + regTypeName(type));
    }
    if (!setsValue && (options.hasType || options.hasData)) {
        return usage(L"/t and /d need /v or /ve");
    }
    std::unique_ptr<CRegKey> key = makeKey(options.scrambled);
    int32_t result = key->Create(path.root, path.subKey.c_str());
    if (result != kErrorSuccess) {
        return failed(L"cannot create " + arguments[1], result);
    }
    if (setsValue) {
        result = data.empty() ? key->SetBinaryValue(options.name.c_str(), nullptr, 0)
                              : key->SetValue(options.name.c_str(), type, data.data(),
                                              static_cast<uint32_t>(data.size()));
        if (result != kErrorSuccess) {
            return failed(L"cannot set the value", result);
        }
    }
    out_ << "The operation completed successfully.\n";
    return kExitOk;
}

int RegTool::remove(const std::vector<std::wstring>& arguments) {
    KeyPath path;
    Options options;
    std::wstring complaint;
    if (arguments.size() < 2 || !parseKeyPath(arguments[1], path)) {
        return usage(L"delete needs a key that starts with a root key");
    }
    if (!parseOptions(arguments, 2, options, complaint) || options.hasType || options.hasData ||
        options.recursive) {
        return usage(complaint.empty() ? L"delete takes /v, /ve, /va and /f" : complaint);
    }
    int32_t result = kErrorSuccess;
    if (options.hasName || options.defaultValue || options.allValues) {
        std::unique_ptr<CRegKey> key = makeKey(options.scrambled);
        result = key->Open(path.root, path.subKey.c_str(), kKeyRead | kKeyWrite);
        if (result != kErrorSuccess) {
            return failed(L"cannot open " + arguments[1], result);
        }
        if (options.allValues) {
            std::wstring name;
            while ((result = key->EnumValue(0, name)) == kErrorSuccess) {
                result = key->DeleteValue(name.c_str());
                if (result != kErrorSuccess) {
                    break;
                }
            }
            result = result == kErrorNoMoreItems ? kErrorSuccess : result;
        } else {
            result = key->DeleteValue(options.name.c_str());
        }
    } else {
        if (path.subKey.empty()) {
            return usage(L"a root key cannot be deleted");
        }
        result = deleteTree(path);
    }
    if (result != kErrorSuccess) {
        return failed(L"cannot delete from " + arguments[1], result);
    }
    out_ << "The operation completed successfully.\n";
    return kExitOk;
}

int RegTool::importFile(const std::vector<std::wstring>& arguments) {
    if (arguments.size() != 2) {
        return usage(L"import needs exactly one file");
    }
    std::ifstream file(toFileSystemPath(arguments[1]), std::ios::binary);
    if (!file) {
        err_ << "ERROR: cannot read " << utf8(arguments[1]) << "\n";
        return kExitFailed;
    }
    const std::string bytes((std::istreambuf_iterator<char>(file)),
                            std::istreambuf_iterator<char>());
    std::vector<RegFileKey> keys;
    std::wstring error;
    std::vector<std::wstring> warnings;
    if (!parseRegFile(decodeRegFileBytes(bytes), keys, error, &warnings)) {
        err_ << "ERROR: " << utf8(arguments[1]) << ", " << utf8(error) << "\n";
        return kExitUsage;
    }
    for (const std::wstring& warning : warnings) {
        err_ << "WARNING: " << utf8(arguments[1]) << ", " << utf8(warning) << "\n";
    }
    // Every key is checked before the first is written, so that a refused
    // file leaves the registry as it was.
    std::vector<KeyPath> paths(keys.size());
    for (size_t i = 0; i < keys.size(); ++i) {
        if (!parseKeyPath(keys[i].path, paths[i]) || paths[i].subKey.empty()) {
            err_ << "ERROR: " << utf8(arguments[1]) << ", line " << keys[i].line
                 << ": not a key below a root key: " << utf8(keys[i].path) << "\n";
            return kExitUsage;
        }
    }
    for (size_t i = 0; i < keys.size(); ++i) {
        const RegFileKey& block = keys[i];
        const KeyPath& path = paths[i];
        if (block.remove) {
            const int32_t result = deleteTree(path);
            if (result != kErrorSuccess && result != kErrorFileNotFound) {
                return failed(L"cannot delete " + block.path, result);
            }
            continue;
        }
        ImportKey key;
        int32_t result = key.Create(path.root, path.subKey.c_str());
        if (result != kErrorSuccess) {
            return failed(L"cannot create " + block.path, result);
        }
        for (const RegFileValue& value : block.values) {
            if (value.remove) {
                result = key.DeleteValue(value.name.c_str());
                result = result == kErrorFileNotFound ? kErrorSuccess : result;
            } else {
                result = value.data.empty()
                             ? key.SetEmptyValue(value.name.c_str(), value.type)
                             : key.SetValue(value.name.c_str(), value.type, value.data.data(),
                                            static_cast<uint32_t>(value.data.size()));
            }
            if (result != kErrorSuccess) {
                return failed(L"cannot write the value \"" + value.name + L"\" of " + block.path,
                              result);
            }
        }
    }
    out_ << "The operation completed successfully.\n";
    return kExitOk;
}

int RegTool::exportFile(const std::vector<std::wstring>& arguments) {
    KeyPath path;
    if (arguments.size() < 3 || arguments.size() > 4 || !parseKeyPath(arguments[1], path) ||
        (arguments.size() == 4 && !equalIgnoringAsciiCase(arguments[3], L"/Y"))) {
        return usage(L"export needs a key and a file");
    }
    CRegKey key;
    int32_t result = key.Open(path.root, path.subKey.c_str(), kKeyRead);
    if (result != kErrorSuccess) {
        return failed(L"cannot open " + arguments[1], result);
    }
    std::wstring text = std::wstring(kRegFileHeader) + L"\r\n\r\n";
    result =
        exportKey(key, path.rootName + (path.subKey.empty() ? L"" : L"\\" + path.subKey), text);
    if (result != kErrorSuccess) {
        return failed(L"cannot export " + arguments[1], result);
    }
    // UTF-16LE with a byte-order mark, as the editor writes.
    std::ofstream file(toFileSystemPath(arguments[2]), std::ios::binary | std::ios::trunc);
    const std::string bytes = "\xFF\xFE" + toUtf16LeBytes(text);
    if (!file || !file.write(bytes.data(), static_cast<std::streamsize>(bytes.size())) ||
        !file.flush()) {
        err_ << "ERROR: cannot write " << utf8(arguments[2]) << "\n";
        return kExitFailed;
    }
    out_ << "The operation completed successfully.\n";
    return kExitOk;
}

} // namespace Vanta
