// Feeds arbitrary bytes to the type-library reader as a library image (MSFT).
#include "platform/files/ByteSource.h"
#include "platform/typelib/TypeLibReader.h"

#include <cstdint>
#include <string_view>

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size)
{
    const MemorySource source(std::string_view(reinterpret_cast<const char*>(data), size));
    QString error;
    const auto info = ReadTypeLibImage(source, &error);
    // A success reads a well-formed GUID; a failure says why.
    if (info ? info->guid.size() != 38 : error.isEmpty())
        __builtin_trap();
    return 0;
}
