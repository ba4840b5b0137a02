// The patch file reader: whatever bytes it is given it answers without fault, and every file it accepts
// is one it re-encodes to exactly its own bytes (nothing it reads is dropped or made up).

#include "FuzzSupport.h"

#include "cli/PatchFileReader.h"

#include <vector>

using namespace frostmark;

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
    const std::vector<unsigned char> bytes(data, data + size);
    const CPatchFileContents contents = ParsePatchBytes(bytes, "fuzz.frz");
    if (!contents.ok) {
        FUZZ_CHECK(!contents.error.empty());
        return 0;
    }
    FUZZ_CHECK(contents.size == size);
    FUZZ_CHECK(contents.groups.size() == contents.declaredGroups);
    FUZZ_CHECK(EncodePatchFile(contents) == bytes);
    return 0;
}
