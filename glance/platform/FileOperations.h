// File operations whose semantics are the system's own: a new file with a
// unique name, replacing a file in place, and a move left to the next restart.
#pragma once

#include <string>

namespace Strato {

class FileOperations {
public:
    virtual ~FileOperations() = default;
    // The user's temporary folder, without a trailing separator.
    virtual std::wstring temporaryFolder() const;
    // Creates a new empty file `folder`/<prefix><unique part><extension> and
    // answers its path; empty on failure.
    virtual std::wstring createUniqueFile(const std::wstring& folder, const std::wstring& prefix,
                                          const std::wstring& extension) const;
    // Replaces `replaced` by `replacement` (ReplaceFileW, merge errors
    // ignored; rename on Linux). `replacement` is gone on success.
    virtual bool replaceFile(const std::wstring& replaced, const std::wstring& replacement) const;
    // Moves a file to a path where nothing exists yet.
    virtual bool moveFile(const std::wstring& from, const std::wstring& to) const;
    // Leaves the move to the next restart (MoveFileExW, delay until reboot);
    // Linux has no such facility and answers false.
    virtual bool moveAtRestart(const std::wstring& from, const std::wstring& to) const;
    // The folder of the suite's shared files: on Windows the root of the
    // Windows drive followed by "Program Files\Common Files"; on Linux the
    // common files folder (KESTREL_COMMONFILES or its per-user default).
    virtual std::wstring commonFilesFolder() const;
};

} // namespace Strato
