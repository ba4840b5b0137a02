#include "platform/System.h"

#include "platform/win32/WideText.h"

#include <windows.h>

#include <shellapi.h>

namespace frostmark {

using win32::Narrow;
using win32::Widen;

unsigned long ProcessId() {
    return ::GetCurrentProcessId();
}

std::string HostName() {
    wchar_t name[MAX_COMPUTERNAME_LENGTH + 1] = {};
    DWORD size = MAX_COMPUTERNAME_LENGTH + 1;
    if (!::GetComputerNameW(name, &size))
        return {};
    return Narrow(std::wstring_view(name, size));
}

bool ProcessRunning(unsigned long id) {
    HANDLE process = ::OpenProcess(SYNCHRONIZE, FALSE, static_cast<DWORD>(id));
    if (process == nullptr)
        return ::GetLastError() == ERROR_ACCESS_DENIED; // runs, under an account we may not look into
    const bool running = ::WaitForSingleObject(process, 0) == WAIT_TIMEOUT;
    ::CloseHandle(process);
    return running;
}

std::optional<std::string> GetEnvironment(const char* name) {
    const std::wstring wideName = Widen(name);
    const DWORD size = ::GetEnvironmentVariableW(wideName.c_str(), nullptr, 0);
    if (size == 0)
        return std::nullopt;
    std::wstring value(size, L'\0');
    const DWORD length = ::GetEnvironmentVariableW(wideName.c_str(), value.data(), size);
    value.resize(length);
    return Narrow(value);
}

bool SetEnvironment(const char* name, const std::optional<std::string>& value) {
    const std::wstring wideValue = value ? Widen(*value) : std::wstring();
    // The C runtime keeps a copy of its own (getenv), which is told too.
    const std::wstring assignment = Widen(name) + L"=" + wideValue;
    ::_wputenv(assignment.c_str());
    return ::SetEnvironmentVariableW(Widen(name).c_str(), value ? wideValue.c_str() : nullptr) != 0;
}

std::vector<std::string> CommandLineArguments(int argc, char** argv) {
    int count = 0;
    wchar_t** wide = ::CommandLineToArgvW(::GetCommandLineW(), &count);
    if (wide == nullptr)
        return argc > 1 ? std::vector<std::string>(argv + 1, argv + argc) : std::vector<std::string>();
    std::vector<std::string> arguments;
    for (int i = 1; i < count; ++i)
        arguments.push_back(Narrow(wide[i]));
    ::LocalFree(wide);
    return arguments;
}

void PrepareConsole() {
    ::SetConsoleOutputCP(CP_UTF8);
}

} // namespace frostmark
