// FileVersionInfo of a file in the system folder, named by its file name.
#pragma once

#include "platform/FileVersionInfo.h"
#include "platform/ShlObjAPI.h"

#include <memory>

namespace Strato {

class SystemFileVersionInfo : public FileVersionInfo {
public:
    // An empty pointer makes the default ShlObjAPI.
    explicit SystemFileVersionInfo(std::shared_ptr<ShlObjAPI> shell = nullptr);
    // Loads <system folder><separator><fileName>. The folder is looked up
    // once; a failed lookup leaves a lone separator.
    bool load(const std::wstring& fileName) override;

private:
    const std::wstring& systemFolder();

    std::shared_ptr<ShlObjAPI> shell_;
    std::wstring systemFolder_;
};

} // namespace Strato
