#pragma once

#include <QString>
#include <QStringList>

#include <map>

namespace quiltaro {

// Where this computer sends its rounds: a PostgreSQL server shared by the
// class, written once by whoever runs the school's computers in
// quiltaro/quiltaro.conf of the system's configuration folders, a user's own
// file changing only the keys it sets:
//
//   [record]
//   server=service=quiltaro
//   servicefile=/etc/quiltaro/pg_service.conf
//   class=CM1-B
//
// `server` is a libpq connection string or URI, or `service=quiltaro` with the
// details and the password in libpq's service file: `servicefile` names one
// (PGSERVICEFILE) readable by the pupils' group only. `class` names this
// computer's class on a server that several classes share. An empty
// `server=` turns sending off, which the game says at start.
struct ServerSettings {
    QString conninfo;  // empty: no server, everything stays on this computer
    QString className; // empty on a server of one class
    QString file;      // the configuration file that set `server`, else the user's
    bool configured() const { return !conninfo.trimmed().isEmpty(); }
};

QString configFileName(); // quiltaro/quiltaro.conf
ServerSettings readServerSettings();
// In French, when a configuration file turns sending off with an empty
// server=: which one, and how to turn it on. Empty otherwise.
QString sendingOffNotice(const ServerSettings& settings);

// The keywords and values of a connection string or URI, as libpq reads them.
// False, with the reason in French, when libpq cannot read it.
using ConnParams = std::map<QString, QString>;
bool parseConnInfo(const QString& conninfo, ConnParams& params, QString* problem = nullptr);

// libpq's own messages are read to tell why a connection failed, which it
// gives no code for: they are taken untranslated, whatever the desktop's
// language, unless the user set PGLOCALEDIR. Called before libpq first
// speaks in the process (every connection here calls it).
void useUntranslatedLibpqMessages();

// The connection string as it may be shown: the password masked, wherever it
// was written (a keyword, or the URI's user information).
QString maskedConnInfo(const QString& conninfo);
// Whether the connection string carries a password itself.
bool hasPassword(const QString& conninfo);

} // namespace quiltaro
