// Finds the first folder of an ordered list that holds a given file: the
// loader tries a library's candidate folders through it.
#pragma once

#include "loader/DllAPI.h"
#include "platform/PathAPI.h"

#include <memory>
#include <string>
#include <vector>

namespace Vanta {

class PathSearch {
public:
    // Empty pointers make the default collaborators.
    explicit PathSearch(std::shared_ptr<PathAPI> pathApi = nullptr,
                        std::shared_ptr<DllAPI> dllApi = nullptr);
    virtual ~PathSearch();

    virtual std::vector<std::wstring> getSearchPaths() const;
    // Folders are appended as given: duplicates stay, nothing is normalized.
    virtual void addSearchPaths(const std::vector<std::wstring>& paths);
    // A null text adds nothing.
    virtual void addSearchPath(const wchar_t* path);
    virtual void addSearchPath(const std::wstring& path);
    // The first folder, in list order, for which checkIfExists answers true
    // on <folder><separator><file>; `folder` gets it without one trailing
    // separator. On failure answers false and leaves `folder` unchanged.
    virtual bool findFilePath(const std::wstring& file, std::wstring& folder);
    // Whether `path` names an existing file (a folder does not count).
    virtual bool checkIfExists(const std::wstring& path);

private:
    std::shared_ptr<PathAPI> pathApi_;
    // Kept for the loader that owns this search; the search itself never loads.
    std::shared_ptr<DllAPI> dllApi_;
    std::vector<std::wstring> searchPaths_;
};

} // namespace Vanta
