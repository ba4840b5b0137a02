#include "platform/Files.h"

#include "platform/FileFaults.h"

namespace frostmark {

namespace {

std::atomic<IFileFaults*> g_faults{nullptr};

} // namespace

IFileFaults* SetFileFaults(IFileFaults* faults) {
    return g_faults.exchange(faults);
}

FileErrorKind InjectedFault(FileCall call, const std::string& path) {
    IFileFaults* faults = g_faults.load(std::memory_order_acquire);
    return faults ? faults->Before(call, path) : FileErrorKind::None;
}

CFile::CFile(CFile&& other) noexcept
    : m_handle(other.m_handle), m_path(std::move(other.m_path)), m_error(std::move(other.m_error)) {
    other.m_handle = kInvalid;
}

CFile& CFile::operator=(CFile&& other) noexcept {
    if (this != &other) {
        Close();
        m_handle = other.m_handle;
        m_path = std::move(other.m_path);
        m_error = std::move(other.m_error);
        other.m_handle = kInvalid;
    }
    return *this;
}

CFile::~CFile() {
    Close();
}

bool CFile::OpenRead(const std::string& path) {
    return Open(path, false);
}

bool CFile::OpenRegular(const std::string& path) {
    return Open(path, true);
}

bool CFile::Fail(FileErrorKind kind) {
    m_error.kind = kind;
    m_error.message = SystemErrorText(kind);
    return false;
}

bool CFile::Faulted(FileCall call) {
    const FileErrorKind kind = InjectedFault(call, m_path);
    if (kind == FileErrorKind::None)
        return false;
    Fail(kind);
    return true;
}

} // namespace frostmark
