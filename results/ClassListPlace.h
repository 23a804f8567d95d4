#pragma once

#include "Pupils.h"

#include <QString>
#include <QStringList>

#include <functional>

namespace quiltaro {

// Where the class list is kept: by default the teacher's own configuration;
// with a class's server, on the server, for every computer of the class.
struct ClassListPlace {
    QString where; // said to the teacher, in French
    // The names and levels; false, with the reason, when they could not be
    // read or written.
    std::function<bool(ClassList& list, QString* problem)> read;
    std::function<bool(const ClassList& list, QString* problem)> write;
    // The list as this computer last knew it, read at once without asking
    // anyone: the file in use, or the copy of the server's.
    QString localFile;
    static ClassListPlace ownConfiguration();
    // The list of `className` among the login's lists, written to
    // classes/<className>.txt of the teacher's own configuration.
    static ClassListPlace ofClass(const QString& className);
};

} // namespace quiltaro
