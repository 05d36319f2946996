// kestrel-host's command line and run:
//   kestrel-host [--module PATH] [--self-loaded-bus] [--file-log] [--out FOLDER]
//                [--timeout-ms N] SCENARIO...
// Every scenario file (with "tiles.txt" beside it) is read before any is
// played; each is then played in a module life of its own. The latest
// payload goes to FOLDER as payload.json and as preview.html, beside copies
// of the tile images it shows; the payload each wait ended with also goes to
// FOLDER/payloads.
#pragma once

#include <iosfwd>
#include <string>
#include <vector>

namespace Vanta {

class HostProgram {
public:
    static constexpr int kExitPassed = 0;
    static constexpr int kExitFailed = 1; // a scenario failed, or the module could not run
    static constexpr int kExitUsage = 2;  // bad arguments or a malformed file

    HostProgram(std::ostream& out, std::ostream& err) : out_(out), err_(err) {}
    // The arguments after the program name; answers the exit code.
    int run(const std::vector<std::wstring>& arguments);

private:
    int usage(const std::string& complaint);
    // The tile images are read from `imageFolder` (with its separator).
    // The payload each wait of one scenario ended with, as
    // FOLDER/payloads/<scenario>-<wait>.json, so that runs can be compared.
    static bool writePayloads(const std::vector<std::wstring>& payloads,
                              const std::wstring& scenarioName, const std::wstring& outFolder);
    bool writeOutputs(const std::wstring& payloadText, const std::string& source,
                      const std::wstring& imageFolder, const std::wstring& outFolder);

    std::ostream& out_;
    std::ostream& err_;
};

} // namespace Vanta
