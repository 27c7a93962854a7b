#include "manifest/ApplicationManifest.h"

#include <QDomDocument>
#include <gtest/gtest.h>

namespace {

ApplicationManifest facturas()
{
    ApplicationManifest manifest;
    manifest.name = QStringLiteral("Facturación <2024> & \"más\"");
    manifest.version = IdentityVersion(1, 2, 30);
    manifest.commonControls = true;
    ManifestFile file;
    file.name = QStringLiteral("controles32.ocx");
    file.typeLibs.push_back({QStringLiteral("{C4E8A1F6-2B7D-4A93-9E05-D1F3B6A8C2E9}"), QStringLiteral("3.0"), QString(), 2 | 8});
    ManifestClass reloj;
    reloj.clsid = QStringLiteral("{11111111-2222-3333-4444-555555555555}");
    reloj.threadingModel = QStringLiteral("Apartment");
    reloj.progId = QStringLiteral("Controles.Reloj.1");
    reloj.otherProgIds = {QStringLiteral("Controles.Reloj")};
    reloj.tlbid = file.typeLibs[0].tlbid;
    reloj.description = QStringLiteral("Reloj \x01 & <cosas>");
    reloj.miscStatus = 0x20000 | 0x100 | 0x80 | 0x10 | 0x1 | 0x40000000; // an unnamed bit too
    reloj.miscStatusContent = 0x400;
    file.classes.push_back(reloj);
    ManifestClass alarma;
    alarma.clsid = QStringLiteral("{11111111-2222-3333-4444-666666666666}");
    file.classes.push_back(alarma);
    manifest.files.push_back(file);
    return manifest;
}

QStringList childNames(const QDomElement& parent)
{
    QStringList names;
    for (QDomElement e = parent.firstChildElement(); !e.isNull(); e = e.nextSiblingElement())
        names << e.tagName();
    return names;
}

}

TEST(ApplicationManifest, IsWellFormedXmlInTheOrderWindowsReadsIt)
{
    int dropped = -1;
    const QByteArray xml = ManifestXml(facturas(), &dropped);
    EXPECT_EQ(dropped, 1) << "the control character of the description";
    QDomDocument document;
    QString error;
    ASSERT_TRUE(document.setContent(xml, true, &error)) << error.toStdString() << "\n" << xml.constData();
    EXPECT_TRUE(xml.startsWith("<?xml version=\"1.0\" encoding=\"UTF-8\" standalone=\"yes\"?>")) << xml.constData();

    const QDomElement assembly = document.documentElement();
    EXPECT_EQ(assembly.tagName(), "assembly");
    EXPECT_EQ(assembly.namespaceURI(), "urn:schemas-microsoft-com:asm.v1");
    EXPECT_EQ(assembly.attribute("manifestVersion"), "1.0");
    EXPECT_EQ(childNames(assembly), (QStringList{"assemblyIdentity", "dependency", "file"}));

    const QDomElement identity = assembly.firstChildElement("assemblyIdentity");
    EXPECT_EQ(identity.attribute("type"), "win32");
    EXPECT_EQ(identity.attribute("name"), "Facturaci_n__2024_____m_s_");
    EXPECT_EQ(identity.attribute("version"), "1.2.0.30");
    EXPECT_EQ(identity.attribute("processorArchitecture"), "x86");

    const QDomElement common = assembly.firstChildElement("dependency").firstChildElement("dependentAssembly").firstChildElement();
    EXPECT_EQ(common.attribute("name"), "Microsoft.Windows.Common-Controls");
    EXPECT_EQ(common.attribute("version"), "6.0.0.0");
    EXPECT_EQ(common.attribute("publicKeyToken"), "6595b64144ccf1df");

    const QDomElement file = assembly.firstChildElement("file");
    EXPECT_EQ(file.attribute("name"), "controles32.ocx");
    EXPECT_EQ(childNames(file), (QStringList{"typelib", "comClass", "comClass"}));
    const QDomElement typelib = file.firstChildElement("typelib");
    EXPECT_EQ(typelib.attribute("tlbid"), "{C4E8A1F6-2B7D-4A93-9E05-D1F3B6A8C2E9}");
    EXPECT_EQ(typelib.attribute("version"), "3.0");
    EXPECT_TRUE(typelib.hasAttribute("helpdir"));
    EXPECT_EQ(typelib.attribute("flags"), "CONTROL,HASDISKIMAGE");

    const QDomElement reloj = file.firstChildElement("comClass");
    EXPECT_EQ(reloj.attribute("clsid"), "{11111111-2222-3333-4444-555555555555}");
    EXPECT_EQ(reloj.attribute("threadingModel"), "Apartment");
    EXPECT_EQ(reloj.attribute("progid"), "Controles.Reloj.1");
    EXPECT_EQ(reloj.attribute("description"), "Reloj  & <cosas>") << "escaped, the control dropped";
    EXPECT_EQ(reloj.attribute("miscStatus"), "recomposeonresize,cantlinkinside,insideout,activatewhenvisible,setclientsitefirst");
    EXPECT_EQ(reloj.attribute("miscStatusContent"), "invisibleatruntime");
    EXPECT_FALSE(reloj.hasAttribute("miscStatusIcon"));
    EXPECT_EQ(reloj.firstChildElement("progid").text(), "Controles.Reloj");

    // What is not known is not said.
    const QDomElement alarma = reloj.nextSiblingElement("comClass");
    EXPECT_EQ(alarma.attributes().count(), 1);
}

TEST(ApplicationManifest, IdentitiesHoldOnlyWhatAnAssemblyNameCan)
{
    EXPECT_EQ(IdentityName("Proyecto1"), "Proyecto1");
    EXPECT_EQ(IdentityName("Mi Programa.exe"), "Mi_Programa.exe");
    EXPECT_EQ(IdentityName("..raro.."), "raro");
    EXPECT_EQ(IdentityName(""), "Programa");
    EXPECT_EQ(IdentityName("工程1"), "__1");
    EXPECT_EQ(IdentityVersion(1, 0, 0), "1.0.0.0");
    EXPECT_EQ(IdentityVersion(-3, 70000, 9), "0.65535.0.9") << "each part a 16-bit number";
    EXPECT_EQ(MiscStatusNames(0), "");
    EXPECT_EQ(MiscStatusNames(0x200000), "supportsmultilevelundo");
}
