// Feeds arbitrary bytes to the reader of a type library's classes, as a library image (MSFT) in
// memory and as a file's contents (a PE image's TYPELIB resource 1). For any input: the classes
// are read exactly when the library's properties are, with the same GUID and version; their
// number is bounded; each CLSID is a GUID in braces; a name is no longer than a name entry holds.
#include "platform/files/ByteSource.h"
#include "platform/typelib/TypeLibReader.h"
#include "FuzzCheck.h"

#include <cstdint>
#include <string_view>

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size)
{
    const std::string_view bytes(reinterpret_cast<const char*>(data), size);
    const MemorySource source(bytes);
    for (const bool asFile : {false, true}) {
        QString error;
        const std::optional<TypeLibInfo> info = asFile ? ReadTypeLibFile(source) : ReadTypeLibImage(source);
        const std::optional<LibraryClasses> classes =
            asFile ? ReadTypeLibFileClasses(source, 1, &error) : ReadTypeLibClasses(source, &error);
        check(info.has_value() == classes.has_value());
        if (!classes) {
            check(!error.isEmpty());
            continue;
        }
        check(classes->guid == info->guid && classes->majorVersion == info->majorVersion
              && classes->minorVersion == info->minorVersion);
        check(classes->classes.size() <= kMaxLibraryClasses && classes->flags <= 0xffff);
        check(classes->name.size() <= 255);
        for (const LibraryClass& libraryClass : classes->classes) {
            check(libraryClass.clsid.size() == 38 && libraryClass.clsid.startsWith(u'{') && libraryClass.clsid.endsWith(u'}'));
            check(libraryClass.name.size() <= 255);
        }
    }
    return 0;
}
