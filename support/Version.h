#pragma once

#include <string>

// The program's name and version, as its windows and its command-line tool show them.
namespace Version {
constexpr const char* AppTitle = "Zantrel";
// The executable's name, which the general-purpose classes put before their own in the source of
// the errors they raise ("zantrel.cRegistry", "zantrel.GShell").
constexpr const char* ProgramName = "zantrel";
constexpr int Major = ZANTREL_VERSION_MAJOR;
constexpr int Minor = ZANTREL_VERSION_MINOR;
constexpr int Revision = ZANTREL_VERSION_REVISION;

// "1.0.3": the major, minor and revision numbers joined by ".".
inline std::string Number()
{
    return std::to_string(Major) + '.' + std::to_string(Minor) + '.' + std::to_string(Revision);
}

// "Zantrel 1.0.3": what --version prints and the windows show.
inline std::string Line()
{
    return std::string(AppTitle) + ' ' + Number();
}
}
