#pragma once

#include "ClassLists.h"
#include "Pupils.h"
#include "ServerConfig.h"

#include <QString>
#include <QStringList>

#include <map>
#include <vector>

namespace quiltaro {

class ServerConnection;

// This computer's copies of the server's class lists, one file a class, so
// that "Qui joue ?" offers every class the computer serves while the server
// cannot be reached: classes-serveur/<Classe>.txt beside the record, named as
// the lists of classes/ are. The list of the unnamed class of a server of one
// class is classe-serveur.txt, beside the folder, where a computer of an
// older version kept the only copy it had.

// The lists of the classes the connection's role may read (the classes of
// its computer, every class for '*' or a teacher), by their names on the
// server. False, with the connection's problem, when they could not be read.
using ServerClassLists = std::map<QString, ClassList>;
bool readServerClassLists(ServerConnection& server, ServerClassLists& lists);

QString serverClassCopiesFolder();
// The copy of `className`'s list (classe-serveur.txt for the unnamed class).
QString serverClassCopyOf(const QString& className);
// Keeps `list` as the copy of `className`, or removes the copy when the
// list names nobody and sets no level. False when the file could not be
// written or the name cannot be a file's.
bool keepServerClassCopy(const QString& className, const ClassList& list);

struct CopiesRefreshed {
    bool changed = false; // a copy was written or removed
    QStringList refused;  // in French: the server's classes whose names are no file's
};
// Reads every list the role may read from the server into the copies, and
// removes the copies of the classes the server no longer gives. Nothing
// changes here when the server cannot be read.
bool refreshClassCopies(ServerConnection& server, CopiesRefreshed* told = nullptr);

// The copies kept here, as lists to ask from, in no particular order. The
// old copy, classe-serveur.txt, is that of `configuredClass` until a
// refresh gives the class a copy of its own.
std::vector<ClassListSource> serverClassCopies(const QString& configuredClass);

// The class lists "Qui joue ?" asks from: this login's own lists and, with a
// server, the copies of the server's, a copy taking the place of the
// login's list of the same class; in French alphabetical order.
std::vector<ClassListSource> classSources(const ServerSettings& settings, QStringList& problems);

// The names of the classes a teacher may choose on this login with a server:
// those of its own lists, of class=, and of the copies of the server's.
QStringList classNamesServed(const ServerSettings& settings);

} // namespace quiltaro
