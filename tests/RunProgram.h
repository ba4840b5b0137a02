#pragma once

// Runs a built program the way a user's shell would: in a working directory of its own, with its output
// and errors going to files. For the end-to-end tests on every system.

#include <string>
#include <vector>

#if defined(_WIN32)
#include <windows.h>
#else
#include <cstdlib>
#include <sys/wait.h>
#endif

namespace frostmark::test {

#if defined(_WIN32)
inline std::wstring WideText(const std::string& utf8) {
    std::wstring wide(static_cast<std::size_t>(::MultiByteToWideChar(
                          CP_UTF8, 0, utf8.data(), static_cast<int>(utf8.size()), nullptr, 0)),
                      L'\0');
    ::MultiByteToWideChar(CP_UTF8, 0, utf8.data(), static_cast<int>(utf8.size()), wide.data(),
                          static_cast<int>(wide.size()));
    return wide;
}

// One argument of a Windows command line, quoted so that the program's parser gives it back unchanged.
inline std::wstring QuotedArgument(const std::wstring& argument) {
    std::wstring quoted = L"\"";
    std::size_t backslashes = 0;
    for (wchar_t c : argument) {
        if (c == L'\\') {
            ++backslashes;
            continue;
        }
        quoted.append(c == L'"' ? 2 * backslashes + 1 : backslashes, L'\\');
        backslashes = 0;
        quoted += c;
    }
    quoted.append(2 * backslashes, L'\\');
    return quoted + L"\"";
}
#endif

// The program's exit status, or -1 when it could not be run or did not end normally.
inline int RunProgramIn(const std::string& directory, const std::string& program,
                        const std::vector<std::string>& args, const std::string& outFile,
                        const std::string& errFile) {
#if defined(_WIN32)
    std::wstring commandLine = QuotedArgument(WideText(program));
    for (const std::string& arg : args)
        commandLine += L" " + QuotedArgument(WideText(arg));
    SECURITY_ATTRIBUTES inherit{sizeof(SECURITY_ATTRIBUTES), nullptr, TRUE};
    HANDLE out = ::CreateFileW(WideText(outFile).c_str(), GENERIC_WRITE, FILE_SHARE_READ, &inherit,
                               CREATE_ALWAYS, FILE_ATTRIBUTE_NORMAL, nullptr);
    HANDLE err = ::CreateFileW(WideText(errFile).c_str(), GENERIC_WRITE, FILE_SHARE_READ, &inherit,
                               CREATE_ALWAYS, FILE_ATTRIBUTE_NORMAL, nullptr);
    STARTUPINFOW startup{};
    startup.cb = sizeof startup;
    startup.dwFlags = STARTF_USESTDHANDLES;
    startup.hStdInput = ::GetStdHandle(STD_INPUT_HANDLE);
    startup.hStdOutput = out;
    startup.hStdError = err;
    PROCESS_INFORMATION process{};
    const bool started = ::CreateProcessW(nullptr, commandLine.data(), nullptr, nullptr, TRUE, 0, nullptr,
                                          WideText(directory).c_str(), &startup, &process);
    ::CloseHandle(out);
    ::CloseHandle(err);
    if (!started)
        return -1;
    ::WaitForSingleObject(process.hProcess, INFINITE);
    DWORD code = 0;
    ::GetExitCodeProcess(process.hProcess, &code);
    ::CloseHandle(process.hThread);
    ::CloseHandle(process.hProcess);
    return static_cast<int>(code);
#else
    const auto quote = [](const std::string& text) {
        std::string quoted(1, '\'');
        for (char c : text) {
            if (c == '\'')
                quoted.append("'\\''");
            else
                quoted.push_back(c);
        }
        quoted.push_back('\'');
        return quoted;
    };
    std::string command = "cd ";
    command.append(quote(directory)).append(" && ").append(quote(program));
    for (const std::string& arg : args)
        command.append(" ").append(quote(arg));
    command.append(" >").append(quote(outFile)).append(" 2>").append(quote(errFile));
    const int status = std::system(command.c_str());
    return WIFEXITED(status) ? WEXITSTATUS(status) : -1;
#endif
}

} // namespace frostmark::test
