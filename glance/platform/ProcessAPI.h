// Process, token and session calls, one system call per operation. Structure
// arguments are passed as void* to the Windows structure named beside them.
// On Linux the process and session ids come from getpid and getsid; the
// other operations fail with last error 50 and are never used there.
#pragma once

#include <cstdint>

namespace Vanta {

using ProcessHandle = void*;

class ProcessAPI {
public:
    virtual ~ProcessAPI() = default;
    virtual uint32_t GetCurrentProcessId();
    virtual uint32_t GetProcessId(ProcessHandle process);
    // False when the process has no session that can be read.
    virtual bool ProcessIdToSessionId(uint32_t processId, uint32_t& sessionId);
    // 0xFFFFFFFF when there is no console session.
    virtual uint32_t WTSGetActiveConsoleSessionId();
    virtual ProcessHandle GetCurrentProcess();
    // No application name and no current directory. startupInfo:
    // STARTUPINFOW*, processInformation: PROCESS_INFORMATION*.
    virtual bool CreateProcessAsUserW(ProcessHandle token, wchar_t* commandLine,
                                      void* processAttributes, void* threadAttributes,
                                      bool inheritHandles, uint32_t creationFlags,
                                      void* environment, void* startupInfo,
                                      void* processInformation);
    virtual bool CreateProcessAsUserW(ProcessHandle token, const wchar_t* applicationName,
                                      wchar_t* commandLine, void* processAttributes,
                                      void* threadAttributes, bool inheritHandles,
                                      uint32_t creationFlags, void* environment,
                                      const wchar_t* currentDirectory, void* startupInfo,
                                      void* processInformation);
    virtual bool OpenProcessToken(ProcessHandle process, uint32_t access, ProcessHandle& token);
    // newState, previousState: TOKEN_PRIVILEGES*.
    virtual bool AdjustTokenPrivileges(ProcessHandle token, bool disableAll, void* newState,
                                       uint32_t bufferLength, void* previousState,
                                       uint32_t* returnLength);
    // luid: LUID*.
    virtual bool LookupPrivilegeValueW(const wchar_t* systemName, const wchar_t* name, void* luid);
    virtual bool GetExitCodeProcess(ProcessHandle process, uint32_t& exitCode);
    virtual bool TerminateProcess(ProcessHandle process, uint32_t exitCode);
    virtual bool CloseHandle(ProcessHandle handle);
    virtual uint32_t GetLastError();
    virtual uint32_t WaitForSingleObject(ProcessHandle handle, uint32_t milliseconds);
    virtual ProcessHandle OpenProcess(uint32_t access, bool inheritHandle, uint32_t processId);
    virtual ProcessHandle CreateToolhelp32Snapshot(uint32_t flags, uint32_t processId);
    // entry: PROCESSENTRY32W*.
    virtual bool Process32FirstW(ProcessHandle snapshot, void* entry);
    virtual bool Process32NextW(ProcessHandle snapshot, void* entry);
};

} // namespace Vanta
