#include "catalogue/ProjectTree.h"

#include "platform/controls/Controls.h"
#include "platform/core/ProgramError.h"
#include "platform/files/FolderListing.h"
#include "platform/files/HostNames.h"
#include "platform/files/PathMapper.h"

#include <QSet>
#include <utility>
#include <vector>

namespace {

const QString kBackslashReason = QStringLiteral("its name holds a backslash, which no Windows path can name");

// Names of the folders in a host folder (links to folders included), not hidden, in the
// listing's order (ignoring case); false when the folder cannot be read. Folders whose names
// hold a backslash go to `unnamable`.
bool subfolderNames(const QString& hostFolder, QStringList& names, QStringList& unnamable)
{
    const auto entries = ListFolderEntries(hostFolder);
    if (!entries)
        return false;
    for (const FolderEntry& entry : *entries) {
        if (entry.kind != FolderEntryKind::Folder || entry.name.startsWith(u'.'))
            continue;
        if (HostNames::hasWindowsName(entry.name))
            names.append(entry.name);
        else
            unnamable.append(entry.name);
    }
    return true;
}

}

ProjectTreeListing ListProjectTree(const QString& folder, const QString& pattern)
{
    ProjectTreeListing listing;
    FileList files(pattern);
    files.SetPath(folder); // raises when the root is missing

    struct Pending {
        QString windowsPath; // with its trailing backslash
        QString hostPath;
    };
    QString root = files.Path();
    if (!root.endsWith(u'\\'))
        root += u'\\';
    std::vector<Pending> stack{{root, PathMapper::current().toHost(root)}};
    QSet<FolderIdentity> seen;
    bool first = true;
    while (!stack.empty()) {
        const Pending at = std::move(stack.back());
        stack.pop_back();
        const std::optional<FolderIdentity> identity = IdentityOf(at.hostPath);
        if (!identity) {
            listing.unreadable.append(at.windowsPath);
            continue;
        }
        if (seen.contains(*identity))
            continue; // met before, through a link or the link's target
        seen.insert(*identity);
        if (const QString pseudo = PseudoFileSystemOf(at.hostPath); !pseudo.isEmpty()) {
            listing.skipped.append({at.windowsPath, at.hostPath, QStringLiteral("a pseudo file system (%1)").arg(pseudo)});
            continue;
        }

        if (!first) {
            try {
                files.SetPath(at.windowsPath);
            } catch (const ProgramError&) {
                listing.unreadable.append(at.windowsPath);
                continue;
            }
        }
        first = false;
        for (int i = 0; i < files.ListCount(); ++i)
            listing.files.append(at.windowsPath + files.List(i));
        for (const QString& name : files.Unnamable())
            listing.skipped.append({QString(), at.hostPath + u'/' + name, kBackslashReason});

        QStringList names, unnamable;
        if (!subfolderNames(at.hostPath, names, unnamable)) {
            listing.unreadable.append(at.windowsPath);
            continue;
        }
        for (const QString& name : unnamable)
            listing.skipped.append({QString(), at.hostPath + u'/' + name, kBackslashReason});
        for (auto name = names.crbegin(); name != names.crend(); ++name)
            stack.push_back({at.windowsPath + *name + u'\\', at.hostPath + u'/' + *name});
    }
    return listing;
}
