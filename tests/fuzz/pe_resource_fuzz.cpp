// Feeds arbitrary bytes to the reader of type libraries in files: as a PE image, its TYPELIB
// resources 1 and 2 through the resource directory; as anything else, the library itself.
#include "platform/files/ByteSource.h"
#include "platform/typelib/PeResources.h"
#include "platform/typelib/TypeLibReader.h"

#include <cstdint>
#include <string_view>

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size)
{
    const MemorySource source(std::string_view(reinterpret_cast<const char*>(data), size));
    for (std::uint16_t number : {1, 2}) {
        const auto range = FindPeResource(source, u"TYPELIB", number);
        if (range && !source.contains(range->offset, range->length))
            __builtin_trap();
        ReadTypeLibFile(source, number);
    }
    return 0;
}
