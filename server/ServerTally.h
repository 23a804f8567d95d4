#pragma once

#include "RoundCounts.h"

#include <QString>

namespace quiltaro {

class ServerConnection;

// Counted, nothing counted because the class cannot be counted so, or failed
// (the connection's problem says why).
enum class Counting { Done, NotCountable, Failed };

// Counts the rounds of the class `className` (every round when empty) on the
// server, by pupil, in the session's time zone, in one snapshot: the days and
// the games grouped there, and each pupil's played rounds as a narrow stream
// in the order played, from which the sums over the last rounds slide here.
// Not countable on a server whose tables predate the counted columns, or
// holding a kind of number spelt otherwise than the game writes it.
Counting tallyOnServer(ServerConnection& server, const QString& className, CountsByPupil& counts);

} // namespace quiltaro
