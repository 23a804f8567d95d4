#pragma once

#include <QString>

class QTextStream;

namespace quiltaro {

// --import-class FICHIER [--class NOM]: the class list of one class of the
// school register's export, written where this login reads it (classe.txt
// for the class of quiltaro.conf, else classes/NOM.txt), its level and the
// teacher's comments kept. Says in French how many pupils went to which
// list; 1 when nothing was written, and why.
int importClass(const QString& registerFile, const QString& choice, QTextStream& out,
                QTextStream& err);

} // namespace quiltaro
