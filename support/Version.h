#pragma once

#include <string>

// The program's name and version, as its windows and its command-line tool show them.
namespace Version {
constexpr const char* AppTitle = "Zantrel";
constexpr int Major = ZANTREL_VERSION_MAJOR;
constexpr int Minor = ZANTREL_VERSION_MINOR;
constexpr int Revision = ZANTREL_VERSION_REVISION;

// "Zantrel 1.0.3": what --version prints and the windows show.
inline std::string Line()
{
    return std::string(AppTitle) + ' ' + std::to_string(Major) + '.' + std::to_string(Minor) + '.'
           + std::to_string(Revision);
}
}
