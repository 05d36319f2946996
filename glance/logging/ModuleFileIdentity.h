// The file name and file version of the library that holds this code, as the
// trace sink puts them in every event. Found once per process.
#pragma once

#include <string>

namespace ETWLogging {

struct ModuleFileIdentity {
    std::wstring fileName; // without its folder; empty when the path is unknown
    std::wstring version;  // empty when the file has no version
};

// This library's own, read on the first call.
const ModuleFileIdentity& thisModuleFileIdentity();

// The file at `path`: its name, and "FileVersion" of the first translation.
ModuleFileIdentity readModuleFileIdentity(const std::wstring& path);

// A version of the form "%u,%u,%u,%u" (blanks allowed before each number)
// written with dots; any other text as it is.
std::wstring dottedFileVersion(const std::wstring& version);

} // namespace ETWLogging
