#include "catalogue/TreeKeys.h"

namespace TreeKeys {

QString Project(int index)
{
    return u'k' + QString::number(index);
}

QString References(int branch)
{
    return QStringLiteral("dll") + QString::number(branch);
}

QString Components(int branch)
{
    return QStringLiteral("com") + QString::number(branch);
}

QString Dependency(const QString& dependencyKey)
{
    return QStringLiteral("file") + dependencyKey;
}

bool IsProject(const QString& key)
{
    return key.startsWith(u'k');
}

int ProjectIndex(const QString& key)
{
    if (!IsProject(key))
        return 0;
    const QStringView digits = QStringView(key).mid(1);
    if (digits.isEmpty() || digits.size() > 9)
        return 0;
    for (QChar c : digits)
        if (c < u'0' || c > u'9')
            return 0;
    return digits.toInt();
}

}
