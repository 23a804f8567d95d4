#pragma once

#include "RecordStore.h"

#include <QString>

#include <vector>

namespace quiltaro {

class ServerConnection;

// Many rounds of the class `className` at once, as sendRound sends one (the
// same identities, so that none is stored twice), a few thousand to a
// statement, all in one transaction: a school's year in seconds, for the
// bench and the tests. False with the connection's problem, nothing stored.
bool sendRounds(ServerConnection& server, const std::vector<RoundRecord>& rounds,
                const QString& className);

} // namespace quiltaro
