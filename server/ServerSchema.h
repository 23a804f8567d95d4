#pragma once

#include <QString>
#include <QStringList>

namespace quiltaro {

class ServerConnection;

// The class's tables on the server, in a schema of their own, and the two
// group roles a school's login roles are made members of, as
// quiltaro-serveur.sql sets them up (see there what each may do). The same
// file is installed for psql, and compiled into this program.
inline const char* const pupilRole = "quiltaro_eleve";
inline const char* const teacherRole = "quiltaro_enseignant";

// The set-up script, and its statements one by one, as psql would send them
// (a semicolon inside a string, a quoted name or a $$ body does not end one).
QString serverSetupScript();
QStringList splitSqlScript(const QString& script);

// Runs the set-up script: creates or upgrades the tables and roles, and
// grants the roles what they may do, and only that, in one transaction. Run again, it changes
// nothing that is already right; `changed` tells whether anything was. False when it could not (not
// the database's owner...), with the connection's problem, or `problem` for what the server itself
// does not say.
bool setUpServerSchema(ServerConnection& server, bool& changed, QString& problem);

} // namespace quiltaro
