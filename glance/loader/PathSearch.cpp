#include "loader/PathSearch.h"

#include "logging/Log.h"
#include "platform/PathSeparator.h"

namespace Vanta {
namespace {

constexpr const wchar_t* kFile = L"PathSearch";
constexpr const wchar_t* kFindFunction = L"Vanta::PathSearch::findFilePath";
constexpr const wchar_t* kCheckFunction = L"Vanta::PathSearch::checkIfExists";

} // namespace

PathSearch::PathSearch(std::shared_ptr<PathAPI> pathApi, std::shared_ptr<DllAPI> dllApi)
    : pathApi_(pathApi ? std::move(pathApi) : std::make_shared<PathAPI>()),
      dllApi_(dllApi ? std::move(dllApi) : std::make_shared<DllAPI>()) {}

PathSearch::~PathSearch() = default;

std::vector<std::wstring> PathSearch::getSearchPaths() const {
    return searchPaths_;
}

void PathSearch::addSearchPaths(const std::vector<std::wstring>& paths) {
    searchPaths_.insert(searchPaths_.end(), paths.begin(), paths.end());
}

void PathSearch::addSearchPath(const wchar_t* path) {
    if (path != nullptr) {
        searchPaths_.emplace_back(path);
    }
}

void PathSearch::addSearchPath(const std::wstring& path) {
    searchPaths_.push_back(path);
}

bool PathSearch::findFilePath(const std::wstring& file, std::wstring& folder) {
    ETWLogging::logIfEnabled(ETWLogging::kLevelNormal, kFile, kFindFunction, __LINE__,
                             L"Entering findFilePath for file %ls", file.c_str());
    for (const std::wstring& candidate : searchPaths_) {
        if (!checkIfExists(candidate + kPathSeparator + file)) {
            continue;
        }
        folder = candidate;
        if (!folder.empty() && folder.back() == kPathSeparator) {
            folder.pop_back();
        }
        ETWLogging::logIfEnabled(ETWLogging::kLevelNormal, kFile, kFindFunction, __LINE__,
                                 L"File found at path %ls. Returning success.", folder.c_str());
        return true;
    }
    ETWLogging::logIfEnabled(ETWLogging::kLevelWarning, kFile, kFindFunction, __LINE__,
                             L"File not found.");
    return false;
}

bool PathSearch::checkIfExists(const std::wstring& path) {
    ETWLogging::logIfEnabled(ETWLogging::kLevelNormal, kFile, kCheckFunction, __LINE__,
                             L"Entering checkIfExists for %ls", path.c_str());
    if (pathApi_->fileExists(path)) {
        ETWLogging::logIfEnabled(ETWLogging::kLevelNormal, kFile, kCheckFunction, __LINE__,
                                 L"File exists");
        return true;
    }
    ETWLogging::logIfEnabled(ETWLogging::kLevelWarning, kFile, kCheckFunction, __LINE__,
                             L"File does not exist.");
    return false;
}

} // namespace Vanta
