#pragma once

// Files of the operating system: every open, read, write, flush, rename and query of the program goes
// through here, so the rest of the program is the same on every system. Paths are UTF-8 text on every
// system. Sizes and offsets are 64-bit everywhere.
//
// Failures answer false (or -1) and keep a CFileError: what kind of failure it is, for the program to act
// on, and the system's own words for it, for the user to read.

#include <cstddef>
#include <cstdint>
#include <string>
#include <string_view>

namespace frostmark {

// The characters that end a directory's name in a path of this system.
#if defined(_WIN32)
inline constexpr std::string_view kPathSeparators = "\\/";
#else
inline constexpr std::string_view kPathSeparators = "/";
#endif

enum class FileCall; // see FileFaults.h

enum class FileErrorKind {
    None,
    NotFound,     // no such file, or a directory on the way is missing
    AccessDenied, // permissions, a read-only file or file system
    NoSpace,      // the disk or the user's quota is full
    TooLarge,     // larger than the file system or a limit allows
    IsDirectory,
    NotRegular,  // a device, pipe or socket where a file was wanted
    InUse,       // held by another program in a way that forbids the call
    Exists,      // creating a file that is already there
    Unsupported, // the system or file system cannot do this call
    IoError,     // the device failed
    Other,
};

struct CFileError {
    FileErrorKind kind = FileErrorKind::None;
    std::string message; // the system's text ("No such file or directory"), empty while nothing failed
    explicit operator bool() const { return kind != FileErrorKind::None; }
};

// The system's own text for a kind of failure, as a failure of that kind reports it.
std::string SystemErrorText(FileErrorKind kind);

// What tells one state of a file from another: a file changed in any way since has another change time
// (which no program can set back), and usually another size, modification time or identity as well.
// device and index name the file itself: two paths with the same pair are one file.
struct CFileIdentity {
    std::uint64_t device = 0;
    std::uint64_t index = 0;
    std::uint64_t size = 0;
    std::int64_t modifiedNs = 0;
    std::int64_t changedNs = 0;
    bool operator==(const CFileIdentity&) const = default;
    bool SameFileAs(const CFileIdentity& other) const {
        return device == other.device && index == other.index;
    }
};

enum class FileType { Missing, Regular, Directory, Other };

struct CPathInfo {
    FileType type = FileType::Missing;
    CFileIdentity identity;
    // What a file that replaces this one takes over from it: the permission bits and owner where the
    // system keeps such things (meaningful to the platform layer only).
    std::uint32_t permissions = 0;
    std::uint32_t owner = 0;
    std::uint32_t group = 0;
};

// What `path` names, symbolic links followed. True with type Missing when nothing is there (error, when
// given, then says why in the system's words); false (error set) when the system cannot tell, as for a
// directory on the way that may not be searched.
bool QueryPath(const std::string& path, CPathInfo& info, CFileError* error = nullptr);

// Whether both paths name one existing file, in any spelling (links, "..", letter case where the file
// system ignores it, short names): the same text counts as the same file whether or not it exists.
bool SameFile(const std::string& first, const std::string& second);

// The path a replacement of `path` must be written to: the file a symbolic link names (replacing the link
// itself would silently detach it), the path itself otherwise, also when nothing is there yet.
bool FollowLinks(const std::string& path, std::string& resolved, CFileError& error);

// Puts `source` in place of `target` in one step (target may exist; readers see the old file or the new,
// never a mix) and makes the change durable. On failure both stay as they were.
bool MoveIntoPlace(const std::string& source, const std::string& target, CFileError& error);

// Gives the existing file `existing` a second name, `link`, in the same directory (a hard link): both names
// then reach one file, and renaming another file over one name leaves the other. Unsupported where the
// file system has no such links (FAT); Exists when `link` is taken.
bool LinkFile(const std::string& existing, const std::string& link, CFileError& error);

// Deletes a file. A file that is not there is no failure.
bool RemoveFile(const std::string& path, CFileError* error = nullptr);

// Whether the program may create files in `directory`; false with the system's reason otherwise.
bool CheckWritableDirectory(const std::string& directory, CFileError& error);

// One open file. Move-only; the destructor closes it.
class CFile {
public:
    CFile() noexcept = default;
    ~CFile();
    CFile(CFile&& other) noexcept;
    CFile& operator=(CFile&& other) noexcept;
    CFile(const CFile&) = delete;
    CFile& operator=(const CFile&) = delete;

    // Opens an existing file for reading only; other programs may go on reading and writing it meanwhile.
    // A directory is refused (IsDirectory). Closes whatever was open before.
    bool OpenRead(const std::string& path);
    // OpenRead for regular files only: a device, pipe or socket is refused (NotRegular) without waiting on
    // it, so that no reader hangs on a pipe or reads a device forever.
    bool OpenRegular(const std::string& path);
    // Creates `path` for writing and reading; refused (Exists) when anything of that name is there. The
    // file gets the permissions of `like`, the file it is to replace (and its owner, where the program may
    // give it), or those of any new file of the program.
    bool CreateNew(const std::string& path, const CPathInfo* like = nullptr);
    // False (error set) when the system reports a failure on closing, e.g. a delayed write error.
    bool Close();

    bool IsOpen() const { return m_handle != kInvalid; }
    // The path the file was opened with.
    const std::string& Path() const { return m_path; }
    // The last failure on this file.
    const CFileError& Error() const { return m_error; }

    // Reads up to size bytes at the position: bytes read, 0 at the end of the file, -1 on failure.
    std::int64_t Read(void* data, std::size_t size);
    // Reads up to size bytes at offset. Leaves the position undefined on some systems: a file read both
    // ways should be two CFile objects.
    std::int64_t ReadAt(void* data, std::size_t size, std::uint64_t offset);
    // Writes all of data at the position, or fails.
    bool Write(const void* data, std::size_t size);
    // Appends up to size bytes of `source` from offset on, file to file inside the system where it can do
    // that: bytes copied, 0 when source has nothing at offset, -1 on failure (Unsupported: the system
    // cannot copy between these two files, and the caller copies through memory instead).
    std::int64_t CopyFrom(CFile& source, std::uint64_t offset, std::size_t size);
    bool Seek(std::uint64_t offset);
    bool Size(std::uint64_t& size);
    bool Identity(CFileIdentity& identity);
    // Cuts or extends the file to size bytes; the position stays.
    bool Truncate(std::uint64_t size);
    // Sets aside room on the disk for the first `bytes` bytes, so another writer cannot take it meanwhile.
    // False where the room is not there or the file system cannot set it aside (Unsupported).
    bool Reserve(std::uint64_t bytes);
    // Makes everything written so far durable on the disk.
    bool Sync();
    // Asks the system to start writing `length` bytes from offset to the disk now, without waiting; a
    // hint that makes a later Sync quicker. Does nothing where the system has no such thing.
    void StartWriteBack(std::uint64_t offset, std::uint64_t length);
    // Waits until `length` bytes from offset are on the disk: Sync's wait taken a piece at a time, so that
    // a caller can stop between pieces. A failure is Sync's to find. Does nothing where the system has no
    // such thing.
    void WaitWriteBack(std::uint64_t offset, std::uint64_t length);

private:
    static constexpr std::intptr_t kInvalid = -1;
    bool Open(const std::string& path, bool regularOnly);
    bool Fail(FileErrorKind kind); // the system's text for kind
    bool FailLastSystemError();
    bool Faulted(FileCall call);

    std::intptr_t m_handle = kInvalid; // the descriptor or handle of the system
    std::string m_path;
    CFileError m_error;
};

} // namespace frostmark
