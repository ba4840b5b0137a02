#include "platform/Files.h"

#include "platform/FileFaults.h"
#include "platform/win32/WideText.h"

#include <windows.h>

#include <algorithm>
#include <atomic>

namespace frostmark {

using win32::Narrow;
using win32::SystemMessage;
using win32::Widen;

namespace {

FileErrorKind KindOf(DWORD code) {
    switch (code) {
    case ERROR_SUCCESS:
        return FileErrorKind::None;
    case ERROR_FILE_NOT_FOUND:
    case ERROR_PATH_NOT_FOUND:
    case ERROR_INVALID_DRIVE:
    case ERROR_BAD_NETPATH:
    case ERROR_BAD_NET_NAME:
    case ERROR_INVALID_NAME:
        return FileErrorKind::NotFound;
    case ERROR_ACCESS_DENIED:
    case ERROR_WRITE_PROTECT:
    case ERROR_PRIVILEGE_NOT_HELD:
        return FileErrorKind::AccessDenied;
    case ERROR_DISK_FULL:
    case ERROR_HANDLE_DISK_FULL:
        return FileErrorKind::NoSpace;
    case ERROR_FILE_TOO_LARGE:
        return FileErrorKind::TooLarge;
    case ERROR_SHARING_VIOLATION:
    case ERROR_LOCK_VIOLATION:
    case ERROR_USER_MAPPED_FILE:
        return FileErrorKind::InUse;
    case ERROR_FILE_EXISTS:
    case ERROR_ALREADY_EXISTS:
        return FileErrorKind::Exists;
    case ERROR_NOT_SUPPORTED:
    case ERROR_INVALID_FUNCTION:
    case ERROR_CALL_NOT_IMPLEMENTED:
        return FileErrorKind::Unsupported;
    case ERROR_CRC:
    case ERROR_IO_DEVICE:
    case ERROR_READ_FAULT:
    case ERROR_WRITE_FAULT:
        return FileErrorKind::IoError;
    default:
        return FileErrorKind::Other;
    }
}

CFileError ErrorOf(DWORD code) {
    return CFileError{KindOf(code), SystemMessage(code)};
}

bool Injected(FileCall call, const std::string& path, CFileError* error) {
    const FileErrorKind kind = InjectedFault(call, path);
    if (kind == FileErrorKind::None)
        return false;
    if (error)
        *error = CFileError{kind, SystemErrorText(kind)};
    return true;
}

HANDLE Handle(std::intptr_t handle) {
    return reinterpret_cast<HANDLE>(handle);
}

std::int64_t FileTimeNs(const FILETIME& time) {
    return static_cast<std::int64_t>((static_cast<std::uint64_t>(time.dwHighDateTime) << 32) |
                                     time.dwLowDateTime) *
           100;
}

// Fills info from an open handle: type, the volume serial number and file index that name the file,
// size and times.
bool InfoOf(HANDLE handle, CPathInfo& info, DWORD& error) {
    BY_HANDLE_FILE_INFORMATION data{};
    const DWORD type = ::GetFileType(handle);
    if (type != FILE_TYPE_DISK) {
        info.type = FileType::Other;
        return true;
    }
    if (!::GetFileInformationByHandle(handle, &data)) {
        error = ::GetLastError();
        return false;
    }
    info.type = (data.dwFileAttributes & FILE_ATTRIBUTE_DIRECTORY) ? FileType::Directory : FileType::Regular;
    CFileIdentity& identity = info.identity;
    identity.device = data.dwVolumeSerialNumber;
    identity.index = (static_cast<std::uint64_t>(data.nFileIndexHigh) << 32) | data.nFileIndexLow;
    identity.size = (static_cast<std::uint64_t>(data.nFileSizeHigh) << 32) | data.nFileSizeLow;
    identity.modifiedNs = FileTimeNs(data.ftLastWriteTime);
    // The change time also moves when the file is renamed or its attributes change, as on POSIX.
    FILE_BASIC_INFO basic{};
    if (::GetFileInformationByHandleEx(handle, FileBasicInfo, &basic, sizeof basic))
        identity.changedNs = basic.ChangeTime.QuadPart * 100;
    else
        identity.changedNs = identity.modifiedNs;
    info.permissions = data.dwFileAttributes & FILE_ATTRIBUTE_READONLY;
    return true;
}

// An open handle that asks for no access to the contents: it works on files other programs hold open in
// any sharing mode, and on directories.
HANDLE OpenForAttributes(const std::wstring& path) {
    return ::CreateFileW(path.c_str(), FILE_READ_ATTRIBUTES,
                         FILE_SHARE_READ | FILE_SHARE_WRITE | FILE_SHARE_DELETE, nullptr, OPEN_EXISTING,
                         FILE_FLAG_BACKUP_SEMANTICS, nullptr);
}

} // namespace

std::string SystemErrorText(FileErrorKind kind) {
    switch (kind) {
    case FileErrorKind::None:
        return {};
    case FileErrorKind::NotFound:
        return SystemMessage(ERROR_FILE_NOT_FOUND);
    case FileErrorKind::AccessDenied:
        return SystemMessage(ERROR_ACCESS_DENIED);
    case FileErrorKind::NoSpace:
        return SystemMessage(ERROR_DISK_FULL);
    case FileErrorKind::TooLarge:
        return SystemMessage(ERROR_FILE_TOO_LARGE);
    case FileErrorKind::IsDirectory:
        return "is a directory"; // Windows says "access denied" where it means this
    case FileErrorKind::NotRegular:
        return "is not a regular file";
    case FileErrorKind::InUse:
        return SystemMessage(ERROR_SHARING_VIOLATION);
    case FileErrorKind::Exists:
        return SystemMessage(ERROR_FILE_EXISTS);
    case FileErrorKind::Unsupported:
        return SystemMessage(ERROR_NOT_SUPPORTED);
    case FileErrorKind::IoError:
        return SystemMessage(ERROR_IO_DEVICE);
    case FileErrorKind::Other:
        break;
    }
    return "unknown error";
}

bool QueryPath(const std::string& path, CPathInfo& info, CFileError* error) {
    info = CPathInfo{};
    const std::wstring wide = Widen(path);
    HANDLE handle = OpenForAttributes(wide);
    if (handle == INVALID_HANDLE_VALUE) {
        const DWORD code = ::GetLastError();
        if (error)
            *error = ErrorOf(code);
        if (KindOf(code) == FileErrorKind::NotFound)
            return true;
        // Held in a way that refuses even this: the attributes alone still tell what it is.
        WIN32_FILE_ATTRIBUTE_DATA data{};
        if (!::GetFileAttributesExW(wide.c_str(), GetFileExInfoStandard, &data))
            return false;
        info.type =
            (data.dwFileAttributes & FILE_ATTRIBUTE_DIRECTORY) ? FileType::Directory : FileType::Regular;
        info.identity.size = (static_cast<std::uint64_t>(data.nFileSizeHigh) << 32) | data.nFileSizeLow;
        info.identity.modifiedNs = FileTimeNs(data.ftLastWriteTime);
        return true;
    }
    DWORD code = 0;
    const bool known = InfoOf(handle, info, code);
    ::CloseHandle(handle);
    if (!known && error)
        *error = ErrorOf(code);
    return known;
}

bool SameFile(const std::string& first, const std::string& second) {
    if (first == second)
        return true;
    CPathInfo a;
    CPathInfo b;
    return QueryPath(first, a) && QueryPath(second, b) && a.type == FileType::Regular &&
           b.type == FileType::Regular && a.identity.SameFileAs(b.identity);
}

bool FollowLinks(const std::string& path, std::string& resolved, CFileError&) {
    // Links are rare on Windows, and replacing one replaces the file it names only when the program
    // writes through it; the path is taken as it is.
    resolved = path;
    return true;
}

bool MoveIntoPlace(const std::string& source, const std::string& target, CFileError& error) {
    if (Injected(FileCall::Replace, target, &error))
        return false;
    // A file marked read-only is not to be replaced, as Windows itself refuses (some emulations of it
    // do not, so it is asked first).
    const std::wstring wideTarget = Widen(target);
    const DWORD attributes = ::GetFileAttributesW(wideTarget.c_str());
    if (attributes != INVALID_FILE_ATTRIBUTES && (attributes & FILE_ATTRIBUTE_READONLY)) {
        error = ErrorOf(ERROR_ACCESS_DENIED);
        return false;
    }
    // One step, and durable before the call returns; a target another program holds open is refused
    // (sharing violation or access denied) and stays as it was.
    if (!::MoveFileExW(Widen(source).c_str(), wideTarget.c_str(),
                       MOVEFILE_REPLACE_EXISTING | MOVEFILE_WRITE_THROUGH)) {
        error = ErrorOf(::GetLastError());
        return false;
    }
    return true;
}

bool LinkFile(const std::string& existing, const std::string& link, CFileError& error) {
    if (Injected(FileCall::Link, link, &error))
        return false;
    if (::CreateHardLinkW(Widen(link).c_str(), Widen(existing).c_str(), nullptr))
        return true;
    error = ErrorOf(::GetLastError());
    return false;
}

bool RemoveFile(const std::string& path, CFileError* error) {
    if (Injected(FileCall::Remove, path, error))
        return false;
    if (::DeleteFileW(Widen(path).c_str()))
        return true;
    const DWORD code = ::GetLastError();
    if (code == ERROR_FILE_NOT_FOUND || code == ERROR_PATH_NOT_FOUND)
        return true;
    if (error)
        *error = ErrorOf(code);
    return false;
}

bool CheckWritableDirectory(const std::string& directory, CFileError& error) {
    // Windows keeps no write permission bit on directories that tells the answer: a file is made and
    // removed at once.
    static std::atomic<unsigned> counter{0};
    const std::string probe = directory + "\\.frostmark-probe-" + std::to_string(::GetCurrentProcessId()) +
                              "-" + std::to_string(counter++);
    HANDLE handle = ::CreateFileW(Widen(probe).c_str(), GENERIC_WRITE, 0, nullptr, CREATE_NEW,
                                  FILE_ATTRIBUTE_TEMPORARY | FILE_FLAG_DELETE_ON_CLOSE, nullptr);
    if (handle == INVALID_HANDLE_VALUE) {
        error = ErrorOf(::GetLastError());
        return false;
    }
    ::CloseHandle(handle);
    return true;
}

bool CFile::FailLastSystemError() {
    m_error = ErrorOf(::GetLastError());
    return false;
}

bool CFile::Open(const std::string& path, bool regularOnly) {
    Close();
    m_path = path;
    m_error = {};
    if (Faulted(FileCall::Open))
        return false;
    const std::wstring wide = Widen(path);
    const DWORD attributes = ::GetFileAttributesW(wide.c_str());
    if (attributes != INVALID_FILE_ATTRIBUTES && (attributes & FILE_ATTRIBUTE_DIRECTORY))
        return Fail(FileErrorKind::IsDirectory);
    // Others may go on reading, writing, renaming and deleting it, as on POSIX.
    HANDLE handle =
        ::CreateFileW(wide.c_str(), GENERIC_READ, FILE_SHARE_READ | FILE_SHARE_WRITE | FILE_SHARE_DELETE,
                      nullptr, OPEN_EXISTING, FILE_ATTRIBUTE_NORMAL | FILE_FLAG_SEQUENTIAL_SCAN, nullptr);
    if (handle == INVALID_HANDLE_VALUE)
        return FailLastSystemError();
    if (regularOnly && ::GetFileType(handle) != FILE_TYPE_DISK) {
        ::CloseHandle(handle);
        return Fail(FileErrorKind::NotRegular);
    }
    m_handle = reinterpret_cast<std::intptr_t>(handle);
    return true;
}

bool CFile::CreateNew(const std::string& path, const CPathInfo* like) {
    Close();
    m_path = path;
    m_error = {};
    if (Faulted(FileCall::Open))
        return false;
    // Readers may look in; nobody may write meanwhile. The read-only attribute of a replaced file is not
    // taken over: the new file could not be written.
    static_cast<void>(like);
    HANDLE handle =
        ::CreateFileW(Widen(path).c_str(), GENERIC_READ | GENERIC_WRITE, FILE_SHARE_READ | FILE_SHARE_DELETE,
                      nullptr, CREATE_NEW, FILE_ATTRIBUTE_NORMAL, nullptr);
    if (handle == INVALID_HANDLE_VALUE)
        return FailLastSystemError();
    m_handle = reinterpret_cast<std::intptr_t>(handle);
    return true;
}

bool CFile::Close() {
    if (!IsOpen())
        return true;
    const bool faulted = Faulted(FileCall::Close);
    HANDLE handle = Handle(m_handle);
    m_handle = kInvalid;
    if (!::CloseHandle(handle) && !faulted)
        return FailLastSystemError();
    return !faulted;
}

namespace {

// Windows reads and writes at most 4 GiB - 1 a call.
constexpr std::size_t kMaxChunk = std::size_t(1) << 30;

} // namespace

std::int64_t CFile::Read(void* data, std::size_t size) {
    if (Faulted(FileCall::Read))
        return -1;
    DWORD got = 0;
    if (!::ReadFile(Handle(m_handle), data, static_cast<DWORD>(std::min(size, kMaxChunk)), &got, nullptr)) {
        if (::GetLastError() == ERROR_HANDLE_EOF || ::GetLastError() == ERROR_BROKEN_PIPE)
            return 0;
        FailLastSystemError();
        return -1;
    }
    return got;
}

std::int64_t CFile::ReadAt(void* data, std::size_t size, std::uint64_t offset) {
    if (Faulted(FileCall::Read))
        return -1;
    OVERLAPPED at{};
    at.Offset = static_cast<DWORD>(offset);
    at.OffsetHigh = static_cast<DWORD>(offset >> 32);
    DWORD got = 0;
    if (!::ReadFile(Handle(m_handle), data, static_cast<DWORD>(std::min(size, kMaxChunk)), &got, &at)) {
        if (::GetLastError() == ERROR_HANDLE_EOF)
            return 0;
        FailLastSystemError();
        return -1;
    }
    return got;
}

bool CFile::Write(const void* data, std::size_t size) {
    if (Faulted(FileCall::Write))
        return false;
    const char* bytes = static_cast<const char*>(data);
    while (size > 0) {
        DWORD written = 0;
        if (!::WriteFile(Handle(m_handle), bytes, static_cast<DWORD>(std::min(size, kMaxChunk)), &written,
                         nullptr))
            return FailLastSystemError();
        if (written == 0)
            return Fail(FileErrorKind::NoSpace);
        bytes += written;
        size -= written;
    }
    return true;
}

std::int64_t CFile::CopyFrom(CFile& source, std::uint64_t, std::size_t) {
    if (source.Faulted(FileCall::Read)) {
        m_error = source.m_error;
        return -1;
    }
    if (Faulted(FileCall::Write))
        return -1;
    // Windows copies whole files only: ranges pass through the caller's memory.
    Fail(FileErrorKind::Unsupported);
    return -1;
}

bool CFile::Seek(std::uint64_t offset) {
    LARGE_INTEGER to{};
    to.QuadPart = static_cast<LONGLONG>(offset);
    if (!::SetFilePointerEx(Handle(m_handle), to, nullptr, FILE_BEGIN))
        return FailLastSystemError();
    return true;
}

bool CFile::Size(std::uint64_t& size) {
    LARGE_INTEGER value{};
    if (!::GetFileSizeEx(Handle(m_handle), &value))
        return FailLastSystemError();
    size = static_cast<std::uint64_t>(value.QuadPart);
    return true;
}

bool CFile::Identity(CFileIdentity& identity) {
    CPathInfo info;
    DWORD code = 0;
    if (!InfoOf(Handle(m_handle), info, code)) {
        m_error = ErrorOf(code);
        return false;
    }
    identity = info.identity;
    return true;
}

bool CFile::Truncate(std::uint64_t size) {
    if (Faulted(FileCall::Truncate))
        return false;
    FILE_END_OF_FILE_INFO end{};
    end.EndOfFile.QuadPart = static_cast<LONGLONG>(size);
    if (!::SetFileInformationByHandle(Handle(m_handle), FileEndOfFileInfo, &end, sizeof end))
        return FailLastSystemError();
    return true;
}

bool CFile::Reserve(std::uint64_t bytes) {
    if (Faulted(FileCall::Reserve))
        return false;
    // The room is taken on the disk without changing the file's length.
    FILE_ALLOCATION_INFO room{};
    room.AllocationSize.QuadPart = static_cast<LONGLONG>(bytes);
    if (!::SetFileInformationByHandle(Handle(m_handle), FileAllocationInfo, &room, sizeof room))
        return FailLastSystemError();
    return true;
}

bool CFile::Sync() {
    if (Faulted(FileCall::Sync))
        return false;
    if (!::FlushFileBuffers(Handle(m_handle)))
        return FailLastSystemError();
    return true;
}

void CFile::StartWriteBack(std::uint64_t, std::uint64_t) {
    // Windows writes its cache back on its own schedule; there is no call to hurry it for a range.
}

void CFile::WaitWriteBack(std::uint64_t, std::uint64_t) {
    // No call waits for a range; FlushFileBuffers in Sync waits for the whole file.
}

} // namespace frostmark
