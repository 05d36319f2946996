// The commands of kestrel-reg over CRegKey: query, add, delete, import and
// export. Results go to `out`, complaints to `err`, both UTF-8.
#pragma once

#include <iosfwd>
#include <string>
#include <vector>

namespace Vanta {

class RegTool {
public:
    static constexpr int kExitOk = 0;
    static constexpr int kExitFailed = 1; // the registry refused or lacks the key or value
    static constexpr int kExitUsage = 2;  // bad arguments or a malformed file

    RegTool(std::ostream& out, std::ostream& err) : out_(out), err_(err) {}
    // The arguments after the program name; answers the exit code.
    int run(const std::vector<std::wstring>& arguments);

private:
    int query(const std::vector<std::wstring>& arguments);
    int add(const std::vector<std::wstring>& arguments);
    int remove(const std::vector<std::wstring>& arguments);
    int importFile(const std::vector<std::wstring>& arguments);
    int exportFile(const std::vector<std::wstring>& arguments);
    int usage(const std::wstring& complaint);
    int failed(const std::wstring& what, int32_t code);

    std::ostream& out_;
    std::ostream& err_;
};

} // namespace Vanta
