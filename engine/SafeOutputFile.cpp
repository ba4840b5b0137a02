#include "engine/SafeOutputFile.h"

#include "platform/Log.h"
#include "platform/Paths.h"
#include "platform/System.h"

#include <algorithm>
#include <filesystem>
#include <random>

namespace frostmark {

namespace {

// Measured on the clean of a 1 GB world: with 128 KiB per write the system's copy into the file cache
// took half the processor time it took with 1 MiB (the data is still in the processor's cache).
constexpr std::size_t kBufferSize = 128 << 10;

std::string DirectoryOf(const std::string& path) {
    const auto slash = path.find_last_of(kPathSeparators);
    if (slash == std::string::npos)
        return ".";
    if (slash == 0)
        return path.substr(0, 1);
    return path.substr(0, slash);
}

std::string BaseNameOf(const std::string& path) {
    const auto slash = path.find_last_of(kPathSeparators);
    return slash == std::string::npos ? path : path.substr(slash + 1);
}

// What a temporary name of this program says after the target's name: what it holds, then the machine and
// the process that made it, then six characters of its own. The machine is there because a directory on a
// network share is seen by others: a process id says nothing about processes elsewhere.
constexpr std::string_view kTemporaryTag = ".frostmark-tmp-";
constexpr std::string_view kPreviousTag = ".frostmark-old-";
static_assert(kTemporaryTag.size() == kPreviousTag.size());

// Eight hexadecimal digits of the host name (FNV-1a): a fixed-size stand-in for a name of any characters.
const std::string& HostTag() {
    static const std::string tag = [] {
        std::uint32_t hash = 2166136261u;
        for (const char c : HostName()) {
            hash ^= static_cast<unsigned char>(c);
            hash *= 16777619u;
        }
        static constexpr char kDigits[] = "0123456789abcdef";
        std::string text(8, '0');
        for (int i = 7; i >= 0; --i, hash >>= 4)
            text[static_cast<std::size_t>(i)] = kDigits[hash & 15];
        return text;
    }();
    return tag;
}

std::string TemporaryName(const std::string& finalPath, std::string_view tag, const std::string& suffix) {
    return DirectoryOf(finalPath) + kPathSeparators.front() + "." + BaseNameOf(finalPath) + std::string(tag) +
           TemporaryOwner(ProcessId()) + suffix;
}

// The process id in a temporary name this machine's processes give, or 0 when the name is none of those.
unsigned long ProcessOfTemporary(const std::string& name) {
    if (name.size() < 2 || name[0] != '.')
        return 0;
    std::size_t at = name.rfind(kTemporaryTag);
    if (at == std::string::npos)
        at = name.rfind(kPreviousTag);
    if (at == std::string::npos || at < 2)
        return 0;
    at += kTemporaryTag.size();
    if (name.compare(at, HostTag().size(), HostTag()) != 0 || name.size() <= at + HostTag().size() ||
        name[at + HostTag().size()] != '-')
        return 0;
    at += HostTag().size() + 1;
    unsigned long id = 0;
    std::size_t digits = 0;
    for (; at < name.size() && name[at] >= '0' && name[at] <= '9' && digits < 10; ++at, ++digits)
        id = id * 10 + static_cast<unsigned long>(name[at] - '0');
    if (digits == 0 || at >= name.size() || name[at] != '-' || name.size() - at - 1 != 6)
        return 0;
    for (++at; at < name.size(); ++at) {
        const char c = name[at];
        if (!((c >= '0' && c <= '9') || (c >= 'A' && c <= 'Z') || (c >= 'a' && c <= 'z')))
            return 0;
    }
    return id;
}

// Six letters or digits that no other writer of the same target is likely to pick.
std::string UniqueSuffix() {
    static constexpr char kCharacters[] = "ABCDEFGHIJKLMNOPQRSTUVWXYZabcdefghijklmnopqrstuvwxyz0123456789";
    std::random_device random;
    std::uniform_int_distribution<std::size_t> pick(0, sizeof kCharacters - 2);
    std::string suffix(6, ' ');
    for (char& c : suffix)
        c = kCharacters[pick(random)];
    return suffix;
}

} // namespace

std::string TemporaryOwner(unsigned long process) {
    return HostTag() + "-" + std::to_string(process) + "-";
}

CSafeOutputFile::CSafeOutputFile() = default;

CSafeOutputFile::~CSafeOutputFile() {
    Abandon();
    DiscardPrevious();
}

void CSafeOutputFile::Fail(const std::string& reason) {
    if (!m_failed) {
        m_failed = true;
        m_errorKind = FileErrorKind::Other;
        m_errorPath = m_targetPath;
        m_errorReason = reason;
    }
}

void CSafeOutputFile::FailCancelled() {
    if (!m_failed)
        m_cancelled = true;
    Fail("cancelled");
}

bool CSafeOutputFile::Fail(const CFileError& error) {
    if (!m_failed) {
        Fail(error.message.empty() ? SystemErrorText(error.kind) : error.message);
        m_errorKind = error.kind;
    }
    return false;
}

std::string CSafeOutputFile::Error() const {
    if (!m_failed)
        return {};
    return m_errorPath + ": " + m_errorReason;
}

bool CSafeOutputFile::Open(const std::string& targetPath) {
    Abandon();
    m_failed = false;
    m_cancelled = false;
    m_errorKind = FileErrorKind::None;
    m_errorPath.clear();
    m_errorReason.clear();
    m_flushed = 0;
    m_writeBackFrom = 0;
    m_reserved = 0;
    m_used = 0;
    m_targetPath = targetPath;
    m_finalPath = targetPath;

    if (targetPath.empty()) {
        Fail("no file name given");
        return false;
    }
    CFileError error;
    if (!FollowLinks(targetPath, m_finalPath, error))
        return Fail(error);
    RemoveStaleTemporaries(DirectoryOf(m_finalPath));
    CPathInfo info;
    if (!QueryPath(m_finalPath, info, &error))
        return Fail(error);
    if (info.type == FileType::Directory) {
        Fail("is a directory, not a file");
        m_errorKind = FileErrorKind::IsDirectory;
        return false;
    }
    if (info.type == FileType::Other) {
        Fail("exists and is not a regular file");
        m_errorKind = FileErrorKind::NotRegular;
        return false;
    }
    if (!CreateTemporary(info.type == FileType::Regular ? &info : nullptr))
        return false;
    if (!m_buffer)
        m_buffer = std::make_unique<char[]>(kBufferSize);
    m_capacity = kBufferSize;
    return true;
}

bool CSafeOutputFile::CreateTemporary(const CPathInfo* replaced) {
    // Beside the target, so that the final rename stays on one file system and is one step.
    for (int attempt = 0; attempt < 100; ++attempt) {
        const std::string path = TemporaryName(m_finalPath, kTemporaryTag, UniqueSuffix());
        if (m_file.CreateNew(path, replaced)) {
            m_tempPath = path;
            return true;
        }
        if (m_file.Error().kind != FileErrorKind::Exists)
            break;
    }
    return Fail(m_file.Error());
}

bool CSafeOutputFile::Flush() {
    if (m_failed || CheckCancel())
        return false;
    if (m_used > 0 && !m_file.Write(m_buffer.get(), m_used))
        return Fail(m_file.Error());
    m_flushed += m_used;
    m_used = 0;
    StartWriteBack();
    return true;
}

void CSafeOutputFile::StartWriteBack() {
    // The disk starts on what is written while the rest is made, so the sync at the commit has little
    // left to wait for.
    if (m_flushed - m_writeBackFrom >= kWriteBackStep) {
        m_file.StartWriteBack(m_writeBackFrom, m_flushed - m_writeBackFrom);
        m_writeBackFrom = m_flushed;
    }
}

bool CSafeOutputFile::WriteSlow(const void* data, std::size_t size) {
    if (!m_file.IsOpen()) {
        Fail("file is not open");
        return false;
    }
    if (m_failed)
        return false;
    const char* bytes = static_cast<const char*>(data);
    while (size > 0) {
        if (m_used == m_capacity && !Flush())
            return false;
        const std::size_t chunk = std::min(size, m_capacity - m_used);
        std::memcpy(m_buffer.get() + m_used, bytes, chunk);
        m_used += chunk;
        bytes += chunk;
        size -= chunk;
    }
    return true;
}

bool CSafeOutputFile::CopyFrom(CFile& input, std::uint64_t offset, std::uint64_t length) {
    if (!m_file.IsOpen()) {
        Fail("file is not open");
        return false;
    }
    if (!Flush())
        return false;
    bool inSystem = true;
    while (length > 0) {
        if (inSystem) {
            // In pieces a cancel can come between: one call for a whole world would run for seconds.
            if (CheckCancel())
                return false;
            const std::int64_t copied = m_file.CopyFrom(
                input, offset, static_cast<std::size_t>(std::min<std::uint64_t>(length, 64u << 20)));
            if (copied > 0) {
                offset += static_cast<std::uint64_t>(copied);
                length -= static_cast<std::uint64_t>(copied);
                m_flushed += static_cast<std::uint64_t>(copied);
                StartWriteBack();
                continue;
            }
            if (copied < 0 && m_file.Error().kind == FileErrorKind::Unsupported) {
                inSystem = false; // not between these two files: copy through the buffer instead
                continue;
            }
            if (copied < 0)
                return Fail(m_file.Error());
            Fail("the input file ended early");
            return false;
        }
        const std::int64_t got = input.ReadAt(
            m_buffer.get(), static_cast<std::size_t>(std::min<std::uint64_t>(length, m_capacity)), offset);
        if (got < 0)
            return Fail(input.Error());
        if (got == 0) {
            Fail("the input file ended early");
            return false;
        }
        m_used = static_cast<std::size_t>(got);
        offset += static_cast<std::uint64_t>(got);
        length -= static_cast<std::uint64_t>(got);
        if (!Flush())
            return false;
    }
    return true;
}

bool CSafeOutputFile::Rewind() {
    if (!m_file.IsOpen() || m_failed)
        return false;
    m_used = 0;
    if (!m_file.Truncate(0) || !m_file.Seek(0))
        return Fail(m_file.Error());
    m_flushed = 0;
    m_writeBackFrom = 0;
    m_reserved = 0;
    return true;
}

bool CSafeOutputFile::Reserve(std::uint64_t bytes) {
    if (!m_file.IsOpen() || m_failed || bytes == 0)
        return false;
    if (!m_file.Reserve(bytes))
        return false;
    m_reserved = std::max(m_reserved, bytes);
    return true;
}

bool CSafeOutputFile::Finish() {
    if (!m_file.IsOpen()) {
        Fail("file is not open");
        return false;
    }
    bool written = !CheckCancel() && Flush() && (m_reserved <= m_flushed || m_file.Truncate(m_flushed));
    // The disk may be far behind a world written from the cache: waiting for it a piece at a time lets a
    // cancel stop the wait, and the sync then has little left to do.
    for (std::uint64_t at = 0; written && at < m_flushed; at += kWriteBackStep) {
        m_file.WaitWriteBack(at, std::min(kWriteBackStep, m_flushed - at));
        written = !CheckCancel();
    }
    written = written && m_file.Sync();
    if (!written) {
        Fail(m_file.Error()); // keeps an earlier failure when there was one
        Abandon();
        return false;
    }
    if (!m_file.Close()) {
        Fail(m_file.Error());
        Abandon();
        return false;
    }
    m_finished = true;
    return true;
}

bool CSafeOutputFile::Commit(bool keepPrevious) {
    DiscardPrevious();
    if (!m_finished && !Finish())
        return false;
    if (m_tempPath.empty()) {
        Fail("file is not open");
        return false;
    }
    // The sync may have taken a while; the rename is the last moment to stop without changing anything.
    if (CheckCancel()) {
        Abandon();
        return false;
    }
    // The target may have turned into something else since Open; never rename over a non-file.
    CPathInfo info;
    CFileError error;
    const bool known = QueryPath(m_finalPath, info, &error);
    if (known && info.type != FileType::Regular && info.type != FileType::Missing) {
        Fail("exists and is not a regular file");
        m_errorKind = FileErrorKind::NotRegular;
        Abandon();
        return false;
    }
    // A file to be put back must be known to be there or not.
    if (keepPrevious && (!known || (info.type == FileType::Regular && !KeepPrevious(error)))) {
        Fail(error);
        Abandon();
        return false;
    }
    if (!MoveIntoPlace(m_tempPath, m_finalPath, error)) {
        Fail(error);
        Abandon();
        if (m_previousMoved)
            MoveIntoPlace(m_previousPath, m_finalPath, error);
        else if (!m_previousPath.empty())
            RemoveFile(m_previousPath);
        m_previousPath.clear();
        return false;
    }
    m_hadPrevious = !m_previousPath.empty();
    m_tempPath.clear();
    m_finished = false;
    m_capacity = 0;
    return true;
}

bool CSafeOutputFile::KeepPrevious(CFileError& error) {
    // A second name for the file being replaced keeps it whole and the target never missing; where the
    // file system has no such names, it is moved aside instead, the target missing for a moment.
    for (int attempt = 0; attempt < 100; ++attempt) {
        const std::string path = TemporaryName(m_finalPath, kPreviousTag, UniqueSuffix());
        if (LinkFile(m_finalPath, path, error)) {
            m_previousPath = path;
            m_previousMoved = false;
            return true;
        }
        if (error.kind == FileErrorKind::Unsupported) {
            if (!MoveIntoPlace(m_finalPath, path, error))
                return false;
            m_previousPath = path;
            m_previousMoved = true;
            return true;
        }
        if (error.kind != FileErrorKind::Exists)
            return false;
    }
    return false;
}

bool CSafeOutputFile::RestorePrevious() {
    CFileError error;
    const bool restored =
        m_hadPrevious ? MoveIntoPlace(m_previousPath, m_finalPath, error) : RemoveFile(m_finalPath, &error);
    if (!restored) {
        m_failed = false; // the restore's failure is the one to tell
        Fail(error);
        return false;
    }
    m_previousPath.clear();
    m_hadPrevious = false;
    return true;
}

void CSafeOutputFile::DiscardPrevious() {
    if (!m_previousPath.empty())
        RemoveFile(m_previousPath);
    m_previousPath.clear();
    m_hadPrevious = false;
}

std::size_t RemoveStaleTemporaries(const std::string& directory) {
    std::size_t removed = 0;
    std::error_code ec;
    std::filesystem::directory_iterator entries(PathFromUtf8(directory), ec);
    for (; !ec && entries != std::filesystem::directory_iterator(); entries.increment(ec)) {
        const std::string name = Utf8FromPath(entries->path().filename());
        const unsigned long process = ProcessOfTemporary(name);
        if (process == 0 || process == ProcessId() || ProcessRunning(process))
            continue;
        const std::string path = directory + kPathSeparators.front() + name;
        std::error_code typeError;
        if (!entries->is_regular_file(typeError) || !RemoveFile(path))
            continue;
        ++removed;
        g_Log.Log("Removed %s, left by process %lu which no longer runs", path.c_str(), process);
    }
    return removed;
}

void CSafeOutputFile::Abandon() {
    m_finished = false;
    if (m_file.IsOpen())
        m_file.Close();
    if (!m_tempPath.empty()) {
        RemoveFile(m_tempPath);
        m_tempPath.clear();
    }
    m_capacity = 0;
    m_used = 0;
}

} // namespace frostmark
