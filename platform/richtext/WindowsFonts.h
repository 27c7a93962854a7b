#pragma once

#include <QString>

// Windows font faces on a machine that may not have them. A face the font database lacks is
// looked for in the prefix's Fonts folder and in Wine's own fonts (Wine ships a Tahoma); failing
// that, the family of a metric-compatible face (Liberation for Arial, Times New Roman and
// Courier New) or of the system's default face of the same kind is returned.
namespace WindowsFonts {

// A family name the font database can draw for the Windows face `face`.
QString Family(const QString& face);

}
