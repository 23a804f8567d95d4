#pragma once

#include "ClassListPlace.h"
#include "ServerConfig.h"

#include <QString>
#include <QStringList>

namespace quiltaro {

class ServerConnection;

// The class list on the server, when one is configured: one list a class,
// edited by the teacher's role, whose names the pupils' role may read.

// The names of the class `className`, in order, with the levels of the
// class and of its pupils. False, with the connection's problem, when they
// could not be read.
bool readServerClassList(ServerConnection& server, const QString& className, ClassList& list);
bool readServerClassList(ServerConnection& server, const QString& className, QStringList& names);
// Replaces the class's list and its levels as a whole, in one transaction
// (the teacher's role only), and this computer's copy of it with it.
bool writeServerClassList(ServerConnection& server, const QString& className,
                          const ClassList& list);
bool writeServerClassList(ServerConnection& server, const QString& className,
                          const QStringList& names);

// The pupils of `className`'s list, for the teacher's view of the class
// (those without a round too): the server's list, kept as this computer's
// copy of it; the copy while the server's cannot be read; the login's own
// list of the class when the server has none.
QStringList pupilsListed(ServerConnection& server, const QString& className);

// The class list as the teacher's window edits it with a server: on the
// server, for every computer of the class, with the connection's rights.
ClassListPlace serverClassListPlace(const ServerSettings& settings);

} // namespace quiltaro
