// A world past 4 GiB: every file position, size and count is 64-bit on every system (on Windows `long`
// has 32 bits, and a position kept in one wraps at 2 or 4 GiB). The world is sparse: its middle is a
// section of empty lines that the file system keeps as holes, so the test writes a few megabytes.

#include "EngineTestFiles.h"
#include "engine/Analysis.h"
#include "engine/Commands.h"
#include "script/ScriptContext.h"

#include "platform/Files.h"

#include <gtest/gtest.h>

#if defined(_WIN32)
#include <windows.h>
#include <winioctl.h>
#endif

namespace frostmark {
namespace {

using testfiles::CTempDir;
using testfiles::ReadFile;
using testfiles::WriteFile;

// Lines of NUL bytes, each ended by a line feed, long enough that the analysis reports its progress (every
// 1000 lines) past 4 GiB before the records after them.
constexpr std::uint64_t kGapLine = std::uint64_t(9) << 17; // 1.125 MiB
constexpr std::uint64_t kGap = 4001 * kGapLine;            // about 4.4 GiB
const std::string kHead = "[WORLDSTATS]\nVERSION=55\n"     // before the gap
                          "[WORLDITEM 0eed]\nSERIAL=040000001\nP=1000,1000,0\nATTR=08000\n"
                          "[WORLDITEM 0eee]\nSERIAL=040000002\nP=1001,1000,0\nATTR=0\n"
                          "[GAP]\n";
const std::string kTail = "[WORLDITEM 0eef]\nSERIAL=040000003\nP=5000,3000,7\nATTR=08000\n" // after it
                          "[WORLDITEM 0ef0]\nSERIAL=040000004\nP=5001,3001,-3\nATTR=08010\nCOLOR=0481\n"
                          "[WORLDITEM 0ef1]\nSERIAL=040000005\nP=6000,100,0\nATTR=0\n"
                          "[EOF]\n";

// head, kGap bytes of NUL lines, tail: written as holes where the file system keeps sparse files.
bool WriteSparseWorld(const std::string& path) {
#if defined(_WIN32)
    // Windows fills a skipped part with zeros on the disk unless the file is marked sparse first.
    HANDLE file =
        ::CreateFileA(path.c_str(), GENERIC_WRITE, 0, nullptr, CREATE_NEW, FILE_ATTRIBUTE_NORMAL, nullptr);
    if (file == INVALID_HANDLE_VALUE)
        return false;
    DWORD returned = 0;
    ::DeviceIoControl(file, FSCTL_SET_SPARSE, nullptr, 0, nullptr, 0, &returned, nullptr);
    const auto writeAt = [&](std::uint64_t offset, const std::string& bytes) {
        LARGE_INTEGER to{};
        to.QuadPart = static_cast<LONGLONG>(offset);
        DWORD written = 0;
        return ::SetFilePointerEx(file, to, nullptr, FILE_BEGIN) &&
               ::WriteFile(file, bytes.data(), static_cast<DWORD>(bytes.size()), &written, nullptr) &&
               written == bytes.size();
    };
#else
    CFile file;
    if (!file.CreateNew(path))
        return false;
    const auto writeAt = [&](std::uint64_t offset, const std::string& bytes) {
        return file.Seek(offset) && file.Write(bytes.data(), bytes.size());
    };
#endif
    bool written = writeAt(0, kHead);
    for (std::uint64_t at = kHead.size() + kGapLine - 1; written && at < kHead.size() + kGap; at += kGapLine)
        written = writeAt(at, "\n");
    written = written && writeAt(kHead.size() + kGap, kTail);
#if defined(_WIN32)
    return ::CloseHandle(file) && written;
#else
    return file.Close() && written;
#endif
}

struct CPositions : IAnalysisObserver {
    std::uint64_t size = 0;
    std::uint64_t furthest = 0;
    void OnStart(std::uint64_t fileSize) override { size = fileSize; }
    void OnProgress(const CAnalysisCounts&, std::uint64_t position) override {
        furthest = std::max(furthest, position);
    }
};

struct CAnalysed {
    CAnalysisResult result;
    CFreezeList list;
    CPositions positions;
};

void AnalyseOnThreads(const std::string& path, CAnalysed& out) {
    CScriptContext context;
    CFreezeOptions options;
    options.flags = OPT_STATIC | OPT_NEVER_MOVEABLE;
    CScanThreads threads;
    threads.threads = 2;
    out.result =
        AnalyzeWorldFile(path, context, ItemTypeSourceMaker(), options, out.list, &out.positions, threads);
}

TEST(LargeWorld, RecordsPastFourGibibytesAreFoundAndPatchedAsInASmallWorld) {
    CTempDir dir;
    const std::string large = dir.File("large.wsc");
    if (!WriteSparseWorld(large))
        GTEST_SKIP() << "no room for a sparse file of 4 GiB here";
    const std::string small = dir.File("small.wsc");
    ASSERT_TRUE(WriteFile(small, kHead + kTail));

    CAnalysed big;
    AnalyseOnThreads(large, big);
    CAnalysed reference;
    AnalyseOnThreads(small, reference);
    ASSERT_EQ(big.result.status, AnalysisStatus::Ok) << big.result.Message();
    ASSERT_EQ(reference.result.status, AnalysisStatus::Ok);

    // The file's size and the progress reach past the mark.
    EXPECT_EQ(big.result.fileSize, kHead.size() + kGap + kTail.size());
    EXPECT_EQ(big.positions.size, big.result.fileSize);
    EXPECT_GT(big.positions.furthest, std::uint64_t(4) << 30);
    EXPECT_LE(big.positions.furthest, big.result.fileSize);
    // The same records chosen, those past the gap at their offsets beyond 4 GiB.
    EXPECT_EQ(big.result.counts.topLevel, reference.result.counts.topLevel);
    EXPECT_EQ(big.result.counts.toFreeze, reference.result.counts.toFreeze);
    ASSERT_EQ(big.list.Count(), reference.list.Count());
    ASSERT_EQ(big.list.Count(), 3u);
    for (std::size_t i = 0; i < big.list.Count(); ++i) {
        SCOPED_TRACE(i);
        EXPECT_EQ(FormatPatchObjectLine(big.list[i]), FormatPatchObjectLine(reference.list[i]));
        const std::uint64_t expected =
            reference.list.OffsetOf(i) + (reference.list.OffsetOf(i) >= kHead.size() ? kGap : 0);
        EXPECT_EQ(big.list.OffsetOf(i), expected);
    }
    EXPECT_GT(big.list.OffsetOf(2), std::uint64_t(4) << 30);

    CScriptContext context;
    const CPatchResult bigPatch = CreatePatchFile(dir.File("large.frz"), big.list, context, nullptr, large);
    const CPatchResult smallPatch =
        CreatePatchFile(dir.File("small.frz"), reference.list, context, nullptr, small);
    ASSERT_TRUE(bigPatch.ok) << bigPatch.error;
    ASSERT_TRUE(smallPatch.ok) << smallPatch.error;
    EXPECT_FALSE(ReadFile(dir.File("small.frz")).empty());
    EXPECT_TRUE(ReadFile(dir.File("large.frz")) == ReadFile(dir.File("small.frz")));
}

} // namespace
} // namespace frostmark
