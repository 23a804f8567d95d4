#include "ClassListPlace.h"

#include "ClassName.h"
#include "Pupils.h"

#include <QDir>

namespace quiltaro {

namespace {

// A list read from the file in use and written to the login's own: the
// teacher is told when saving replaces a list read from elsewhere.
ClassListPlace filePlace(QString where, const QString& own, const QString& inUse) {
    ClassListPlace place;
    place.where = std::move(where);
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

} // namespace

ClassListPlace ClassListPlace::ownConfiguration() {
    const QString own = writableClassListFile();
    return filePlace(QStringLiteral("Fichier : %1").arg(QDir::toNativeSeparators(own)), own,
                     classListFile());
}

ClassListPlace ClassListPlace::ofClass(const QString& className) {
    const QString own = writableClassListFileOf(className);
    QString inUse;
    for (const ClassListSource& source : loginClassLists(configuredClass().name))
        if (sameClass(source.name, className))
            inUse = source.file;
    return filePlace(
        QStringLiteral("Classe %1 ; fichier : %2").arg(className, QDir::toNativeSeparators(own)),
        own, inUse);
}

} // namespace quiltaro
