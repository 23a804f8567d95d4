#pragma once

#include <QString>
#include <QStringList>

#include <QDateTime>
#include <QSet>

#include <cstddef>
#include <functional>

class QTextStream;

namespace quiltaro {

// What the teacher is told of a record that could not be read whole.
QString damagedRecordText(const QString& recordPath, size_t roundsRead, qint64 roundsClaimed);

// What an erasure erases beyond this computer's files (the class's server),
// given by the program, which knows where: named in the question, then erased
// after the files, saying how it went; false when something is left there.
// `games`: the tokens of the games the files held.
struct ErasureElsewhere {
    QString where;
    std::function<bool(QTextStream& out, const QSet<QString>& games)> erase;
};

// --forget: erases the record at recordPath, with the damaged copies and the
// rounds kept aside beside it, once the person at the terminal has typed "oui".
int forget(const QString& recordPath, QTextStream& in, QTextStream& out,
           const ErasureElsewhere& elsewhere = {});

// --forget NOM: erases one pupil's rounds only, once the person at the
// terminal has typed that name again: the pupil's own record folder
// (beside the login's record at recordPath) and that pupil's games in the
// login's record. The other pupils' rounds stay whole.
// A first name in several classes is refused unless `className` says which.
int forgetPupil(const QString& recordPath, const QString& pupil, QTextStream& in, QTextStream& out,
                const ErasureElsewhere& elsewhere = {}, const QString& className = {});
// The classes whose pupils of that first name have records beside the
// login's record at `recordPath` (empty for classe.txt's without a name).
QStringList classesOfPupil(const QString& recordPath, const QString& pupil);
// --forget-before DATE: erases every round begun before `before` in the
// login's record and its pupils' (with the rounds kept aside beside them),
// once the person at the terminal has typed "oui".
int forgetBefore(const QString& recordPath, const QDateTime& before, QTextStream& in,
                 QTextStream& out, const ErasureElsewhere& elsewhere = {});
// The pupils of a class whose records are kept beside the login's record.
QStringList pupilsBeside(const QString& recordPath);

} // namespace quiltaro
