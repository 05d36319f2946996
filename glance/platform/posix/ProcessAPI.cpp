// POSIX-only code belongs in this file.
#include "platform/ProcessAPI.h"

#include <unistd.h>

#include <cerrno>

namespace Vanta {
namespace {

constexpr uint32_t kNotSupported = 50;
constexpr uint32_t kInvalidParameter = 87;
// The pseudo handle of the current process, as on Windows.
ProcessHandle const kCurrentProcess = reinterpret_cast<ProcessHandle>(intptr_t{-1});

// The thread's last error, as GetLastError keeps it on Windows.
thread_local uint32_t lastError = 0;

bool unsupported() {
    lastError = kNotSupported;
    return false;
}

} // namespace

uint32_t ProcessAPI::GetCurrentProcessId() {
    return static_cast<uint32_t>(::getpid());
}

uint32_t ProcessAPI::GetProcessId(ProcessHandle process) {
    if (process == kCurrentProcess) {
        return GetCurrentProcessId();
    }
    unsupported();
    return 0;
}

bool ProcessAPI::ProcessIdToSessionId(uint32_t processId, uint32_t& sessionId) {
    const pid_t session = ::getsid(static_cast<pid_t>(processId));
    if (session < 0) {
        lastError = errno == ESRCH ? kInvalidParameter : kNotSupported;
        return false;
    }
    sessionId = static_cast<uint32_t>(session);
    return true;
}

uint32_t ProcessAPI::WTSGetActiveConsoleSessionId() {
    return 0xFFFFFFFF;
}

ProcessHandle ProcessAPI::GetCurrentProcess() {
    return kCurrentProcess;
}

bool ProcessAPI::CreateProcessAsUserW(ProcessHandle, wchar_t*, void*, void*, bool, uint32_t, void*,
                                      void*, void*) {
    return unsupported();
}

bool ProcessAPI::CreateProcessAsUserW(ProcessHandle, const wchar_t*, wchar_t*, void*, void*, bool,
                                      uint32_t, void*, const wchar_t*, void*, void*) {
    return unsupported();
}

bool ProcessAPI::OpenProcessToken(ProcessHandle, uint32_t, ProcessHandle&) {
    return unsupported();
}

bool ProcessAPI::AdjustTokenPrivileges(ProcessHandle, bool, void*, uint32_t, void*, uint32_t*) {
    return unsupported();
}

bool ProcessAPI::LookupPrivilegeValueW(const wchar_t*, const wchar_t*, void*) {
    return unsupported();
}

bool ProcessAPI::GetExitCodeProcess(ProcessHandle, uint32_t&) {
    return unsupported();
}

bool ProcessAPI::TerminateProcess(ProcessHandle, uint32_t) {
    return unsupported();
}

bool ProcessAPI::CloseHandle(ProcessHandle handle) {
    // Only the pseudo handle exists here; closing it is harmless.
    return handle == kCurrentProcess || unsupported();
}

uint32_t ProcessAPI::GetLastError() {
    return lastError;
}

uint32_t ProcessAPI::WaitForSingleObject(ProcessHandle, uint32_t) {
    unsupported();
    return 0xFFFFFFFF; // WAIT_FAILED
}

ProcessHandle ProcessAPI::OpenProcess(uint32_t, bool, uint32_t) {
    unsupported();
    return nullptr;
}

ProcessHandle ProcessAPI::CreateToolhelp32Snapshot(uint32_t, uint32_t) {
    unsupported();
    return reinterpret_cast<ProcessHandle>(intptr_t{-1}); // INVALID_HANDLE_VALUE
}

bool ProcessAPI::Process32FirstW(ProcessHandle, void*) {
    return unsupported();
}

bool ProcessAPI::Process32NextW(ProcessHandle, void*) {
    return unsupported();
}

} // namespace Vanta
