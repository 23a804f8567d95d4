#include "Pupils.h"

namespace quiltaro {

namespace {

const QString levelKey = QStringLiteral("niveau");

QString levelText(const LevelRange& range) {
    return QString::fromStdString(levelName(range));
}

// "Prénom : niveau", or the name alone when the line has no level.
void readLine(const QString& line, ClassList& list) {
    const qsizetype colon = line.lastIndexOf(QLatin1Char(':'));
    const QString name = (colon < 0 ? line : line.left(colon)).trimmed();
    const bool forClass = colon >= 0 && name.compare(levelKey, Qt::CaseInsensitive) == 0;
    if (!forClass && !name.isEmpty() && !list.names.contains(name))
        list.names.append(name);
    if (colon < 0)
        return;
    const QString value = line.mid(colon + 1).trimmed();
    const std::optional<LevelRange> level = parseLevel(value.toStdString());
    if (!level) {
        list.levelProblems << QStringLiteral("« %1 » : le niveau « %2 » n'existe pas (entiers, "
                                             "dixiemes, centiemes, ou deux d'entre eux comme "
                                             "entiers-dixiemes) ; %3.")
                                  .arg(line.trimmed(), value,
                                       forClass ? QStringLiteral("la classe garde le niveau par "
                                                                 "défaut")
                                                : QStringLiteral("%1 garde le niveau de la "
                                                                 "classe")
                                                      .arg(name));
        return;
    }
    if (forClass)
        list.level = level;
    else if (!name.isEmpty())
        list.pupilLevels[name] = *level;
}

} // namespace

std::optional<LevelRange> ClassList::levelOf(const QString& pupil) const {
    if (const auto own = pupilLevels.find(pupil); own != pupilLevels.end())
        return own->second;
    return level;
}

ClassList parseClassList(const QString& text) {
    ClassList list;
    for (const QString& line : text.split(QLatin1Char('\n'))) {
        const QString trimmed = line.trimmed();
        if (!trimmed.isEmpty() && !trimmed.startsWith(QLatin1Char('#')))
            readLine(trimmed, list);
    }
    return list;
}

QString classListText(const ClassList& list) {
    QString text;
    if (list.level)
        text += levelKey + QStringLiteral(" : ") + levelText(*list.level) + QLatin1Char('\n');
    for (const QString& name : list.names) {
        const QString n = name.trimmed();
        if (n.isEmpty())
            continue;
        text += n;
        if (const auto own = list.pupilLevels.find(n); own != list.pupilLevels.end())
            text += QStringLiteral(" : ") + levelText(own->second);
        text += QLatin1Char('\n');
    }
    return text;
}

} // namespace quiltaro
