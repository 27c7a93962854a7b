#pragma once

// The environment a Windows program sees in the prefix, and the expansion of %NAME% references.

#include "platform/registry/WinRegistry.h"

#include <QHash>
#include <QString>
#include <QStringView>
#include <memory>

class RegistryStore;

// The environment a 32-bit Windows program sees in a Wine prefix: the process's own variables,
// overlaid by the prefix's system environment (HKLM\System\CurrentControlSet\Control\Session
// Manager\Environment) and then the user's (HKCU\Environment), with SystemRoot C:\windows and
// ProgramFiles and CommonProgramFiles as the 32-bit view has them (the "(x86)" folders in a
// 64-bit prefix). Names compare ignoring case. On Windows the process environment is already
// this and the class is not needed.
class WindowsEnvironment {
public:
    static constexpr qsizetype kMaxExpandedLength = 32767;
    // What the prefix's expandable values may expand to in all, in characters (8 MB of text).
    // Each value alone stops at kMaxExpandedLength, but a registry file of a few megabytes can
    // hold tens of thousands of values that each reach it (gigabytes together); once the values
    // expanded so far hold this much, the remaining expandable values are kept as written.
    static constexpr qsizetype kMaxTotalExpandedLength = qsizetype(4) << 20;

    // The environment of the prefix `store` reads. Its expandable values are expanded in the
    // registry's order, system before user, until they hold kMaxTotalExpandedLength characters
    // together; later ones keep their text as written.
    explicit WindowsEnvironment(RegistryStore& store);

    // The environment of the current prefix; built again when the prefix, its registry or the
    // process environment changed since the last call.
    static const WindowsEnvironment& current();

    // The variable's value, or a null string when it is not set.
    QString value(QStringView name) const;

    // `text` with every %NAME% of a set variable replaced by its value, as
    // ExpandEnvironmentStrings does: an unknown name stays as written, %NOPE% included, and the
    // scan goes on from its closing '%'. The result stops at kMaxExpandedLength characters, as
    // Windows caps an expanded string, however the values refer to each other.
    QString expand(QStringView text) const;

    // The characters the registry's expandable values expanded to, in total: at most
    // kMaxTotalExpandedLength + kMaxExpandedLength.
    qsizetype expandedLength() const { return expandedLength_; }

private:
    void set(const QString& name, const QString& value);
    void overlayRegistry(RegistryStore& store, bool system);

    QHash<QString, QString> values_; // by lower-cased name
    qsizetype expandedLength_ = 0;
};

namespace WinApi {

// Expands %NAME% references of `lpSrc` (ANSI) into `lpDst`, which holds `nSize` characters.
// Returns the size the expanded text needs, terminator included; when that is more than
// `nSize` the destination is not written.
DWORD ExpandEnvironmentStringsA(const char* lpSrc, char* lpDst, DWORD nSize);

}
