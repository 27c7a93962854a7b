#include "platform/core/EventLoop.h"

#include <QCoreApplication>

namespace {
long long turns = 0;
}

void DoEvents()
{
    ++turns;
    if (QCoreApplication::instance())
        QCoreApplication::processEvents();
}

long long DoEventsTurns()
{
    return turns;
}
