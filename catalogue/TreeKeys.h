#pragma once

// The tree's vocabulary: the keys its nodes are made with and found by, and their images. Every
// reader and writer of a key goes through here.

#include <QString>

namespace TreeKeys {

// The root, "Sistemas".
inline const QString Root = QStringLiteral("root");
// A project node: "k" and the project's index in the catalogue.
QString Project(int index);
// A project's "Referencias" and "Componentes" branches: "dll" or "com" and the branch counter.
QString References(int branch);
QString Components(int branch);
// A dependency's leaf: "file" and the dependency's key ("fileREFDLL3").
QString Dependency(const QString& dependencyKey);

// Whether `key` is a project node's: it begins with "k".
bool IsProject(const QString& key);
// The project index a project node's key names: the decimal digits after its "k" (at most nine);
// 0 when there are none or anything else follows.
int ProjectIndex(const QString& key);

}

// The tree's images, 1-based indexes into its image list.
namespace TreeImages {
constexpr int Project = 7;     // the root and the projects
constexpr int References = 20;
constexpr int Components = 21;
}
