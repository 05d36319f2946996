// Windows-only code belongs in this file.
#include "platform/ProcessAPI.h"

#include "platform/win32/WindowsInclude.h"

#include <tlhelp32.h>

namespace Vanta {

uint32_t ProcessAPI::GetCurrentProcessId() {
    return ::GetCurrentProcessId();
}

uint32_t ProcessAPI::GetProcessId(ProcessHandle process) {
    return ::GetProcessId(process);
}

bool ProcessAPI::ProcessIdToSessionId(uint32_t processId, uint32_t& sessionId) {
    DWORD session = 0;
    if (!::ProcessIdToSessionId(processId, &session)) {
        return false;
    }
    sessionId = session;
    return true;
}

uint32_t ProcessAPI::WTSGetActiveConsoleSessionId() {
    return ::WTSGetActiveConsoleSessionId();
}

ProcessHandle ProcessAPI::GetCurrentProcess() {
    return ::GetCurrentProcess();
}

bool ProcessAPI::CreateProcessAsUserW(ProcessHandle token, wchar_t* commandLine,
                                      void* processAttributes, void* threadAttributes,
                                      bool inheritHandles, uint32_t creationFlags,
                                      void* environment, void* startupInfo,
                                      void* processInformation) {
    return ::CreateProcessAsUserW(
               token, nullptr, commandLine, static_cast<LPSECURITY_ATTRIBUTES>(processAttributes),
               static_cast<LPSECURITY_ATTRIBUTES>(threadAttributes), inheritHandles, creationFlags,
               environment, nullptr, static_cast<LPSTARTUPINFOW>(startupInfo),
               static_cast<LPPROCESS_INFORMATION>(processInformation)) != FALSE;
}

bool ProcessAPI::CreateProcessAsUserW(ProcessHandle token, const wchar_t* applicationName,
                                      wchar_t* commandLine, void* processAttributes,
                                      void* threadAttributes, bool inheritHandles,
                                      uint32_t creationFlags, void* environment,
                                      const wchar_t* currentDirectory, void* startupInfo,
                                      void* processInformation) {
    return ::CreateProcessAsUserW(token, applicationName, commandLine,
                                  static_cast<LPSECURITY_ATTRIBUTES>(processAttributes),
                                  static_cast<LPSECURITY_ATTRIBUTES>(threadAttributes),
                                  inheritHandles, creationFlags, environment, currentDirectory,
                                  static_cast<LPSTARTUPINFOW>(startupInfo),
                                  static_cast<LPPROCESS_INFORMATION>(processInformation)) != FALSE;
}

bool ProcessAPI::OpenProcessToken(ProcessHandle process, uint32_t access, ProcessHandle& token) {
    HANDLE opened = nullptr;
    if (!::OpenProcessToken(process, access, &opened)) {
        return false;
    }
    token = opened;
    return true;
}

bool ProcessAPI::AdjustTokenPrivileges(ProcessHandle token, bool disableAll, void* newState,
                                       uint32_t bufferLength, void* previousState,
                                       uint32_t* returnLength) {
    DWORD length = 0;
    const BOOL result = ::AdjustTokenPrivileges(
        token, disableAll, static_cast<PTOKEN_PRIVILEGES>(newState), bufferLength,
        static_cast<PTOKEN_PRIVILEGES>(previousState), returnLength != nullptr ? &length : nullptr);
    if (returnLength != nullptr) {
        *returnLength = length;
    }
    return result != FALSE;
}

bool ProcessAPI::LookupPrivilegeValueW(const wchar_t* systemName, const wchar_t* name, void* luid) {
    return ::LookupPrivilegeValueW(systemName, name, static_cast<PLUID>(luid)) != FALSE;
}

bool ProcessAPI::GetExitCodeProcess(ProcessHandle process, uint32_t& exitCode) {
    DWORD code = 0;
    if (!::GetExitCodeProcess(process, &code)) {
        return false;
    }
    exitCode = code;
    return true;
}

bool ProcessAPI::TerminateProcess(ProcessHandle process, uint32_t exitCode) {
    return ::TerminateProcess(process, exitCode) != FALSE;
}

bool ProcessAPI::CloseHandle(ProcessHandle handle) {
    return ::CloseHandle(handle) != FALSE;
}

uint32_t ProcessAPI::GetLastError() {
    return ::GetLastError();
}

uint32_t ProcessAPI::WaitForSingleObject(ProcessHandle handle, uint32_t milliseconds) {
    return ::WaitForSingleObject(handle, milliseconds);
}

ProcessHandle ProcessAPI::OpenProcess(uint32_t access, bool inheritHandle, uint32_t processId) {
    return ::OpenProcess(access, inheritHandle, processId);
}

ProcessHandle ProcessAPI::CreateToolhelp32Snapshot(uint32_t flags, uint32_t processId) {
    return ::CreateToolhelp32Snapshot(flags, processId);
}

bool ProcessAPI::Process32FirstW(ProcessHandle snapshot, void* entry) {
    return ::Process32FirstW(snapshot, static_cast<LPPROCESSENTRY32W>(entry)) != FALSE;
}

bool ProcessAPI::Process32NextW(ProcessHandle snapshot, void* entry) {
    return ::Process32NextW(snapshot, static_cast<LPPROCESSENTRY32W>(entry)) != FALSE;
}

} // namespace Vanta
