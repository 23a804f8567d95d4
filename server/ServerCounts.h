#pragma once

#include "ClassRecord.h"
#include "ServerConfig.h"

#include <QString>

namespace quiltaro {

class ServerConnection;

// What tells that a class's rounds changed: how many there are and the last
// to arrive (a round erased, or committed late behind others, changes the
// first).
struct ClassStamp {
    qint64 rows = -1;
    qint64 arrival = -1;
    bool operator==(const ClassStamp&) const = default;
};
bool readClassStamp(ServerConnection& server, const QString& className, ClassStamp& stamp);

// The class `className` (every class when empty) as the results window shows
// it: its rounds counted by the server, by pupil, local day and level, in
// the time zone of this computer (ServerTally). A class the server cannot
// count so (tables of a version before the counts, a kind of number spelt
// otherwise than the game writes it, a time zone the server does not know)
// is read round by round. `readRounds` reads the
// rounds of the pupils a chart or an export asks for, on a connection of
// its own made with `settings`. False with the connection's problem.
bool readServerClassCounts(ServerConnection& server, const ServerSettings& settings,
                           ClassRecord& data);

} // namespace quiltaro
