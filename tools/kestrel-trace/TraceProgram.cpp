#include "TraceProgram.h"

#include "TraceEventDecoder.h"
#include "platform/FileSystemPath.h"
#include "platform/TextCodec.h"

#include <chrono>
#include <fstream>
#include <iostream>
#include <iterator>
#include <optional>

namespace Vanta {
namespace {

// {E16CA450-55CC-11E0-B8AF-0800200C9A66}: the module's provider when its
// trace configuration key is missing.
constexpr Strato::Guid kDefaultProvider{
    0xE16CA450, 0x55CC, 0x11E0, {0xB8, 0xAF, 0x08, 0x00, 0x20, 0x0C, 0x9A, 0x66}};
// How often a waiting session looks at the interrupt and the clock.
constexpr uint32_t kPollMs = 100;

std::optional<uint64_t> number(const std::wstring& text, uint64_t largest) {
    if (text.empty() || text.size() > 19) {
        return std::nullopt;
    }
    uint64_t value = 0;
    for (const wchar_t c : text) {
        if (c < L'0' || c > L'9') {
            return std::nullopt;
        }
        value = value * 10 + static_cast<uint64_t>(c - L'0');
    }
    if (value > largest) {
        return std::nullopt;
    }
    return value;
}

} // namespace

TraceProgram::TraceProgram(std::ostream& out, std::ostream& err,
                           std::function<bool()> stopRequested,
                           std::shared_ptr<TraceSession> session)
    : out_(out), err_(err), stopRequested_(std::move(stopRequested)), session_(std::move(session)) {
}

void TraceProgram::appendRawEvent(std::string& file, const std::vector<uint8_t>& event) {
    const auto size = static_cast<uint32_t>(event.size());
    for (int i = 0; i < 4; ++i) {
        file.push_back(static_cast<char>(size >> (8 * i)));
    }
    file.append(event.begin(), event.end());
}

int TraceProgram::usage(const std::wstring& complaint) {
    err_ << "kestrel-trace: " << toUtf8(complaint) << "\n"
         << "usage: kestrel-trace [--provider GUID] [--level N] [--flags N] [--count N]\n"
            "                     [--seconds N] [--raw FILE]\n"
            "       kestrel-trace --decode FILE\n";
    return kExitUsage;
}

bool TraceProgram::print(const std::vector<uint8_t>& event) {
    TraceEventRecord record;
    if (!decodeTraceEvent(event.data(), event.size(), record)) {
        ++malformed_;
        return false;
    }
    out_ << formatTraceEventLine(record) << "\n";
    out_.flush();
    return true;
}

int TraceProgram::decodeFile(const std::wstring& path) {
    std::ifstream file(toFileSystemPath(path), std::ios::binary);
    if (!file) {
        err_ << "kestrel-trace: cannot read " << toUtf8(path) << "\n";
        return kExitFailed;
    }
    const std::string bytes((std::istreambuf_iterator<char>(file)),
                            std::istreambuf_iterator<char>());
    size_t at = 0;
    uint64_t events = 0;
    while (bytes.size() - at >= 4) {
        uint32_t size = 0;
        for (int i = 0; i < 4; ++i) {
            size |= static_cast<uint32_t>(static_cast<uint8_t>(bytes[at + i])) << (8 * i);
        }
        at += 4;
        if (size > bytes.size() - at) {
            err_ << "kestrel-trace: " << toUtf8(path) << " ends inside an event\n";
            return kExitFailed;
        }
        const std::vector<uint8_t> event(bytes.begin() + static_cast<std::ptrdiff_t>(at),
                                         bytes.begin() + static_cast<std::ptrdiff_t>(at + size));
        at += size;
        events += print(event) ? 1 : 0;
    }
    err_ << "kestrel-trace: " << events << " events, " << malformed_ << " malformed\n";
    return at == bytes.size() ? kExitOk : kExitFailed;
}

int TraceProgram::run(const std::vector<std::wstring>& arguments) {
    Strato::Guid provider = kDefaultProvider;
    uint64_t level = 1;
    uint64_t flags = 0;
    std::optional<uint64_t> count;
    std::optional<uint64_t> seconds;
    std::optional<std::wstring> raw;
    std::optional<std::wstring> decode;
    for (size_t i = 0; i < arguments.size(); ++i) {
        const std::wstring& option = arguments[i];
        if (option == L"--help") {
            usage(L"a trace session for the module's provider");
            return kExitOk;
        }
        if (i + 1 >= arguments.size()) {
            return usage(L"missing value after " + option);
        }
        const std::wstring& value = arguments[++i];
        std::optional<uint64_t> parsed;
        if (option == L"--provider") {
            if (!Strato::parseGuid(value, provider)) {
                return usage(L"not a GUID: " + value);
            }
            continue;
        }
        if (option == L"--raw") {
            raw = value;
            continue;
        }
        if (option == L"--decode") {
            decode = value;
            continue;
        }
        if (option == L"--level") {
            parsed = number(value, 255);
            if (!parsed || *parsed == 0) {
                return usage(L"a level is 1 to 255: " + value);
            }
            level = *parsed;
        } else if (option == L"--flags") {
            parsed = number(value, 0xFFFFFFFFu);
            if (!parsed) {
                return usage(L"flags are a 32-bit number: " + value);
            }
            flags = *parsed;
        } else if (option == L"--count" || option == L"--seconds") {
            parsed = number(value, 0xFFFFFFFFu);
            if (!parsed || *parsed == 0) {
                return usage(L"not a positive number: " + value);
            }
            (option == L"--count" ? count : seconds) = parsed;
        } else {
            return usage(L"unknown option " + option);
        }
    }
    if (decode) {
        return decodeFile(*decode);
    }

    std::ofstream rawFile;
    if (raw) {
        rawFile.open(toFileSystemPath(*raw), std::ios::binary | std::ios::trunc);
        if (!rawFile) {
            err_ << "kestrel-trace: cannot write " << toUtf8(*raw) << "\n";
            return kExitFailed;
        }
    }
    if (!session_) {
        session_ = std::make_shared<TraceSession>();
    }
    if (const uint32_t started =
            session_->start(provider, static_cast<uint8_t>(level), static_cast<uint32_t>(flags));
        started != 0) {
        err_ << "kestrel-trace: the session did not start (error " << started << ")\n";
        return kExitFailed;
    }
    err_ << "kestrel-trace: listening for " << toUtf8(Strato::formatGuid(provider)) << " at level "
         << level << "\n";
    err_.flush();

    const auto deadline =
        seconds ? std::optional(std::chrono::steady_clock::now() + std::chrono::seconds(*seconds))
                : std::nullopt;
    uint64_t events = 0;
    std::vector<uint8_t> event;
    while ((!count || events < *count) && !(stopRequested_ && stopRequested_()) &&
           (!deadline || std::chrono::steady_clock::now() < *deadline)) {
        if (!session_->next(event, kPollMs)) {
            continue;
        }
        if (rawFile.is_open()) {
            std::string record;
            appendRawEvent(record, event);
            rawFile.write(record.data(), static_cast<std::streamsize>(record.size()));
            rawFile.flush();
        }
        events += print(event) ? 1 : 0;
    }
    session_->stop();
    err_ << "kestrel-trace: " << events << " events, " << malformed_ << " malformed\n";
    return rawFile.is_open() && !rawFile ? kExitFailed : kExitOk;
}

} // namespace Vanta
