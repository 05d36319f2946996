// Turns the module's file log on for the life of the object: the scrambled
// "Logging Mechanism" value of HKEY_LOCAL_MACHINE "SOFTWARE\Talmor\Logging"
// is 1 from construction on, and what was there before comes back at the end.
// The module reads the value when it first logs, so the switch must be on
// before the module is loaded.
#pragma once

#include <cstdint>
#include <optional>
#include <string>

namespace Vanta {

class FileLogSwitch {
public:
    FileLogSwitch();
    ~FileLogSwitch();
    FileLogSwitch(const FileLogSwitch&) = delete;
    FileLogSwitch& operator=(const FileLogSwitch&) = delete;

    // False when the value could not be written (the registry's code in `error`).
    bool on() const { return error_ == 0; }
    int32_t error() const { return error_; }

    // Where the module's records go: the log root under the program-data
    // folder, the log group and the module's name ("Glance" for Glance.dll).
    // Empty when the program-data folder is not found.
    static std::wstring logFolder(const std::wstring& group, const std::wstring& moduleName);

private:
    std::optional<uint32_t> previous_;
    int32_t error_ = 0;
};

} // namespace Vanta
