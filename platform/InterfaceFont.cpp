// SPDX-License-Identifier: MIT
#include "platform/InterfaceFont.h"

#include <QApplication>
#include <QFont>
#include <QFontDatabase>
#include <QStringList>

namespace {

// Serif faces read poorly at the interface's size; their names say what they are.
bool isSerifName(const QString& family)
{
    for (const char* mark : {"Mincho", "mincho", "Serif", "serif", "明朝"})
        if (family.contains(QString::fromUtf8(mark)) && !family.contains(QLatin1String("Sans")))
            return true;
    return false;
}

} // namespace

QString JapaneseInterfaceFamily()
{
    const QStringList japanese = QFontDatabase::families(QFontDatabase::Japanese);
    // The faces Windows itself uses for Japanese interfaces, newest first.
    for (const char* preferred : {"Yu Gothic UI", "Meiryo UI", "MS UI Gothic"})
        if (japanese.contains(QLatin1String(preferred)))
            return QLatin1String(preferred);
    // Vertical faces (named with "@") and serif ones are passed over; of the rest, a face drawn for
    // Japanese is preferred to one of a pan-CJK family drawn for Chinese or Korean.
    QStringList usable;
    for (const QString& family : japanese)
        if (!family.startsWith(QLatin1Char('@')) && !isSerifName(family) && !QFontDatabase::isPrivateFamily(family))
            usable << family;
    for (const QString& family : usable)
        if (family.contains(QLatin1String(" JP")) || family.contains(QLatin1String("Japanese")))
            return family;
    return usable.value(0);
}

void UseJapaneseInterfaceFont()
{
#ifdef Q_OS_WIN
    const QString family = JapaneseInterfaceFamily();
    if (family.isEmpty())
        return;
    QFont font = QApplication::font();
    font.setFamilies({family});
    QApplication::setFont(font);
#endif
}
