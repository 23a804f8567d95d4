#pragma once

#include <QString>
#include <QStringList>

#include <cstddef>

class QTextStream;

namespace quiltaro {

// What the teacher is told of a record that could not be read whole.
QString damagedRecordText(const QString& recordPath, size_t roundsRead, qint64 roundsClaimed);

// --forget: erases the record at recordPath, with the damaged copies and the
// rounds kept aside beside it, once the person at the terminal has typed "oui".
int forget(const QString& recordPath, QTextStream& in, QTextStream& out);

// --forget NOM: erases one pupil's rounds only, once the person at the
// terminal has typed that name again: the pupil's own record folder
// (beside the login's record at recordPath) and that pupil's games in the
// login's record. The other pupils' rounds stay whole.
int forgetPupil(const QString& recordPath, const QString& pupil, QTextStream& in, QTextStream& out);
// The pupils of a class whose records are kept beside the login's record.
QStringList pupilsBeside(const QString& recordPath);

} // namespace quiltaro
