// kestrel-trace: a trace session for one provider GUID that prints each
// event of the module's trace sink decoded on one line, and can keep the raw
// events in a file and decode such a file later. Lines go to `out`, reports
// to `err`, both UTF-8.
#pragma once

#include "platform/TraceSession.h"

#include <functional>
#include <iosfwd>
#include <memory>
#include <string>
#include <vector>

namespace Vanta {

class TraceProgram {
public:
    static constexpr int kExitOk = 0;
    static constexpr int kExitFailed = 1; // the session could not start, or a file failed
    static constexpr int kExitUsage = 2;  // bad arguments

    // `stopRequested` is polled while the session runs (an interrupt); an
    // empty `session` makes the system's.
    TraceProgram(std::ostream& out, std::ostream& err, std::function<bool()> stopRequested,
                 std::shared_ptr<TraceSession> session = nullptr);
    // The arguments after the program name; answers the exit code.
    int run(const std::vector<std::wstring>& arguments);

    // The raw file: each event as its length (4 bytes, little-endian) and its bytes.
    static void appendRawEvent(std::string& file, const std::vector<uint8_t>& event);

private:
    int usage(const std::wstring& complaint);
    int decodeFile(const std::wstring& path);
    // Prints the event; false when it is not a whole event.
    bool print(const std::vector<uint8_t>& event);

    std::ostream& out_;
    std::ostream& err_;
    std::function<bool()> stopRequested_;
    std::shared_ptr<TraceSession> session_;
    uint64_t malformed_ = 0;
};

} // namespace Vanta
