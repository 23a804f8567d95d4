#include "Fonts.h"

#include <QFile>
#include <QFont>
#include <QFontDatabase>

namespace quiltaro {

void installFonts() {
    static bool installed = false;
    if (installed)
        return;
    installed = true;
    QFont::insertSubstitution(QStringLiteral("Times New Roman"),
                              QStringLiteral("Liberation Serif"));
    QFont::insertSubstitution(QStringLiteral("Arial"), QStringLiteral("Liberation Sans"));
    QFont::insertSubstitution(QStringLiteral("Brush Script MT"), QStringLiteral("Dancing Script"));
    const QString tahoma = QStringLiteral("/usr/share/wine/fonts/tahoma.ttf");
    if (QFile::exists(tahoma) && QFontDatabase::addApplicationFont(tahoma) >= 0)
        return;
    QFont::insertSubstitution(QStringLiteral("Tahoma"), QStringLiteral("DejaVu Sans"));
}

} // namespace quiltaro
