#include "platform/Registry.h"

#include "platform/win32/WideText.h"

#include <windows.h>

#include <cwchar>
#include <vector>

namespace frostmark {

namespace {

std::optional<std::string> ReadFromView(HKEY root, const std::wstring& key, const std::wstring& name,
                                        REGSAM view) {
    HKEY opened = nullptr;
    if (::RegOpenKeyExW(root, key.c_str(), 0, KEY_QUERY_VALUE | view, &opened) != ERROR_SUCCESS)
        return std::nullopt;
    std::optional<std::string> text;
    DWORD type = 0;
    DWORD bytes = 0;
    if (::RegQueryValueExW(opened, name.c_str(), nullptr, &type, nullptr, &bytes) == ERROR_SUCCESS &&
        (type == REG_SZ || type == REG_EXPAND_SZ)) {
        // The value may change between the two calls: whatever the second one finds is taken.
        std::vector<wchar_t> buffer(bytes / sizeof(wchar_t) + 2, L'\0');
        bytes = static_cast<DWORD>((buffer.size() - 1) * sizeof(wchar_t));
        if (::RegQueryValueExW(opened, name.c_str(), nullptr, &type, reinterpret_cast<BYTE*>(buffer.data()),
                               &bytes) == ERROR_SUCCESS &&
            (type == REG_SZ || type == REG_EXPAND_SZ)) {
            // Stored text need not end with its terminator, and may hold one before its end.
            std::wstring value(buffer.data(), bytes / sizeof(wchar_t));
            value.resize(std::wcslen(value.c_str()));
            if (type == REG_EXPAND_SZ) {
                const DWORD length = ::ExpandEnvironmentStringsW(value.c_str(), nullptr, 0);
                std::wstring expanded(length, L'\0');
                if (length > 0 &&
                    ::ExpandEnvironmentStringsW(value.c_str(), expanded.data(), length) == length) {
                    expanded.resize(length - 1);
                    value = expanded;
                }
            }
            text = win32::Narrow(value);
        }
    }
    ::RegCloseKey(opened);
    return text;
}

} // namespace

std::optional<std::string> ReadRegistryText(RegistryRoot root, const std::string& key,
                                            const std::string& name) {
    const HKEY rootKey = root == RegistryRoot::LocalMachine ? HKEY_LOCAL_MACHINE : HKEY_CURRENT_USER;
    const std::wstring wideKey = win32::Widen(key);
    const std::wstring wideName = win32::Widen(name);
    if (root == RegistryRoot::LocalMachine) {
        if (auto text = ReadFromView(rootKey, wideKey, wideName, KEY_WOW64_32KEY))
            return text;
    }
    return ReadFromView(rootKey, wideKey, wideName, 0);
}

} // namespace frostmark
