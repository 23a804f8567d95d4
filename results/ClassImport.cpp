#include "ClassImport.h"

#include "ClassName.h"
#include "SchoolRegister.h"

#include <QFileInfo>
#include <QTextStream>

namespace quiltaro {

namespace {

// The list of `className` this login reads: classe.txt when it is the class
// of quiltaro.conf, so that its pupils keep their records.
QString listFileOf(const QString& className) {
    const ConfiguredClass configured = configuredClass();
    if (!configured.name.isEmpty() && sameClass(configured.name, className))
        return writableClassListFile();
    return writableClassListFileOf(className);
}

} // namespace

int importClass(const QString& registerFile, const QString& choice, QTextStream& out,
                QTextStream& err) {
    const SchoolRegister reg = readRegister(registerFile);
    if (!reg.problem.isEmpty()) {
        err << QStringLiteral("quiltaro : %1").arg(reg.problem) << Qt::endl;
        return 1;
    }
    const RegisterClass chosen = chooseClass(reg, choice);
    if (!chosen.problem.isEmpty()) {
        err << QStringLiteral("quiltaro : %1 : %2. Rien n'a été écrit.")
                   .arg(registerFile, chosen.problem)
            << Qt::endl;
        return 1;
    }
    const QString file = listFileOf(chosen.name);
    const bool existed = QFileInfo::exists(file);
    QString problem;
    ClassList list;
    if (existed)
        list = readClassListFile(file);
    if (!writeClassListFile(file, withNames(list, chosen.pupils), &problem)) {
        err << QStringLiteral("quiltaro : %1").arg(problem) << Qt::endl;
        return 1;
    }
    out << QStringLiteral("%1 élève(s) de la classe %2 écrit(s) dans %3%4.")
               .arg(chosen.pupils.size())
               .arg(chosen.name, file,
                    existed ? QStringLiteral(", qui remplace la liste d'avant (son niveau et "
                                             "ses commentaires sont gardés)")
                            : QString())
        << Qt::endl;
    // Beside lists of classes, a list that names no class is asked from no more.
    QStringList problems;
    loginClassLists(configuredClass().name, &problems);
    for (const QString& p : problems)
        out << QStringLiteral("Attention : %1").arg(p) << Qt::endl;
    return 0;
}

} // namespace quiltaro
