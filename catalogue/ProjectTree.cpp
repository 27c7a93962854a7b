#include "catalogue/ProjectTree.h"

#include "platform/controls/Controls.h"
#include "platform/core/ProgramError.h"
#include "platform/files/FolderListing.h"
#include "platform/files/PathMapper.h"

#include <QSet>
#include <utility>
#include <vector>

namespace {

// Names of the folders in a host folder (links to folders included), not hidden, in the
// listing's order (ignoring case); false when the folder cannot be read.
bool subfolderNames(const QString& hostFolder, QStringList& names)
{
    const auto entries = ListFolderEntries(hostFolder);
    if (!entries)
        return false;
    for (const FolderEntry& entry : *entries)
        if (entry.kind == FolderEntryKind::Folder && !entry.name.startsWith(u'.'))
            names.append(entry.name);
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

        QStringList names;
        if (!subfolderNames(at.hostPath, names)) {
            listing.unreadable.append(at.windowsPath);
            continue;
        }
        for (auto name = names.crbegin(); name != names.crend(); ++name)
            stack.push_back({at.windowsPath + *name + u'\\', at.hostPath + u'/' + *name});
    }
    return listing;
}
