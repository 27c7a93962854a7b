#pragma once

#include <QString>
#include <exception>

// The one error type of the program: a number, the source that raised it and a description, as
// Windows programs report errors. Routines that handle their own failures show
// "<routine> : <Number> <Description>"; general-purpose classes raise it to their caller.
class ProgramError : public std::exception {
public:
    ProgramError(int number, QString description, QString source = QString())
        : Number(number), Description(std::move(description)), Source(std::move(source)) {}

    const char* what() const noexcept override;
    // "<Number> <Description>".
    QString NumberAndDescription() const;
    // "<routine> : <Number> <Description>", the text a routine shows for a failure it handles.
    QString RoutineMessage(const QString& routine) const;

    int Number;
    QString Description;
    QString Source;

private:
    mutable QByteArray whatText_;
};

// Error numbers shared by the platform stand-ins, with the descriptions Windows programs know them by.
namespace ErrorNumbers {
constexpr int InvalidProcedureCall = 5;   // "Invalid procedure call or argument"
constexpr int Overflow = 6;               // "Overflow"
constexpr int OutOfMemory = 7;            // "Out of memory"
constexpr int FileNotFound = 53;          // "File not found"
constexpr int DiskFull = 61;              // "Disk full"
constexpr int DeviceIOError = 57;         // "Device I/O error"
constexpr int PathFileAccessError = 75;   // "Path/File access error"
constexpr int PathNotFound = 76;          // "Path not found"
constexpr int InvalidPropertyValue = 380; // "Invalid property value"
constexpr int IndexOutOfBounds = 35600;   // "Index out of bounds"
constexpr int ElementNotFound = 35601;    // "Element not found"
constexpr int KeyNotUnique = 35602;       // "Key is not unique in collection"
}

// The standard description of one of the numbers above.
QString StandardErrorDescription(int number);

// Raises ProgramError with the standard description of `number`.
[[noreturn]] void RaiseStandardError(int number, const QString& source = QString());
