#include "platform/core/ProgramError.h"

QString ProgramError::NumberAndDescription() const
{
    return QString::number(Number) + u' ' + Description;
}

QString ProgramError::RoutineMessage(const QString& routine) const
{
    return routine + QStringLiteral(" : ") + NumberAndDescription();
}

const char* ProgramError::what() const noexcept
{
    if (whatText_.isEmpty())
        whatText_ = NumberAndDescription().toUtf8();
    return whatText_.constData();
}

QString StandardErrorDescription(int number)
{
    switch (number) {
    case ErrorNumbers::InvalidProcedureCall: return QStringLiteral("Invalid procedure call or argument");
    case ErrorNumbers::Overflow: return QStringLiteral("Overflow");
    case ErrorNumbers::OutOfMemory: return QStringLiteral("Out of memory");
    case ErrorNumbers::FileNotFound: return QStringLiteral("File not found");
    case ErrorNumbers::DeviceIOError: return QStringLiteral("Device I/O error");
    case ErrorNumbers::DiskFull: return QStringLiteral("Disk full");
    case ErrorNumbers::PathFileAccessError: return QStringLiteral("Path/File access error");
    case ErrorNumbers::PathNotFound: return QStringLiteral("Path not found");
    case ErrorNumbers::InvalidPropertyValue: return QStringLiteral("Invalid property value");
    case ErrorNumbers::IndexOutOfBounds: return QStringLiteral("Index out of bounds");
    case ErrorNumbers::ElementNotFound: return QStringLiteral("Element not found");
    case ErrorNumbers::KeyNotUnique: return QStringLiteral("Key is not unique in collection");
    }
    return QStringLiteral("Application-defined or object-defined error");
}

void RaiseStandardError(int number, const QString& source)
{
    throw ProgramError(number, StandardErrorDescription(number), source);
}
