#pragma once

#include <QByteArray>
#include <QString>

// Host file names as bytes and as text, without loss. A Linux file name is any run of bytes;
// most are UTF-8, but a name may hold bytes that are not (made under another encoding, or on
// purpose). Decoding such a byte to U+FFFD, as the usual conversion does, would make
// "X\xffY.vbp", "X\xfeY.vbp" and a real "X\u{FFFD}Y.vbp" one name, and the program would read
// the last of them three times. Here each byte that is not part of valid UTF-8 becomes the lone
// surrogate U+DC80 + byte, which valid UTF-8 never decodes to, and encoding gives the byte back;
// so a listed name opens exactly the file it was listed from. Text meant for people shows such
// a name escaped (`displayed`).
namespace HostNames {

QString decode(const QByteArray& bytes);
// A name holding a NUL has no host form (the system would read it cut short, as another file's
// name): it encodes to an empty array, which names nothing.
QByteArray encode(const QString& name);

// True when `name` holds a byte that is not valid UTF-8 (decoded as above).
bool hasRawBytes(const QString& name);

// `name` with each such byte written as "\xNN" (upper-case hex); other text unchanged.
QString displayed(const QString& name);

// Whether a Windows program can name the host entry `name` as one component of a path. A Linux
// name may hold a backslash, which a Windows path takes as a separator: "sub\x.vbp" would name
// the file x.vbp of the folder sub, another file. Such an entry is left out of what the program
// lists, and said where a listing reports what it left out; it is never read in another's place.
bool hasWindowsName(const QString& name);

}
