#pragma once

// The program's name and version, as its windows and its command-line tool show them.
namespace Version {
constexpr const char* AppTitle = "Zantrel";
constexpr int Major = ZANTREL_VERSION_MAJOR;
constexpr int Minor = ZANTREL_VERSION_MINOR;
constexpr int Revision = ZANTREL_VERSION_REVISION;
}
