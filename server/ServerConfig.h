#pragma once

#include <QString>
#include <QStringList>

#include <map>

namespace quiltaro {

// Where this computer sends its rounds: a PostgreSQL server shared by the
// class, written once by whoever runs the school's computers in
// quiltaro/quiltaro.conf, in the first configuration folder that has one
// (the user's own, then the system's):
//
//   [record]
//   server=host=serveur.ecole dbname=quiltaro
//   class=CM1-B
//
// `server` is a libpq connection string or URI, or `service=quiltaro` with the
// credentials in libpq's own files (pg_service.conf, .pgpass). `class` names
// this computer's class on a server that several classes share.
struct ServerSettings {
    QString conninfo;  // empty: no server, everything stays on this computer
    QString className; // empty on a server of one class, or when it was refused
    QString file;      // the configuration file read, when one was
    // Why the class written was refused, in French: what was written, where,
    // and what a class name may hold; empty when it was right or absent.
    QString classProblem = {};
    bool configured() const { return !conninfo.trimmed().isEmpty(); }
};

QString configFileName(); // quiltaro/quiltaro.conf
ServerSettings readServerSettings();

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
