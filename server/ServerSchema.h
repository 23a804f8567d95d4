#pragma once

#include <QString>

namespace quiltaro {

class ServerConnection;

// The class's tables on the server, in a schema of their own, and the two
// group roles a school's login roles are made members of:
//   quiltaro_eleve       adds rounds, and reads the names of the class lists;
//                        nothing else, not even the rounds it added;
//   quiltaro_enseignant  reads everything, edits the class lists, erases.
inline const char* const pupilRole = "quiltaro_eleve";
inline const char* const teacherRole = "quiltaro_enseignant";

// The version of the tables this program writes.
constexpr int serverSchemaVersion = 2;

// Creates or upgrades the tables and roles, and grants the roles what they
// may do, and only that, in one transaction. Run again, it changes nothing
// that is already right; `changed` tells whether anything was. False when it
// could not (not the database's owner...), with the connection's problem, or
// `problem` for what the server itself does not say.
bool setUpServerSchema(ServerConnection& server, bool& changed, QString& problem);

} // namespace quiltaro
