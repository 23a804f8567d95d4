#include "ClassListPlace.h"

#include "ClassName.h"
#include "Pupils.h"

#include <QDir>

namespace quiltaro {

ClassListPlace ClassListPlace::ownConfiguration() {
    ClassListPlace place;
    const QString own = writableClassListFile();
    const QString inUse = classListFile();
    place.where = QStringLiteral("Fichier : %1").arg(QDir::toNativeSeparators(own));
    if (!inUse.isEmpty() && inUse != own)
        place.where += QStringLiteral("\nLa liste lue jusqu'ici vient de %1 ; l'enregistrer ici "
                                      "la remplace pour ce compte.")
                           .arg(QDir::toNativeSeparators(inUse));
    place.read = [inUse](ClassList& list, QString* problem) {
        list = inUse.isEmpty() ? ClassList() : readClassListFile(inUse, problem);
        return problem->isEmpty();
    };
    place.write = [own](const ClassList& list, QString* problem) {
        return writeClassListFile(own, list, problem);
    };
    place.localFile = inUse;
    return place;
}

ClassListPlace ClassListPlace::ofClass(const QString& className) {
    ClassListPlace place;
    const QString own = writableClassListFileOf(className);
    QString inUse;
    for (const ClassListSource& source : loginClassLists(configuredClass().name))
        if (sameClass(source.name, className))
            inUse = source.file;
    place.where =
        QStringLiteral("Classe %1 ; fichier : %2").arg(className, QDir::toNativeSeparators(own));
    if (!inUse.isEmpty() && inUse != own)
        place.where += QStringLiteral("\nLa liste lue jusqu'ici vient de %1 ; l'enregistrer ici "
                                      "la remplace pour ce compte.")
                           .arg(QDir::toNativeSeparators(inUse));
    place.read = [inUse](ClassList& list, QString* problem) {
        list = inUse.isEmpty() ? ClassList() : readClassListFile(inUse, problem);
        return problem->isEmpty();
    };
    place.write = [own](const ClassList& list, QString* problem) {
        return writeClassListFile(own, list, problem);
    };
    place.localFile = inUse;
    return place;
}

} // namespace quiltaro
