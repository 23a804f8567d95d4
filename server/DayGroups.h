#pragma once

#include "RoundCounts.h"
#include "ServerTally.h"

#include <QString>

class QSqlQuery;

namespace quiltaro {

class ServerConnection;

// A class's played rounds by pupil, local day, level and levels set, and its
// games by day, as the server counts them.

// From the counts the server keeps by hour as rounds arrive (the tables
// round_hours and game_hours), added up by local day in the session's zone:
// NotCountable when this computer's zone has hours that do not begin the
// server's (a zone half an hour off), or for a kind of number spelt
// otherwise than the game writes it.
Counting readHourCounts(ServerConnection& server, QSqlQuery& q, const QString& className,
                        CountsByPupil& into);

// The same grouped from the rounds themselves, by the local days of the
// session's time zone: for the zones whose hours are not this computer's.
Counting groupRounds(ServerConnection& server, QSqlQuery& q, const QString& className,
                     CountsByPupil& into);

// Runs `sql`, bound to the class when there is one.
bool runForClass(ServerConnection& server, QSqlQuery& q, const QString& sql,
                 const QString& className);

// The level of a played round, as the reader gives it, in SQL.
extern const char* const levelPlayed;
// Whether a round was played, in SQL.
extern const char* const roundPlayed;

} // namespace quiltaro
