#pragma once

#include <cstddef>
#include <cstdint>
#include <cstring>
#include <memory>
#include <string>
#include <string_view>

#include "engine/CancelToken.h"
#include "platform/Files.h"

namespace frostmark {

// An output file that appears at its target path only complete or not at all.
//
// The data goes to a temporary file in the target's directory (so the final rename stays on one file
// system and is atomic), named "." + the target's name + ".frostmark-tmp-" + TemporaryOwner + six
// characters (".frostmark-old-" for a replaced file kept by Commit(true)). Open first removes such files of
// this machine's processes that no longer run from the directory: what a process killed outright left
// behind. Commit flushes
// it, syncs it to disk and renames it over the target. Any failure on the way (disk full, permission, a
// target that is a directory or a device) removes the temporary file, leaves a previous target untouched and
// keeps the path and the reason for the caller to show. Destroying an uncommitted file abandons it the same
// way, so an early return can never leave a half-written file behind.
//
// With a cancel token set, a cancelled token fails the file at its next flush or copy (and Commit before
// it renames anything), with Cancelled() true: a long write stops within a fraction of a second.
class CSafeOutputFile {
public:
    CSafeOutputFile();
    ~CSafeOutputFile();
    CSafeOutputFile(const CSafeOutputFile&) = delete;
    CSafeOutputFile& operator=(const CSafeOutputFile&) = delete;

    // Prepares to replace targetPath. A target that exists but is not a regular file is refused, as is
    // a directory that does not exist or cannot be written. A symbolic link as target is followed: the
    // file it names is replaced and the link stays. Returns false with Error() set on failure.
    bool Open(const std::string& targetPath);

    // Buffered append. Returns false once any write has failed; the first failure's reason is kept.
    bool Write(const void* data, std::size_t size) {
        if (m_used + size <= m_capacity) {
            std::memcpy(m_buffer.get() + m_used, data, size);
            m_used += size;
            return !m_failed;
        }
        return WriteSlow(data, size);
    }
    bool Write(std::string_view text) { return Write(text.data(), text.size()); }

    // Appends length bytes of the open file input from offset on, after whatever was written before; the
    // system copies them file to file where it can (no pass through this process), else they are read
    // and written here. Fails (the reason kept) on a read or write error or when input holds fewer bytes.
    bool CopyFrom(CFile& input, std::uint64_t offset, std::uint64_t length);

    // Sets aside room for up to bytes on the disk now, so that another writer on the same disk cannot take
    // it before this file is written. An estimate from above is fine: Commit cuts the file to what was
    // written. Advisory only: false (nothing failed) when the room is not there or the file system cannot
    // set it aside, and the writes then take their chance as without it.
    bool Reserve(std::uint64_t bytes);

    // Flushes, syncs and closes the temporary file: complete and on the disk, but not yet in place, so
    // that a caller can make two files ready before putting either in place. False (with Error() set
    // and the temporary file removed) if anything failed, including any earlier Write.
    bool Finish();

    // Finishes the file (unless Finish already did) and renames it over the target. False (with Error()
    // set and the temporary file removed) if anything failed, including any earlier Write.
    //
    // keepPrevious: the file replaced is kept under a temporary name of its own until RestorePrevious
    // puts it back or DiscardPrevious (or the destructor) removes it, for a caller that puts two files in
    // place as one step and must undo the first when the second fails.
    bool Commit(bool keepPrevious = false);

    // After Commit(true): puts the replaced file back in place of the new one, or removes the new one when
    // there was none before. False (Error() set to why) when the system refused: the new file stays.
    bool RestorePrevious();
    // After Commit(true): the replaced file is no longer needed.
    void DiscardPrevious();

    // Empties the file to write it anew from the start. False (Error() set) when that fails.
    bool Rewind();

    // Removes the temporary file without touching the target. Safe to call at any time.
    void Abandon();

    // The token that stops this file's writes (null: none). Kept across Open.
    void SetCancel(const CCancelToken* cancel) { m_cancel = cancel; }
    // True, and the file failed as cancelled, when the token is cancelled: for callers that work for a
    // long time between writes.
    bool CheckCancel() {
        if (m_cancel != nullptr && m_cancel->IsCancelled())
            FailCancelled();
        return m_cancelled;
    }
    // The file failed because its token was cancelled.
    bool Cancelled() const { return m_cancelled; }

    bool IsOpen() const { return m_file.IsOpen(); }
    bool Failed() const { return m_failed; }
    // Marks the output failed for a reason of the caller's; Commit then abandons it.
    void Fail(const std::string& reason);
    // "<path>: <reason>", empty while nothing has failed.
    std::string Error() const;
    // The target path as the caller gave it, and the reason (the system's own text, or ours).
    const std::string& ErrorPath() const { return m_errorPath; }
    const std::string& ErrorReason() const { return m_errorReason; }
    // The kind of the failure (Other for a reason given to Fail).
    FileErrorKind ErrorKind() const { return m_errorKind; }
    // Bytes accepted by Write so far.
    std::uint64_t BytesWritten() const { return m_flushed + m_used; }

private:
    bool WriteSlow(const void* data, std::size_t size);
    bool Flush();
    void StartWriteBack();
    static constexpr std::uint64_t kWriteBackStep = std::uint64_t(32) << 20;
    bool Fail(const CFileError& error);
    void FailCancelled();
    bool KeepPrevious(CFileError& error);
    bool CreateTemporary(const CPathInfo* replaced);

    std::unique_ptr<char[]> m_buffer;
    std::size_t m_capacity = 0;
    std::size_t m_used = 0;
    std::uint64_t m_flushed = 0;
    std::uint64_t m_reserved = 0;
    std::uint64_t m_writeBackFrom = 0; // output bytes before this have been handed to the disk
    CFile m_file;
    bool m_failed = false;
    bool m_cancelled = false;
    bool m_finished = false; // closed, complete and synced; the temporary file waits for the rename
    const CCancelToken* m_cancel = nullptr;
    FileErrorKind m_errorKind = FileErrorKind::None;
    std::string m_targetPath; // as given by the caller, for messages
    std::string m_finalPath;  // the path renamed over (symbolic links resolved)
    std::string m_tempPath;
    std::string m_previousPath;   // the replaced file's other name (Commit(true))
    bool m_previousMoved = false; // moved aside rather than linked: the target was missing meanwhile
    bool m_hadPrevious = false;   // a file was replaced and is kept
    std::string m_errorPath;
    std::string m_errorReason;
};

// The part of a temporary name (see CSafeOutputFile) that says which process made it: this machine's
// tag, the process id, and the "-" before the six characters of the name's own.
std::string TemporaryOwner(unsigned long process);

// Removes from `directory` the temporary files of this program (see CSafeOutputFile) whose process no
// longer runs, logging each; files of running processes, and every other file, stay. Answers how many
// were removed.
std::size_t RemoveStaleTemporaries(const std::string& directory);

} // namespace frostmark
