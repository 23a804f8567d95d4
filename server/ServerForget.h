#pragma once

#include "ServerConfig.h"

#include <QDateTime>
#include <QSet>
#include <QString>

class QTextStream;

namespace quiltaro {

// Erasing on the class's server what is erased on this computer: the rounds
// of a pupil, of this login's games, or every round before a date, of the
// class the settings name if they name one. Only a role of
// quiltaro_enseignant may (the teacher's); a pupils' computer is told where
// the rest is and which command erases it.
//
// Each erases, says on `out` what it did or why not, and returns whether
// nothing of it is left on the server.
// `className`: the pupil's class, else the computer's; without either, a
// first name that the server holds in several classes is refused.
bool forgetPupilOnServer(const ServerSettings& settings, const QString& pupil,
                         const QString& className, QTextStream& out);
bool forgetGamesOnServer(const ServerSettings& settings, const QSet<QString>& gameTokens,
                         QTextStream& out);
bool forgetBeforeOnServer(const ServerSettings& settings, const QDateTime& before,
                          QTextStream& out);

} // namespace quiltaro
