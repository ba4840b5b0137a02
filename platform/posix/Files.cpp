#include "platform/Files.h"

#include "platform/FileFaults.h"

#include <algorithm>
#include <cerrno>
#include <climits>
#include <cstdlib>
#include <cstring>
#include <fcntl.h>
#include <sys/stat.h>
#include <unistd.h>

namespace frostmark {

namespace {

FileErrorKind KindOf(int error) {
    switch (error) {
    case 0:
        return FileErrorKind::None;
    case ENOENT:
    case ENOTDIR:
        return FileErrorKind::NotFound;
    case EACCES:
    case EPERM:
    case EROFS:
        return FileErrorKind::AccessDenied;
    case ENOSPC:
#if defined(EDQUOT)
    case EDQUOT:
#endif
        return FileErrorKind::NoSpace;
    case EFBIG:
        return FileErrorKind::TooLarge;
    case EISDIR:
        return FileErrorKind::IsDirectory;
    case EBUSY:
    case ETXTBSY:
        return FileErrorKind::InUse;
    case EEXIST:
        return FileErrorKind::Exists;
    case ENOSYS:
    case EOPNOTSUPP:
        return FileErrorKind::Unsupported;
    case EIO:
        return FileErrorKind::IoError;
    default:
        return FileErrorKind::Other;
    }
}

CFileError ErrorOf(int error) {
    return CFileError{KindOf(error), std::strerror(error)};
}

// A fault from the test seam, as the error the system would have given.
bool Injected(FileCall call, const std::string& path, CFileError* error) {
    const FileErrorKind kind = InjectedFault(call, path);
    if (kind == FileErrorKind::None)
        return false;
    if (error)
        *error = CFileError{kind, SystemErrorText(kind)};
    return true;
}

std::string DirectoryOf(const std::string& path) {
    const auto slash = path.find_last_of('/');
    if (slash == std::string::npos)
        return ".";
    if (slash == 0)
        return "/";
    return path.substr(0, slash);
}

int Descriptor(std::intptr_t handle) {
    return static_cast<int>(handle);
}

void FillInfo(const struct stat& status, CPathInfo& info) {
    info.type = S_ISREG(status.st_mode)   ? FileType::Regular
                : S_ISDIR(status.st_mode) ? FileType::Directory
                                          : FileType::Other;
    CFileIdentity& identity = info.identity;
    identity.device = static_cast<std::uint64_t>(status.st_dev);
    identity.index = static_cast<std::uint64_t>(status.st_ino);
    identity.size = static_cast<std::uint64_t>(status.st_size);
    identity.modifiedNs =
        static_cast<std::int64_t>(status.st_mtim.tv_sec) * 1000000000 + status.st_mtim.tv_nsec;
    identity.changedNs =
        static_cast<std::int64_t>(status.st_ctim.tv_sec) * 1000000000 + status.st_ctim.tv_nsec;
    info.permissions = static_cast<std::uint32_t>(status.st_mode & 07777);
    info.owner = static_cast<std::uint32_t>(status.st_uid);
    info.group = static_cast<std::uint32_t>(status.st_gid);
}

// The permissions a newly created file gets, so that an output written through a temporary file looks as
// if the program had created it directly.
mode_t DefaultFileMode() {
    const mode_t mask = ::umask(0);
    ::umask(mask);
    return 0666 & ~mask;
}

} // namespace

std::string SystemErrorText(FileErrorKind kind) {
    switch (kind) {
    case FileErrorKind::None:
        return {};
    case FileErrorKind::NotFound:
        return std::strerror(ENOENT);
    case FileErrorKind::AccessDenied:
        return std::strerror(EACCES);
    case FileErrorKind::NoSpace:
        return std::strerror(ENOSPC);
    case FileErrorKind::TooLarge:
        return std::strerror(EFBIG);
    case FileErrorKind::IsDirectory:
        return std::strerror(EISDIR);
    case FileErrorKind::NotRegular:
        return "is not a regular file";
    case FileErrorKind::InUse:
        return std::strerror(EBUSY);
    case FileErrorKind::Exists:
        return std::strerror(EEXIST);
    case FileErrorKind::Unsupported:
        return std::strerror(EOPNOTSUPP);
    case FileErrorKind::IoError:
        return std::strerror(EIO);
    case FileErrorKind::Other:
        break;
    }
    return "unknown error";
}

bool QueryPath(const std::string& path, CPathInfo& info, CFileError* error) {
    info = CPathInfo{};
    struct stat status {};
    if (::stat(path.c_str(), &status) == 0) {
        FillInfo(status, info);
        return true;
    }
    if (error)
        *error = ErrorOf(errno);
    return errno == ENOENT || errno == ENOTDIR;
}

bool SameFile(const std::string& first, const std::string& second) {
    if (first == second)
        return true;
    CPathInfo a;
    CPathInfo b;
    return QueryPath(first, a) && QueryPath(second, b) && a.type != FileType::Missing &&
           b.type != FileType::Missing && a.identity.SameFileAs(b.identity);
}

bool FollowLinks(const std::string& path, std::string& resolved, CFileError& error) {
    resolved = path;
    struct stat status {};
    if (::lstat(path.c_str(), &status) != 0) {
        if (errno == ENOENT)
            return true;
        error = ErrorOf(errno);
        return false;
    }
    if (!S_ISLNK(status.st_mode))
        return true;
    char buffer[PATH_MAX];
    if (::realpath(path.c_str(), buffer) == nullptr) {
        error = ErrorOf(errno);
        return false;
    }
    resolved = buffer;
    return true;
}

bool MoveIntoPlace(const std::string& source, const std::string& target, CFileError& error) {
    if (Injected(FileCall::Replace, target, &error))
        return false;
    if (::rename(source.c_str(), target.c_str()) != 0) {
        error = ErrorOf(errno);
        return false;
    }
    // The rename itself is made durable; a failure here loses nothing already visible.
    const int directory = ::open(DirectoryOf(target).c_str(), O_RDONLY | O_DIRECTORY | O_CLOEXEC);
    if (directory >= 0) {
        ::fsync(directory);
        ::close(directory);
    }
    return true;
}

bool LinkFile(const std::string& existing, const std::string& link, CFileError& error) {
    if (Injected(FileCall::Link, link, &error))
        return false;
    if (::link(existing.c_str(), link.c_str()) == 0)
        return true;
    error = ErrorOf(errno);
    return false;
}

bool RemoveFile(const std::string& path, CFileError* error) {
    if (Injected(FileCall::Remove, path, error))
        return false;
    if (::unlink(path.c_str()) == 0 || errno == ENOENT)
        return true;
    if (error)
        *error = ErrorOf(errno);
    return false;
}

bool CheckWritableDirectory(const std::string& directory, CFileError& error) {
    if (::access(directory.c_str(), W_OK) == 0)
        return true;
    error = ErrorOf(errno);
    return false;
}

bool CFile::FailLastSystemError() {
    m_error = ErrorOf(errno);
    return false;
}

bool CFile::Open(const std::string& path, bool regularOnly) {
    Close();
    m_path = path;
    m_error = {};
    if (Faulted(FileCall::Open))
        return false;
    // Opening a pipe for reading waits for a writer unless told not to; the flag is dropped again below.
    const int fd = ::open(path.c_str(), O_RDONLY | O_CLOEXEC | O_NOCTTY | (regularOnly ? O_NONBLOCK : 0));
    if (fd < 0)
        return FailLastSystemError();
    struct stat status {};
    if (::fstat(fd, &status) != 0) {
        FailLastSystemError();
        ::close(fd);
        return false;
    }
    if (S_ISDIR(status.st_mode) || (regularOnly && !S_ISREG(status.st_mode))) {
        ::close(fd);
        return Fail(S_ISDIR(status.st_mode) ? FileErrorKind::IsDirectory : FileErrorKind::NotRegular);
    }
    if (regularOnly)
        ::fcntl(fd, F_SETFL, ::fcntl(fd, F_GETFL) & ~O_NONBLOCK);
    m_handle = fd;
    return true;
}

bool CFile::CreateNew(const std::string& path, const CPathInfo* like) {
    Close();
    m_path = path;
    m_error = {};
    if (Faulted(FileCall::Open))
        return false;
    const int fd = ::open(path.c_str(), O_RDWR | O_CREAT | O_EXCL | O_CLOEXEC | O_NOCTTY, 0600);
    if (fd < 0)
        return FailLastSystemError();
    const mode_t mode = like ? static_cast<mode_t>(like->permissions) : DefaultFileMode();
    if (::fchmod(fd, mode) != 0) {
        FailLastSystemError();
        ::close(fd);
        ::unlink(path.c_str());
        return false;
    }
    // A replaced file keeps its owner where we may set it (as root, for the server's account); elsewhere
    // the new file is ours, as any program's output would be.
    if (like && (like->owner != ::geteuid() || like->group != ::getegid()))
        static_cast<void>(::fchown(fd, static_cast<uid_t>(like->owner), static_cast<gid_t>(like->group)));
    m_handle = fd;
    return true;
}

bool CFile::Close() {
    if (!IsOpen())
        return true;
    const bool faulted = Faulted(FileCall::Close);
    const int fd = Descriptor(m_handle);
    m_handle = kInvalid;
    if (::close(fd) != 0 && !faulted)
        return FailLastSystemError();
    return !faulted;
}

std::int64_t CFile::Read(void* data, std::size_t size) {
    if (Faulted(FileCall::Read))
        return -1;
    for (;;) {
        const ssize_t got = ::read(Descriptor(m_handle), data, size);
        if (got >= 0)
            return got;
        if (errno != EINTR) {
            FailLastSystemError();
            return -1;
        }
    }
}

std::int64_t CFile::ReadAt(void* data, std::size_t size, std::uint64_t offset) {
    if (Faulted(FileCall::Read))
        return -1;
    for (;;) {
        const ssize_t got = ::pread(Descriptor(m_handle), data, size, static_cast<off_t>(offset));
        if (got >= 0)
            return got;
        if (errno != EINTR) {
            FailLastSystemError();
            return -1;
        }
    }
}

bool CFile::Write(const void* data, std::size_t size) {
    if (Faulted(FileCall::Write))
        return false;
    const char* bytes = static_cast<const char*>(data);
    while (size > 0) {
        const ssize_t written = ::write(Descriptor(m_handle), bytes, size);
        if (written < 0) {
            if (errno == EINTR)
                continue;
            return FailLastSystemError();
        }
        if (written == 0)
            return Fail(FileErrorKind::NoSpace);
        bytes += written;
        size -= static_cast<std::size_t>(written);
    }
    return true;
}

std::int64_t CFile::CopyFrom(CFile& source, std::uint64_t offset, std::size_t size) {
    if (source.Faulted(FileCall::Read)) {
        m_error = source.m_error;
        return -1;
    }
    if (Faulted(FileCall::Write))
        return -1;
#if defined(__linux__)
    for (;;) {
        loff_t from = static_cast<loff_t>(offset);
        const ssize_t copied =
            ::copy_file_range(Descriptor(source.m_handle), &from, Descriptor(m_handle), nullptr, size, 0);
        if (copied >= 0)
            return copied;
        if (errno == EINTR)
            continue;
        // Not between these two files (another file system, a kernel without the call, special files).
        if (errno == EXDEV || errno == ENOSYS || errno == EINVAL || errno == EOPNOTSUPP || errno == EBADF ||
            errno == EPERM) {
            Fail(FileErrorKind::Unsupported);
            return -1;
        }
        {
            FailLastSystemError();
            return -1;
        }
    }
#else
    static_cast<void>(offset);
    static_cast<void>(size);
    {
        Fail(FileErrorKind::Unsupported);
        return -1;
    }
#endif
}

bool CFile::Seek(std::uint64_t offset) {
    if (offset > static_cast<std::uint64_t>(INT64_MAX))
        return Fail(FileErrorKind::Other);
    if (::lseek(Descriptor(m_handle), static_cast<off_t>(offset), SEEK_SET) < 0)
        return FailLastSystemError();
    return true;
}

bool CFile::Size(std::uint64_t& size) {
    CFileIdentity identity;
    if (!Identity(identity))
        return false;
    size = identity.size;
    return true;
}

bool CFile::Identity(CFileIdentity& identity) {
    struct stat status {};
    if (::fstat(Descriptor(m_handle), &status) != 0)
        return FailLastSystemError();
    CPathInfo info;
    FillInfo(status, info);
    identity = info.identity;
    return true;
}

bool CFile::Truncate(std::uint64_t size) {
    if (Faulted(FileCall::Truncate))
        return false;
    if (::ftruncate(Descriptor(m_handle), static_cast<off_t>(size)) != 0)
        return FailLastSystemError();
    return true;
}

bool CFile::Reserve(std::uint64_t bytes) {
    if (Faulted(FileCall::Reserve))
        return false;
#if defined(__linux__)
    // posix_fallocate would, where the file system has no such call, write zeros over the whole room:
    // no reservation worth its cost.
    if (::fallocate(Descriptor(m_handle), 0, 0, static_cast<off_t>(bytes)) != 0)
        return FailLastSystemError();
    return true;
#else
    static_cast<void>(bytes);
    return Fail(FileErrorKind::Unsupported);
#endif
}

bool CFile::Sync() {
    if (Faulted(FileCall::Sync))
        return false;
    if (::fsync(Descriptor(m_handle)) != 0)
        return FailLastSystemError();
    return true;
}

void CFile::StartWriteBack(std::uint64_t offset, std::uint64_t length) {
#if defined(__linux__) && defined(SYNC_FILE_RANGE_WRITE)
    // Only a start: nothing waits here, and a failure is the sync's to find.
    ::sync_file_range(Descriptor(m_handle), static_cast<off_t>(offset), static_cast<off_t>(length),
                      SYNC_FILE_RANGE_WRITE);
#else
    static_cast<void>(offset);
    static_cast<void>(length);
#endif
}

void CFile::WaitWriteBack(std::uint64_t offset, std::uint64_t length) {
#if defined(__linux__) && defined(SYNC_FILE_RANGE_WRITE)
    ::sync_file_range(Descriptor(m_handle), static_cast<off_t>(offset), static_cast<off_t>(length),
                      SYNC_FILE_RANGE_WAIT_BEFORE | SYNC_FILE_RANGE_WRITE | SYNC_FILE_RANGE_WAIT_AFTER);
#else
    static_cast<void>(offset);
    static_cast<void>(length);
#endif
}

} // namespace frostmark
