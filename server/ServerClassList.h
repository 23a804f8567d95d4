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
// (the teacher's role only), and the copy on this computer with it.
bool writeServerClassList(ServerConnection& server, const QString& className,
                          const ClassList& list);
bool writeServerClassList(ServerConnection& server, const QString& className,
                          const QStringList& names);

// The copy of the server's list kept on this computer, for when the server
// cannot be reached: classe-serveur.txt in the data folder, beside the record.
QString serverClassListCopy();
// Reads the list from the server into the copy; an empty list on the server
// removes the copy. The copy stays as it was when the server cannot be read.
bool refreshClassListCopy(ServerConnection& server, const QString& className);

// The list "Qui joue ?" offers: with a server, its copy on this computer
// when there is one; otherwise, or before the first copy, the class list
// file of the configuration folders (classListFile()). Empty when none.
QStringList classListInUse(const ServerSettings& settings);

// The class list as the teacher's window edits it with a server: on the
// server, for every computer of the class, with the connection's rights.
ClassListPlace serverClassListPlace(const ServerSettings& settings);

} // namespace quiltaro
