#pragma once

#include <QIcon>

// The program's own pictures, compiled in as resources.
namespace Images {
// The tree's image list: 7 the root and projects, 20 references, 21 components; a null icon for
// any other index.
QIcon TreeImage(int index);
// A toolbar picture by button key ("cmdPrint", "cmdRefresh", "cmdExcel", "cmdExit").
QIcon ToolbarImage(const QString& key);
}
