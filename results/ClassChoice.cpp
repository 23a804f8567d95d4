#include "ClassChoice.h"

#include "ClassLists.h"
#include "ClassName.h"
#include "Pupils.h"

#include <QCollator>
#include <QLocale>

#include <algorithm>

namespace quiltaro {

namespace {

void sortInFrench(QStringList& names) {
    QCollator french(QLocale(QLocale::French, QLocale::France));
    french.setNumericMode(true); // CM1 before CM2, 6e 2 before 6e 10
    std::sort(names.begin(), names.end(),
              [&](const QString& a, const QString& b) { return french.compare(a, b) < 0; });
}

QString found(const QStringList& classes, const QString& name) {
    for (const QString& c : classes)
        if (sameClass(c, name))
            return c;
    return {};
}

} // namespace

ClassChoice chooseClass(QStringList classes, const QString& asked, const QString& configured) {
    classes.removeAll(QString());
    classes.removeDuplicates();
    sortInFrench(classes);
    ClassChoice choice{classes, {}, {}};
    const QString wanted = asked.trimmed();
    if (!wanted.isEmpty()) {
        if (const QString refusal = classNameRefusal(wanted, QStringLiteral("--class"));
            !refusal.isEmpty()) {
            choice.problem = refusal;
            return choice;
        }
        choice.chosen = found(classes, wanted);
        if (choice.chosen.isEmpty())
            choice.problem =
                classes.isEmpty()
                    ? QStringLiteral("la classe « %1 » n'existe pas : ce compte n'a qu'une "
                                     "classe, sans nom ; ouvrez les résultats sans --class.")
                          .arg(wanted)
                    : QStringLiteral("la classe « %1 » n'existe pas ; les classes de ce compte "
                                     "sont : %2. Écrivez l'une d'elles après --class.")
                          .arg(wanted, classes.join(QStringLiteral(", ")));
        return choice;
    }
    choice.chosen = found(classes, configured);
    if (choice.chosen.isEmpty() && !classes.isEmpty())
        choice.chosen = classes.constFirst();
    return choice;
}

QStringList loginClassNames(const QString& alsoThere) {
    QStringList names;
    for (const ClassListSource& source : loginClassLists(configuredClass().name))
        names << source.name;
    names << alsoThere;
    names.removeAll(QString());
    return names;
}

ClassChoice chooseAmong(const ClassRecord& data, const QString& asked, const QString& alsoThere) {
    QStringList classes = loginClassNames(alsoThere);
    for (const PupilRounds& p : data.pupils)
        classes << p.className;
    return chooseClass(classes, asked, alsoThere.isEmpty() ? configuredClass().name : alsoThere);
}

void keepClass(ClassRecord& data, const QString& className, const QString& unnamedClass) {
    const auto other = [&](const PupilRounds& p) {
        const QString of = p.className.isEmpty() ? unnamedClass : p.className;
        return !sameClass(of, className);
    };
    data.pupils.erase(std::remove_if(data.pupils.begin(), data.pupils.end(), other),
                      data.pupils.end());
    // Rounds read again for a chart are of this class only: a first name
    // can be found in two classes.
    if (!data.readRounds)
        return;
    data.readRounds = [read = data.readRounds, className, unnamedClass](
                          const QStringList& names, Detail detail, std::stop_token stop) {
        std::map<QString, std::vector<RoundRecord>> rounds = read(names, detail, std::move(stop));
        for (auto& [name, list] : rounds)
            std::erase_if(list, [&](const RoundRecord& r) {
                return !sameClass(r.className.isEmpty() ? unnamedClass : r.className, className);
            });
        return rounds;
    };
}

QStringList listedPupils(const QString& className) {
    for (const ClassListSource& source : loginClassLists(configuredClass().name))
        if (className.isEmpty() ? source.firstList : sameClass(source.name, className))
            return readClassList(source.file);
    return {};
}

QString resultsTitle(const QString& className) {
    return className.isEmpty() ? QStringLiteral("Quiltaro : résultats")
                               : QStringLiteral("Résultats — %1").arg(className);
}

} // namespace quiltaro
