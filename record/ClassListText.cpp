#include "Pupils.h"

#include <map>

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
        if (trimmed.isEmpty())
            continue;
        if (trimmed.startsWith(QLatin1Char('#')))
            list.comments.emplace_back(list.names.size(), trimmed);
        else
            readLine(trimmed, list);
    }
    return list;
}

std::vector<std::pair<QString, QString>> sameNames(const QString& text) {
    // Capitals and accents folded: "Éloïse" is "eloise".
    const auto folded = [](const QString& name) {
        QString plain;
        for (QChar c : name.normalized(QString::NormalizationForm_D))
            if (c.category() != QChar::Mark_NonSpacing)
                plain += c;
        return plain.toCaseFolded().simplified();
    };
    std::vector<std::pair<QString, QString>> same;
    std::map<QString, QString> seen;
    for (const QString& line : text.split(QLatin1Char('\n'))) {
        const qsizetype colon = line.lastIndexOf(QLatin1Char(':'));
        const QString whole = (colon < 0 ? line : line.left(colon)).trimmed();
        if (whole.isEmpty() || whole.startsWith(QLatin1Char('#')) ||
            (colon >= 0 && whole.compare(levelKey, Qt::CaseInsensitive) == 0))
            continue;
        const auto [at, fresh] = seen.emplace(folded(whole), whole);
        if (!fresh)
            same.emplace_back(at->second, whole);
    }
    return same;
}

QStringList classListLines(const ClassList& list) {
    QStringList lines;
    auto comment = list.comments.begin();
    const auto commentsBefore = [&](qsizetype names) {
        for (; comment != list.comments.end() && comment->first <= names; ++comment)
            lines << comment->second;
    };
    qsizetype written = 0;
    for (const QString& name : list.names) {
        const QString n = name.trimmed();
        if (n.isEmpty())
            continue;
        commentsBefore(written++);
        QString line = n;
        if (const auto own = list.pupilLevels.find(n); own != list.pupilLevels.end())
            line += QStringLiteral(" : ") + levelText(own->second);
        lines << line;
    }
    commentsBefore(list.comments.empty() ? 0 : list.comments.back().first);
    return lines;
}

QString classListText(const ClassList& list) {
    QString text;
    if (list.level)
        text += levelKey + QStringLiteral(" : ") + levelText(*list.level) + QLatin1Char('\n');
    for (const QString& line : classListLines(list))
        text += line + QLatin1Char('\n');
    return text;
}

} // namespace quiltaro
