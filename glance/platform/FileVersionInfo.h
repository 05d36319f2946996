// The version resource of one file and its StringFileInfo texts.
#pragma once

#include <cstdint>
#include <string>
#include <vector>

namespace Strato {

class FileVersionInfo {
public:
    virtual ~FileVersionInfo() = default;
    // Reads the version resource of `path`. False when this object is
    // already loaded (it keeps the first file), or the file has none.
    virtual bool load(const std::wstring& path);
    // The text `name` ("FileVersion", "ProductVersion", ...) of the first
    // translation that has it, exactly as stored; empty when not loaded or
    // when no translation has it.
    virtual void getString(std::wstring& out, const std::wstring& name);

protected:
    bool loaded() const noexcept { return loaded_; }

private:
    std::vector<uint8_t> block_;
    bool loaded_ = false;
};

} // namespace Strato
