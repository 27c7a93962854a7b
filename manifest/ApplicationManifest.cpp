#include "manifest/ApplicationManifest.h"

#include <QXmlStreamWriter>
#include <array>
#include <utility>

namespace {

// The OLEMISC bits by the names the manifest's miscStatus attributes use.
constexpr std::array<std::pair<std::uint32_t, const char*>, 22> kMiscStatusNames{{
    {0x1, "recomposeonresize"},
    {0x2, "onlyiconic"},
    {0x4, "insertnotreplace"},
    {0x8, "static"},
    {0x10, "cantlinkinside"},
    {0x20, "canlinkbyole1"},
    {0x40, "islinkobject"},
    {0x80, "insideout"},
    {0x100, "activatewhenvisible"},
    {0x200, "renderingisdeviceindependent"},
    {0x400, "invisibleatruntime"},
    {0x800, "alwaysrun"},
    {0x1000, "actslikebutton"},
    {0x2000, "actslikelabel"},
    {0x4000, "nouiactivate"},
    {0x8000, "alignable"},
    {0x10000, "simpleframe"},
    {0x20000, "setclientsitefirst"},
    {0x40000, "imemode"},
    {0x80000, "ignoreactivatewhenvisible"},
    {0x100000, "wantstomenumerge"},
    {0x200000, "supportsmultilevelundo"},
}};

// Text an XML document can hold: what it cannot is dropped and counted.
class XmlText {
public:
    QString operator()(const QString& text)
    {
        QString out;
        out.reserve(text.size());
        for (qsizetype i = 0; i < text.size(); ++i) {
            const char16_t c = text[i].unicode();
            if (QChar::isHighSurrogate(c) && i + 1 < text.size() && text[i + 1].isLowSurrogate()) {
                out += text[i];
                out += text[++i];
            } else if ((c < 0x20 && c != u'\t' && c != u'\n' && c != u'\r') || QChar::isSurrogate(c) || c == 0xFFFE
                       || c == 0xFFFF) {
                ++dropped;
            } else {
                out += QChar(c);
            }
        }
        return out;
    }
    int dropped = 0;
};

QString typeLibFlags(std::uint32_t flags)
{
    QStringList names;
    if (flags & 1)
        names << QStringLiteral("RESTRICTED");
    if (flags & 2)
        names << QStringLiteral("CONTROL");
    if (flags & 4)
        names << QStringLiteral("HIDDEN");
    if (flags & 8)
        names << QStringLiteral("HASDISKIMAGE");
    return names.join(u',');
}

}

QString IdentityName(const QString& text)
{
    QString name;
    for (QChar c : text) {
        const char16_t u = c.unicode();
        const bool kept = (u >= u'a' && u <= u'z') || (u >= u'A' && u <= u'Z') || (u >= u'0' && u <= u'9') || u == u'.'
                          || u == u'-' || u == u'_';
        name += kept ? c : QChar(u'_');
    }
    while (name.startsWith(u'.'))
        name.remove(0, 1);
    while (name.endsWith(u'.'))
        name.chop(1);
    return name.isEmpty() ? QStringLiteral("Programa") : name;
}

QString IdentityVersion(int major, int minor, int revision)
{
    const auto part = [](int n) { return QString::number(qBound(0, n, 65535)); };
    return part(major) + u'.' + part(minor) + QStringLiteral(".0.") + part(revision);
}

QString MiscStatusNames(std::uint32_t bits)
{
    QStringList names;
    for (const auto& [bit, name] : kMiscStatusNames)
        if (bits & bit)
            names << QString::fromLatin1(name);
    return names.join(u',');
}

QByteArray ManifestXml(const ApplicationManifest& manifest, int* dropped)
{
    QByteArray out;
    XmlText text;
    QXmlStreamWriter xml(&out);
    xml.setAutoFormatting(true);
    xml.setAutoFormattingIndent(2);
    xml.writeStartDocument(QStringLiteral("1.0"), true);
    xml.writeStartElement(QStringLiteral("assembly"));
    xml.writeDefaultNamespace(QStringLiteral("urn:schemas-microsoft-com:asm.v1"));
    xml.writeAttribute(QStringLiteral("manifestVersion"), QStringLiteral("1.0"));

    xml.writeEmptyElement(QStringLiteral("assemblyIdentity"));
    xml.writeAttribute(QStringLiteral("type"), QStringLiteral("win32"));
    xml.writeAttribute(QStringLiteral("name"), IdentityName(manifest.name));
    xml.writeAttribute(QStringLiteral("version"), manifest.version);
    xml.writeAttribute(QStringLiteral("processorArchitecture"), manifest.processorArchitecture);
    if (!manifest.description.isEmpty())
        xml.writeTextElement(QStringLiteral("description"), text(manifest.description));

    if (manifest.commonControls) {
        xml.writeStartElement(QStringLiteral("dependency"));
        xml.writeStartElement(QStringLiteral("dependentAssembly"));
        xml.writeEmptyElement(QStringLiteral("assemblyIdentity"));
        xml.writeAttribute(QStringLiteral("type"), QStringLiteral("win32"));
        xml.writeAttribute(QStringLiteral("name"), QStringLiteral("Microsoft.Windows.Common-Controls"));
        xml.writeAttribute(QStringLiteral("version"), QStringLiteral("6.0.0.0"));
        xml.writeAttribute(QStringLiteral("processorArchitecture"), QStringLiteral("*"));
        xml.writeAttribute(QStringLiteral("publicKeyToken"), QStringLiteral("6595b64144ccf1df"));
        xml.writeAttribute(QStringLiteral("language"), QStringLiteral("*"));
        xml.writeEndElement();
        xml.writeEndElement();
    }

    for (const ManifestFile& file : manifest.files) {
        xml.writeStartElement(QStringLiteral("file"));
        xml.writeAttribute(QStringLiteral("name"), text(file.name));
        for (const ManifestTypeLib& library : file.typeLibs) {
            xml.writeEmptyElement(QStringLiteral("typelib"));
            xml.writeAttribute(QStringLiteral("tlbid"), library.tlbid);
            xml.writeAttribute(QStringLiteral("version"), library.version);
            xml.writeAttribute(QStringLiteral("helpdir"), text(library.helpdir));
            if (const QString flags = typeLibFlags(library.flags); !flags.isEmpty())
                xml.writeAttribute(QStringLiteral("flags"), flags);
        }
        for (const ManifestClass& comClass : file.classes) {
            const bool withProgIds = !comClass.otherProgIds.isEmpty();
            if (withProgIds)
                xml.writeStartElement(QStringLiteral("comClass"));
            else
                xml.writeEmptyElement(QStringLiteral("comClass"));
            xml.writeAttribute(QStringLiteral("clsid"), comClass.clsid);
            if (!comClass.threadingModel.isEmpty())
                xml.writeAttribute(QStringLiteral("threadingModel"), comClass.threadingModel);
            if (!comClass.progId.isEmpty())
                xml.writeAttribute(QStringLiteral("progid"), text(comClass.progId));
            if (!comClass.tlbid.isEmpty())
                xml.writeAttribute(QStringLiteral("tlbid"), comClass.tlbid);
            if (!comClass.description.isEmpty())
                xml.writeAttribute(QStringLiteral("description"), text(comClass.description));
            const std::pair<const char*, std::uint32_t> aspects[] = {
                {"miscStatus", comClass.miscStatus},
                {"miscStatusContent", comClass.miscStatusContent},
                {"miscStatusThumbnail", comClass.miscStatusThumbnail},
                {"miscStatusIcon", comClass.miscStatusIcon},
                {"miscStatusDocprint", comClass.miscStatusDocprint},
            };
            for (const auto& [attribute, bits] : aspects)
                if (const QString names = MiscStatusNames(bits); !names.isEmpty())
                    xml.writeAttribute(QString::fromLatin1(attribute), names);
            if (withProgIds) {
                for (const QString& progId : comClass.otherProgIds)
                    xml.writeTextElement(QStringLiteral("progid"), text(progId));
                xml.writeEndElement();
            }
        }
        xml.writeEndElement();
    }
    for (const ManifestInterface& interface : manifest.interfaces) {
        xml.writeEmptyElement(QStringLiteral("comInterfaceExternalProxyStub"));
        if (!interface.name.isEmpty())
            xml.writeAttribute(QStringLiteral("name"), text(interface.name));
        xml.writeAttribute(QStringLiteral("iid"), interface.iid);
        xml.writeAttribute(QStringLiteral("proxyStubClsid32"), interface.proxyStubClsid);
        if (!interface.tlbid.isEmpty())
            xml.writeAttribute(QStringLiteral("tlbid"), interface.tlbid);
    }
    xml.writeEndElement();
    xml.writeEndDocument();
    if (dropped)
        *dropped = text.dropped;
    return out;
}
