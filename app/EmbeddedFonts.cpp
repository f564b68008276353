#include "EmbeddedFonts.h"

#include <QDir>
#include <QFontDatabase>

namespace EmbeddedFonts {

int registerAll()
{
    const QDir fonts(QStringLiteral(":/fonts"));
    int taken = 0;
    for (const QString &name : fonts.entryList({QStringLiteral("*.ttf")}, QDir::Files, QDir::Name))
        taken += QFontDatabase::addApplicationFont(fonts.filePath(name)) >= 0;
    return taken;
}

} // namespace EmbeddedFonts
