#pragma once

#include "ClassRecord.h"
#include "ServerConfig.h"

#include <QString>

class QTextStream;

namespace quiltaro {

// --setup-server CONNINFO: creates or upgrades the class's tables and roles
// on the server, with the rights of the connection's role (the database's
// owner, able to create roles). Run again, it changes nothing that is right.
int setupServer(const QString& conninfo, QTextStream& out, QTextStream& err);

// --check-server: whether this computer can send its rounds to the server of
// its configuration, and why not, in French. Zero when it can.
int checkServer(const ServerSettings& settings, QTextStream& out);

// --export-csv and --report-pdf with a server: the class's rounds read from
// it; false, said on `err`, when they could not be.
bool readServerClass(const ServerSettings& settings, ClassRecord& data, QTextStream& err);

} // namespace quiltaro
