#include <gtest/gtest.h>

#include <random>
#include <string>
#include <vector>

#include "EngineTestFiles.h"
#include "engine/Commands.h"
#include "engine/FreezePatch.h"
#include "script/LineReader.h"
#include "script/Numbers.h"
#include "script/ScriptContext.h"

namespace frostmark {
namespace {

using testfiles::CTempDir;
using testfiles::ReadFile;

const std::string kData = FROSTMARK_TEST_DATA "/engine/";

// Every top-level record of a world file, in file order: the freeze list an analysis that freezes
// everything would make.
void LoadTopLevel(const std::string& path, CScriptContext& context, CFreezeList& list) {
    CLineReader reader;
    ASSERT_TRUE(reader.Open(path)) << path;
    std::string_view line;
    while (reader.ReadLine(line)) {
        if (!IsWorldItemHeader(line))
            continue;
        auto item = std::make_unique<CWorldItem>();
        item->SetId(WorldItemHeaderId(line));
        ReadWorldItemBody(reader, *item, context);
        if (item->IsTopLevel())
            list.Append(std::move(item));
    }
}

void AddConstant(CScriptContext& context, const std::string& line) {
    auto* def = new CDef;
    def->Set(line);
    context.AddDef(def);
}

std::unique_ptr<CWorldItem> Item(unsigned x, unsigned y, std::string id = "0001", int z = 0,
                                 unsigned color = 0) {
    auto item = std::make_unique<CWorldItem>();
    item->x = static_cast<std::uint16_t>(x);
    item->y = static_cast<std::uint16_t>(y);
    item->z = static_cast<std::uint8_t>(z);
    item->color = static_cast<std::uint16_t>(color);
    item->SetId(id);
    return item;
}

class CRecordingProgress : public ICommandProgress {
public:
    void OnProgress(std::uint64_t done, std::uint64_t total) override {
        calls.push_back(done);
        lastTotal = total;
    }
    std::vector<std::uint64_t> calls;
    std::uint64_t lastTotal = 0;
};

TEST(FreezePatch, GoldenFile) {
    // golden.frz was written byte by byte from the format: three groups (block 0, 64250, 64762), the
    // objects of block 0 in cell order, a named ID resolved through a constant, a DISPID override, a
    // negative z, a contained item left out.
    CScriptContext context;
    AddConstant(context, "i_gen_0100 0100");
    CFreezeList list;
    LoadTopLevel(kData + "golden.world", context, list);
    ASSERT_EQ(list.Count(), 5u);

    CTempDir dir;
    const std::string path = dir.File("golden.frz");
    const CPatchResult result = CreatePatchFile(path, list, context);
    ASSERT_TRUE(result.ok) << result.error;
    EXPECT_EQ(result.objects, 5u);
    EXPECT_EQ(result.groups, 3u);
    EXPECT_EQ(result.bytes, 68u);
    EXPECT_EQ(ReadFile(path), ReadFile(kData + "golden.frz"));
}

TEST(FreezePatch, GroupsAndCells) {
    CScriptContext context;
    CFreezeList list;
    list.Append(Item(1008, 2000, "0002"));
    list.Append(Item(1007, 2007, "0003", -5));
    list.Append(Item(3, 5, "0004"));
    list.Append(Item(1000, 2000, "0005"));
    list.Append(Item(5, 3, "0006"));
    CTempDir dir;
    const CPatchResult result = CreatePatchFile(dir.File("p.frz"), list, context);
    ASSERT_TRUE(result.ok) << result.error;
    const std::string expected =
        std::string("\x03\x00\x00\x00\x0D\xF0", 6) +
        // block 0: (5,3) cell 29 before (3,5) cell 43
        std::string("\x02\x00\x00\x00\x00\x0E\x00\x00\x00", 9) +
        std::string("\x06\x00\x05\x03\x00\x00\x00", 7) + std::string("\x04\x00\x03\x05\x00\x00\x00", 7) +
        // block 64250 = 0xFAFA: (1000,2000) cell 0, (1007,2007) cell 63
        std::string("\x02\xFA\xFA\x00\x00\x0E\x00\x00\x00", 9) +
        std::string("\x05\x00\x00\x00\x00\x00\x00", 7) + std::string("\x03\x00\x07\x07\xFB\x00\x00", 7) +
        // block 64762 = 0xFCFA
        std::string("\x02\xFA\xFC\x00\x00\x07\x00\x00\x00", 9) +
        std::string("\x02\x00\x00\x00\x00\x00\x00", 7);
    EXPECT_EQ(ReadFile(dir.File("p.frz")), expected);
}

TEST(FreezePatch, EmptyListDefaultNameAndRepeatedRuns) {
    CTempDir dir;
    const std::filesystem::path previous = std::filesystem::current_path();
    std::filesystem::current_path(dir.Path());
    CScriptContext context;
    CFreezeList list;
    const CPatchResult empty = CreatePatchFile("", list, context);
    EXPECT_TRUE(empty.ok) << empty.error;
    EXPECT_EQ(ReadFile(dir.File("stat_tavrel.frz")), std::string("\x00\x00\x00\x00\x0D\xF0", 6));

    // Running twice rewrites the file, it does not double it.
    list.Append(Item(1, 1));
    ASSERT_TRUE(CreatePatchFile("", list, context).ok);
    ASSERT_TRUE(CreatePatchFile("", list, context).ok);
    EXPECT_EQ(ReadFile(dir.File("stat_tavrel.frz")).size(), 6u + 9u + 7u);
    EXPECT_EQ(testfiles::CountEntries(dir.Path()), 1u); // no temporary file left beside it
    std::filesystem::current_path(previous);
}

TEST(FreezePatch, ProgressAtGroupsStartingOnMultiplesOfHundred) {
    CScriptContext context;
    CFreezeList list;
    for (unsigned i = 0; i < 250; ++i)
        list.Append(Item(i * 8, 0)); // one object per block
    CTempDir dir;
    CRecordingProgress progress;
    ASSERT_TRUE(CreatePatchFile(dir.File("p.frz"), list, context, &progress).ok);
    EXPECT_EQ(progress.calls, (std::vector<std::uint64_t>{0, 100, 200, 250}));
    EXPECT_EQ(progress.lastTotal, 250u);
}

TEST(FreezePatch, RefusesTargetsItMustNotReplace) {
    CTempDir dir;
    CScriptContext context;
    CFreezeList list;
    list.Append(Item(1, 1));
    const std::string world = dir.File("world.scp");
    ASSERT_TRUE(testfiles::WriteFile(world, "[WORLDITEM 0001]\nSERIAL=1\n"));
    const CPatchResult same = CreatePatchFile(world, list, context, nullptr, world);
    EXPECT_FALSE(same.ok);
    EXPECT_NE(same.error.find(world), std::string::npos);
    const CPatchResult dotted = CreatePatchFile(
        dir.Path() + "/../" + std::filesystem::path(dir.Path()).filename().string() + "/world.scp", list,
        context, nullptr, world);
    EXPECT_FALSE(dotted.ok);
    EXPECT_EQ(ReadFile(world), "[WORLDITEM 0001]\nSERIAL=1\n");

    const CPatchResult directory = CreatePatchFile(dir.Path(), list, context);
    EXPECT_FALSE(directory.ok);
    EXPECT_EQ(directory.errorPath, dir.Path());
    EXPECT_TRUE(std::filesystem::is_directory(dir.Path()));

    // A record off the map has no block: no patch file is written for a list holding one, and an earlier
    // file of that name stays as it was.
    const std::string patch = dir.File("stat.frz");
    ASSERT_TRUE(testfiles::WriteFile(patch, "old"));
    for (auto [x, y] : {std::pair{6144u, 0u}, std::pair{0u, 4096u}}) {
        CFreezeList offMap;
        offMap.Append(Item(1, 1));
        offMap.Append(Item(x, y));
        const CPatchResult result = CreatePatchFile(patch, offMap, context);
        EXPECT_FALSE(result.ok);
        EXPECT_NE(result.error.find("outside the map"), std::string::npos) << result.error;
        EXPECT_EQ(ReadFile(patch), "old");
    }
    EXPECT_EQ(testfiles::CountEntries(dir.Path()), 2u) << "no temporary file is left";
}

// The order InsertSorted gives, one literal insertion after another.
PatchOrder QuadraticOrder(const std::vector<const CWorldItem*>& items) {
    PatchOrder order;
    for (const CWorldItem* item : items)
        InsertSorted(order, item);
    return order;
}

TEST(FreezePatch, EqualKeysLandWhereTheBinarySearchPutsThem) {
    // Worked out by hand from the search: with one key, each new record goes before the probe at the
    // middle (no step changed the bounds); A B C D give C D B A.
    std::vector<std::unique_ptr<CWorldItem>> owned;
    std::vector<const CWorldItem*> items;
    for (int i = 0; i < 4; ++i) {
        owned.push_back(Item(9, 9));
        items.push_back(owned.back().get());
    }
    const PatchOrder expected{items[2], items[3], items[1], items[0]};
    EXPECT_EQ(QuadraticOrder(items), expected);
    EXPECT_EQ(BuildPatchOrder(items), expected);

    // E (smaller key), then M and N (equal keys): the search for N raises lo past E before it meets M,
    // so N goes after M: E M N.
    owned.push_back(Item(0, 0));
    owned.push_back(Item(9, 9));
    owned.push_back(Item(9, 9));
    const std::vector<const CWorldItem*> second{owned[4].get(), owned[5].get(), owned[6].get()};
    EXPECT_EQ(QuadraticOrder(second), second);
    EXPECT_EQ(BuildPatchOrder(second), second);
}

TEST(FreezePatch, FastOrderEqualsInsertSortedOnRandomInput) {
    std::mt19937 random(20261207);
    for (int round = 0; round < 300; ++round) {
        // A few long lists reach past the counters' 512-index pieces many times over.
        const std::size_t n = round < 50    ? static_cast<std::size_t>(round)
                              : round < 296 ? 1 + random() % 1500
                                            : 6000 + random() % 6000;
        // Few distinct keys (many equal ones), sometimes a single key, sometimes a spread.
        const unsigned blocks = 1 + random() % (round % 3 == 0 ? 2 : 12);
        const unsigned cells = 1 + random() % (round % 5 == 0 ? 1 : 4);
        std::vector<std::unique_ptr<CWorldItem>> owned;
        std::vector<const CWorldItem*> items;
        for (std::size_t i = 0; i < n; ++i) {
            const unsigned block = random() % blocks;
            const unsigned cell = random() % cells;
            owned.push_back(Item(block * 8 + cell % 8, (block % 3) * 8 + cell / 8));
            items.push_back(owned.back().get());
        }
        const PatchOrder slow = QuadraticOrder(items);
        const PatchOrder fast = BuildPatchOrder(items);
        ASSERT_EQ(fast, slow) << "round " << round << ", " << n << " records";
        for (std::size_t i = 1; i < fast.size(); ++i) {
            const auto a = std::make_pair(BlockIndex(*fast[i - 1]), CellIndex(*fast[i - 1]));
            const auto b = std::make_pair(BlockIndex(*fast[i]), CellIndex(*fast[i]));
            ASSERT_LE(a, b);
        }
    }
}

TEST(FreezePatch, FastOrderOfAFreezeListKeepsEveryRecordOnce) {
    CFreezeList list;
    for (unsigned i = 0; i < 5000; ++i)
        list.Append(Item((i * 7919u) % 6144u, (i * 104729u) % 4096u));
    const PatchOrder order = BuildPatchOrder(list);
    ASSERT_EQ(order.size(), list.Count());
    std::vector<const CWorldItem*> sortedOrder(order.begin(), order.end());
    std::vector<const CWorldItem*> records;
    for (std::size_t i = 0; i < list.Count(); ++i)
        records.push_back(&list[i]);
    std::sort(sortedOrder.begin(), sortedOrder.end());
    std::sort(records.begin(), records.end());
    EXPECT_EQ(sortedOrder, records);
}

} // namespace
} // namespace frostmark
