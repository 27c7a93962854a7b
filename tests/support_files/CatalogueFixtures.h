#pragma once

// Catalogues built by hand for the tests of what is made from them (export, report).

#include "catalogue/Catalogue.h"

#include <QList>
#include <QString>

// Appends a project with `entries` as the load would: the next index, keys given in order.
inline void AddProject(Catalogue& catalogue, const QString& fileName, std::int32_t kind, const QString& name,
                       const QList<DependencyEntry>& entries)
{
    const int index = catalogue.ProjectCount() + 1;
    catalogue.AppendProject(index);
    int counter = 1;
    for (const DependencyEntry& e : entries)
        catalogue.AppendDependency(index, counter, e);
    catalogue.SetProjectFields(index, fileName, kind, name);
}
