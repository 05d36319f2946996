#include "HostProgram.h"

#include "FileLogSwitch.h"
#include "ModuleLibrary.h"
#include "ModuleSession.h"
#include "ScenarioParser.h"
#include "ScenarioPlayer.h"
#include "TilePreview.h"

#include "platform/ExecutablePath.h"
#include "platform/FileSystemPath.h"
#include "platform/PathSeparator.h"
#include "platform/TextCodec.h"

#include <charconv>
#include <filesystem>
#include <fstream>
#include <ostream>
#include <set>

namespace Vanta {
namespace {

constexpr std::uintmax_t kLargestFile = 16 * 1024 * 1024;

struct Options {
    std::wstring modulePath;
    bool selfLoadedBus = false;
    bool fileLog = false;
    std::wstring outFolder = L"kestrel-host-out";
    std::chrono::milliseconds timeout{10000};
    std::vector<std::wstring> scenarios;
};

struct LoadedScenario {
    std::wstring path;
    std::string label;
    TileTable tiles;
    Scenario scenario;
};

// The folder of `path`, separator included; empty for a bare name.
std::wstring folderOf(const std::wstring& path) {
    const size_t slash = path.find_last_of(std::wstring(L"/") + kPathSeparator);
    return slash == std::wstring::npos ? std::wstring() : path.substr(0, slash + 1);
}

// The file name without folder and extension.
std::wstring stemOf(const std::wstring& path) {
    std::wstring name = path.substr(folderOf(path).size());
    const size_t dot = name.rfind(L'.');
    return dot == std::wstring::npos || dot == 0 ? name : name.substr(0, dot);
}

std::optional<std::string> readText(const std::wstring& path) {
    const auto bytes = readWholeFile(path, kLargestFile);
    if (!bytes) {
        return std::nullopt;
    }
    return std::string(bytes->begin(), bytes->end());
}

bool writeFile(const std::wstring& path, const std::string& content) {
    std::ofstream file(toFileSystemPath(path), std::ios::binary | std::ios::trunc);
    file.write(content.data(), static_cast<std::streamsize>(content.size()));
    return static_cast<bool>(file);
}

// A tile image is a bare file name beside the module; nothing else is looked up or copied.
bool isBareFileName(const std::wstring& name) {
    return !name.empty() && name != L"." && name != L".." &&
           name.find_first_of(L"/\\:") == std::wstring::npos;
}

bool fileExists(const std::wstring& path) {
    std::error_code ignored;
    return std::filesystem::is_regular_file(toFileSystemPath(path), ignored);
}

} // namespace

int HostProgram::usage(const std::string& complaint) {
    err_ << "kestrel-host: " << complaint << "\n"
         << "usage: kestrel-host [--module PATH] [--self-loaded-bus] [--file-log] [--out FOLDER] "
            "[--timeout-ms N] SCENARIO...\n";
    return kExitUsage;
}

int HostProgram::run(const std::vector<std::wstring>& arguments) {
    Options options;
    for (size_t i = 0; i < arguments.size(); ++i) {
        const std::wstring& argument = arguments[i];
        const bool hasValue = i + 1 < arguments.size();
        if (argument == L"--self-loaded-bus") {
            options.selfLoadedBus = true;
        } else if (argument == L"--file-log") {
            options.fileLog = true;
        } else if (argument == L"--module" || argument == L"--out" || argument == L"--timeout-ms") {
            if (!hasValue) {
                return usage(toUtf8(argument) + " needs a value");
            }
            const std::wstring& value = arguments[++i];
            if (argument == L"--module") {
                options.modulePath = value;
            } else if (argument == L"--out") {
                options.outFolder = value;
            } else {
                const std::string digits = toUtf8(value);
                uint32_t milliseconds = 0;
                const auto [end, failure] =
                    std::from_chars(digits.data(), digits.data() + digits.size(), milliseconds);
                if (digits.empty() || failure != std::errc() ||
                    end != digits.data() + digits.size() || milliseconds == 0) {
                    return usage("--timeout-ms takes a number of milliseconds above 0");
                }
                options.timeout = std::chrono::milliseconds(milliseconds);
            }
        } else if (argument.starts_with(L"--")) {
            return usage("unknown option " + toUtf8(argument));
        } else {
            options.scenarios.push_back(argument);
        }
    }
    if (options.scenarios.empty()) {
        return usage("no scenario given");
    }

    // Every file first: a mistake in the last one should not wait for the others to play.
    std::vector<LoadedScenario> loaded;
    for (const std::wstring& path : options.scenarios) {
        LoadedScenario entry;
        entry.path = path;
        entry.label = toUtf8(path);
        std::string error;
        const std::wstring tablePath = folderOf(path) + L"tiles.txt";
        if (const auto table = readText(tablePath)) {
            auto parsed = TileTable::parse(*table, toUtf8(tablePath), error);
            if (!parsed) {
                err_ << error << "\n";
                return kExitUsage;
            }
            entry.tiles = std::move(*parsed);
        }
        const auto text = readText(path);
        if (!text) {
            err_ << entry.label << ": cannot read the file\n";
            return kExitUsage;
        }
        auto scenario = ScenarioParser(entry.tiles).parse(*text, entry.label, error);
        if (!scenario) {
            err_ << error << "\n";
            return kExitUsage;
        }
        entry.scenario = std::move(*scenario);
        loaded.push_back(std::move(entry));
    }

    const std::wstring programFolder = folderOf(executablePath());
    if (options.modulePath.empty()) {
        options.modulePath = programFolder + L"Glance.dll";
    }
    // The module that loads the bus itself finds it in the program's folder too.
    const std::wstring busPath = programFolder + L"Conduit.dll";
    // On before the module is loaded: it chooses its log sink once.
    std::optional<FileLogSwitch> fileLog;
    if (options.fileLog) {
        fileLog.emplace();
        if (!fileLog->on()) {
            err_ << "kestrel-host: cannot turn the file log on: registry error " << fileLog->error()
                 << "\n";
            return kExitFailed;
        }
    }
    ModuleLibrary module;
    std::string error;
    if (!module.load(options.modulePath, error)) {
        err_ << "kestrel-host: " << error << "\n";
        return kExitFailed;
    }
    out_ << "module " << toUtf8(options.modulePath) << " " << module.version() << "\n";

    ScenarioPlayer player(
        module, {stemOf(options.modulePath), busPath, options.selfLoadedBus, options.timeout},
        out_);
    // Payloads of an earlier run would pass for this run's.
    std::error_code ignored;
    std::filesystem::remove_all(toFileSystemPath(options.outFolder + kPathSeparator + L"payloads"),
                                ignored);
    size_t failed = 0;
    bool written = true;
    for (const LoadedScenario& entry : loaded) {
        if (!player.play(entry.scenario, entry.label, entry.tiles)) {
            ++failed;
        }
        written = writePayloads(player.settledPayloads(), stemOf(entry.path), options.outFolder) &&
                  written;
    }
    if (player.latestPayload()) {
        written = writeOutputs(*player.latestPayload(), player.latestSource(),
                               folderOf(options.modulePath), options.outFolder) &&
                  written;
    }
    if (!written) {
        err_ << "kestrel-host: cannot write all of " << toUtf8(options.outFolder) << "\n";
    }
    const int exitCode = failed == 0 && written ? kExitPassed : kExitFailed;
    out_ << loaded.size() << (loaded.size() == 1 ? " scenario, " : " scenarios, ") << failed
         << " failed\n";
    if (fileLog) {
        out_ << "the module's log files (UTF-16LE text): "
             << toUtf8(
                    FileLogSwitch::logFolder(ModuleSession::kLogGroup, stemOf(options.modulePath)))
             << "\n";
    }
    return exitCode;
}

} // namespace Vanta

namespace Vanta {

bool HostProgram::writeOutputs(const std::wstring& payloadText, const std::string& source,
                               const std::wstring& imageFolder, const std::wstring& outFolder) {
    std::error_code ignored;
    std::filesystem::create_directories(toFileSystemPath(outFolder), ignored);
    const std::wstring out = outFolder + kPathSeparator;
    bool written = writeFile(out + L"payload.json", toUtf8(payloadText));

    std::set<std::wstring> images;
    const TilePreview preview([&](const std::wstring& image) {
        if (!isBareFileName(image) || !fileExists(imageFolder + image)) {
            return false;
        }
        images.insert(image);
        return true;
    });
    const TilePreview::Page page =
        preview.page(PayloadReader::read(payloadText), fromUtf8("kestrel-host: " + source));
    written = writeFile(out + L"preview.html", page.html) && written;
    for (const std::wstring& image : images) {
        // Removed first: the Windows build's copy_file refuses to overwrite a file.
        std::error_code copyError;
        std::filesystem::remove(toFileSystemPath(out + image), copyError);
        std::filesystem::copy_file(toFileSystemPath(imageFolder + image),
                                   toFileSystemPath(out + image), copyError);
        written = !copyError && written;
    }
    out_ << "preview of " << source << ": " << toUtf8(out) << "preview.html (" << page.flags.size()
         << (page.flags.size() == 1 ? " problem" : " problems") << ")\n";
    for (const std::string& flag : page.flags) {
        out_ << "  " << flag << "\n";
    }
    return written;
}

bool HostProgram::writePayloads(const std::vector<std::wstring>& payloads,
                                const std::wstring& scenarioName, const std::wstring& outFolder) {
    const std::wstring folder = outFolder + kPathSeparator + L"payloads";
    std::error_code ignored;
    std::filesystem::create_directories(toFileSystemPath(folder), ignored);
    bool written = true;
    for (size_t index = 0; index < payloads.size(); ++index) {
        const std::wstring name = scenarioName + L"-" + std::to_wstring(index + 1) + L".json";
        written = writeFile(folder + kPathSeparator + name, toUtf8(payloads[index])) && written;
    }
    return written;
}

} // namespace Vanta
