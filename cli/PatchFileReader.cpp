#include "cli/PatchFileReader.h"

#include <algorithm>
#include <cstdio>

#include "platform/Files.h"

namespace frostmark {

namespace {

constexpr std::uint32_t kBlocksInWorld = (6144 / 8) * 512;

std::uint32_t Read32(const unsigned char* p) {
    return std::uint32_t(p[0]) | std::uint32_t(p[1]) << 8 | std::uint32_t(p[2]) << 16 |
           std::uint32_t(p[3]) << 24;
}

std::uint16_t Read16(const unsigned char* p) {
    return static_cast<std::uint16_t>(p[0] | p[1] << 8);
}

} // namespace

std::uint64_t CPatchFileContents::ObjectCount() const {
    std::uint64_t count = 0;
    for (const CPatchGroup& group : groups)
        count += group.objects.size();
    return count;
}

CPatchFileContents ReadPatchFile(const std::string& path) {
    CPatchFileContents contents;
    CFile file;
    std::vector<unsigned char> data;
    std::uint64_t size = 0;
    if (file.OpenRegular(path) && file.Size(size)) {
        // Sized from the file, then read to its true end: it may have changed since.
        data.reserve(static_cast<std::size_t>(std::min<std::uint64_t>(size, std::uint64_t(1) << 30)));
        unsigned char chunk[1 << 16];
        for (std::int64_t got; (got = file.Read(chunk, sizeof chunk)) > 0;)
            data.insert(data.end(), chunk, chunk + got);
    }
    if (file.Error()) {
        contents.unreadable = true;
        // The same words on every system for the two faults a user makes most.
        const FileErrorKind kind = file.Error().kind;
        contents.error = path + ": " +
                         (kind == FileErrorKind::IsDirectory ? "is a directory"
                          : kind == FileErrorKind::NotFound  ? "No such file or directory"
                                                             : file.Error().message);
        return contents;
    }
    return ParsePatchBytes(data, path);
}

CPatchFileContents ParsePatchBytes(const std::vector<unsigned char>& data, const std::string& path) {
    CPatchFileContents contents;
    auto fail = [&](const std::string& reason) {
        contents.ok = false;
        contents.error = path + ": " + reason;
        return contents;
    };
    contents.size = data.size();
    if (data.size() < 6)
        return fail("too short for a freeze patch file (" + std::to_string(data.size()) +
                    " bytes, the header alone is 6)");
    std::uint16_t magic = Read16(&data[4]);
    if (magic != 0xF00D) {
        char buffer[96];
        std::snprintf(buffer, sizeof buffer, "not a freeze patch file (magic %04x, expected f00d)", magic);
        return fail(buffer);
    }
    contents.declaredGroups = Read32(&data[0]);
    std::size_t pos = 6;
    std::int64_t previousBlock = -1;
    for (std::uint32_t g = 0; g < contents.declaredGroups; ++g) {
        char buffer[160];
        if (data.size() - pos < 9) {
            std::snprintf(buffer, sizeof buffer,
                          "truncated: the header declares %u groups but the file ends in group %u",
                          contents.declaredGroups, g + 1);
            return fail(buffer);
        }
        unsigned kind = data[pos];
        std::uint32_t block = Read32(&data[pos + 1]);
        std::uint32_t length = Read32(&data[pos + 5]);
        if (kind != 2) {
            std::snprintf(buffer, sizeof buffer, "group %u at byte %zu has kind %u, expected 2", g + 1, pos,
                          kind);
            return fail(buffer);
        }
        if (block >= kBlocksInWorld) {
            std::snprintf(buffer, sizeof buffer, "group %u names block %u, outside the world", g + 1, block);
            return fail(buffer);
        }
        if (static_cast<std::int64_t>(block) <= previousBlock) {
            std::snprintf(buffer, sizeof buffer, "group %u (block %u) is not in ascending block order", g + 1,
                          block);
            return fail(buffer);
        }
        if (length == 0 || length % 7 != 0) {
            std::snprintf(buffer, sizeof buffer,
                          "group %u (block %u) has length %u, not a non-zero multiple of 7", g + 1, block,
                          length);
            return fail(buffer);
        }
        pos += 9;
        if (data.size() - pos < length) {
            std::snprintf(buffer, sizeof buffer, "truncated: group %u (block %u) needs %u bytes, %zu remain",
                          g + 1, block, length, data.size() - pos);
            return fail(buffer);
        }
        CPatchGroup group;
        group.block = block;
        int previousCell = -1;
        bool orderWarned = false;
        for (std::uint32_t i = 0; i < length / 7; ++i, pos += 7) {
            CPatchObject object;
            object.art = Read16(&data[pos]);
            object.x = data[pos + 2];
            object.y = data[pos + 3];
            object.z = data[pos + 4];
            object.color = Read16(&data[pos + 5]);
            if (object.x > 7 || object.y > 7) {
                std::snprintf(buffer, sizeof buffer,
                              "object %u of group %u (block %u) lies outside its block (%u, %u)", i + 1,
                              g + 1, block, object.x, object.y);
                return fail(buffer);
            }
            int cell = object.x + object.y * 8;
            if (cell < previousCell && !orderWarned) {
                std::snprintf(buffer, sizeof buffer, "objects of block %u are not in cell order", block);
                contents.warnings.push_back(buffer);
                orderWarned = true;
            }
            previousCell = cell;
            group.objects.push_back(object);
        }
        previousBlock = block;
        contents.groups.push_back(std::move(group));
    }
    if (pos != data.size()) {
        char buffer[128];
        std::snprintf(buffer, sizeof buffer, "%zu bytes follow the last of the %u groups", data.size() - pos,
                      contents.declaredGroups);
        return fail(buffer);
    }
    contents.ok = true;
    return contents;
}

std::vector<unsigned char> EncodePatchFile(const CPatchFileContents& contents) {
    std::vector<unsigned char> bytes;
    auto put = [&](std::uint32_t value, int size) {
        for (int i = 0; i < size; ++i)
            bytes.push_back(static_cast<unsigned char>(value >> (8 * i)));
    };
    put(static_cast<std::uint32_t>(contents.groups.size()), 4);
    put(0xF00D, 2);
    for (const CPatchGroup& group : contents.groups) {
        put(2, 1);
        put(group.block, 4);
        put(static_cast<std::uint32_t>(7 * group.objects.size()), 4);
        for (const CPatchObject& object : group.objects) {
            put(object.art, 2);
            put(object.x, 1);
            put(object.y, 1);
            put(object.z, 1);
            put(object.color, 2);
        }
    }
    return bytes;
}

} // namespace frostmark
