#pragma once

#include <QString>

class QSqlError;

namespace quiltaro {

// A failure of libpq or of the server, named for what it is, in French, with
// what the administrator does about it: a stopped server, an unknown host, a
// password refused, an address that pg_hba.conf refuses, a root certificate
// missing for sslmode=verify-full, a right missing, a full disk... `cut`: this
// side gave up waiting. libpq gives no code for its own failures: its
// untranslated words are read (useUntranslatedLibpqMessages), and the
// server's, which may be French, as its lc_messages says.
QString describeServerFailure(const QSqlError& error, bool cut);

// The server's or libpq's own words, first line, for after the French
// reason: the password of `conninfo` is masked in them, whole or in part,
// should they ever quote it.
QString serverFailureDetail(const QSqlError& error, const QString& conninfo);

} // namespace quiltaro
