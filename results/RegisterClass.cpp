#include "SchoolRegister.h"

#include "ClassName.h"

#include <QCollator>

#include <algorithm>
#include <map>
#include <set>

// A class taken out of the school register, and its names as a class list
// writes them.
namespace quiltaro {

namespace {

QString listed(const QStringList& names) {
    return names.isEmpty() ? QStringLiteral("aucun") : names.join(QStringLiteral(", "));
}

// The first `letters` letters of a family name, as an initial is written:
// "M." of "MARTIN", "Ma." with two.
QString initialOf(const QString& family, qsizetype letters) {
    QString kept;
    for (const QChar c : family)
        if (c.isLetter() && kept.size() < letters)
            kept += kept.isEmpty() ? c.toUpper() : c.toLower();
    return kept.isEmpty() ? QString() : kept + QLatin1Char('.');
}

// The names of pupils who share a first name: each with the fewest letters
// of the family name that tell it from all the others ("Lucas B.", "Lucas
// Mart.", "Lucas Marc.").
QStringList apart(const std::vector<const RegisterPupil*>& same) {
    QStringList names;
    for (const RegisterPupil* p : same) {
        const qsizetype length = p->familyName.size();
        qsizetype letters = 1;
        // Namesakes whose family names are the same too are numbered below.
        const auto clashes = [&](qsizetype k) {
            return std::any_of(same.begin(), same.end(), [&](const RegisterPupil* other) {
                return foldedName(other->familyName) != foldedName(p->familyName) &&
                       foldedName(initialOf(other->familyName, k)) ==
                           foldedName(initialOf(p->familyName, k));
            });
        };
        while (letters < length && clashes(letters))
            ++letters;
        const QString initial = initialOf(p->familyName, letters);
        names << (initial.isEmpty() ? p->firstName : p->firstName + QLatin1Char(' ') + initial);
    }
    // Same first and family names: numbered, so that each has a record.
    std::map<QString, int> count;
    for (QString& name : names)
        if (const int n = ++count[foldedName(name)]; n > 1)
            name += QStringLiteral(" %1").arg(n);
    return names;
}

} // namespace

QStringList namesForList(const std::vector<RegisterPupil>& pupils) {
    std::map<QString, std::vector<const RegisterPupil*>> byFirst;
    for (const RegisterPupil& p : pupils)
        byFirst[foldedName(p.firstName)].push_back(&p);
    QStringList names;
    for (const auto& [folded, same] : byFirst)
        names << (same.size() == 1 ? QStringList{same.front()->firstName} : apart(same));
    QCollator french{QLocale(QLocale::French, QLocale::France)};
    french.setNumericMode(true);
    std::stable_sort(names.begin(), names.end(), french);
    return names;
}

RegisterClass chooseClass(const SchoolRegister& reg, const QString& choice) {
    RegisterClass chosen;
    const QStringList classes = reg.classes(), levels = reg.levels();
    QString name = choice.trimmed();
    bool byLevel = false;
    if (name.isEmpty()) {
        if (classes.size() != 1) {
            chosen.problem =
                classes.isEmpty()
                    ? QStringLiteral("le fichier ne dit pas la classe de ses élèves : nommez-la "
                                     "avec --class NOM")
                    : QStringLiteral("le fichier contient %1 classes (%2) : choisissez-en une "
                                     "avec --class NOM")
                          .arg(classes.size())
                          .arg(listed(classes));
            return chosen;
        }
        name = classes.front();
    } else if (const auto c = std::find_if(classes.begin(), classes.end(),
                                           [&](const QString& n) { return sameClass(n, name); });
               c != classes.end()) {
        name = *c;
    } else if (const auto l = std::find_if(levels.begin(), levels.end(),
                                           [&](const QString& n) { return sameClass(n, name); });
               l != levels.end()) {
        name = *l;
        byLevel = true;
    } else if (!classes.isEmpty() || !levels.isEmpty()) {
        chosen.problem = QStringLiteral("« %1 » n'est ni une classe ni un niveau du fichier "
                                        "(classes : %2 ; niveaux : %3)")
                             .arg(name, listed(classes), listed(levels));
        return chosen;
    }
    if (const QString refusal =
            classNameRefusal(name, QStringLiteral("la classe « %1 » du fichier").arg(name));
        !refusal.isEmpty()) {
        chosen.problem = refusal;
        return chosen;
    }
    std::vector<RegisterPupil> pupils;
    for (const RegisterPupil& p : reg.pupils)
        if ((classes.isEmpty() && levels.isEmpty()) ||
            sameClass(byLevel ? p.level : p.className, name))
            pupils.push_back(p);
    chosen.name = name;
    chosen.pupils = namesForList(pupils);
    return chosen;
}

ClassList withNames(ClassList list, const QStringList& names) {
    list.names = names;
    std::erase_if(list.pupilLevels,
                  [&](const auto& level) { return !names.contains(level.first); });
    // The comments were written among names that are gone: they go first.
    for (auto& [before, comment] : list.comments)
        before = 0;
    list.levelProblems.clear();
    return list;
}

} // namespace quiltaro
