#include "ClassListPlace.h"

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
    place.read = [inUse](QStringList& names, QString* problem) {
        names = inUse.isEmpty() ? QStringList() : readClassList(inUse, problem);
        return problem->isEmpty();
    };
    place.write = [own](const QStringList& names, QString* problem) {
        return writeClassList(own, names, problem);
    };
    return place;
}

} // namespace quiltaro
