#pragma once

#include <QString>
#include <QStringList>

#include <functional>

namespace quiltaro {

// Where the class list is kept: by default the teacher's own configuration;
// with a class's server, on the server, for every computer of the class.
struct ClassListPlace {
    QString where; // said to the teacher, in French
    // The names; false, with the reason, when they could not be read or written.
    std::function<bool(QStringList& names, QString* problem)> read;
    std::function<bool(const QStringList& names, QString* problem)> write;
    static ClassListPlace ownConfiguration();
};

} // namespace quiltaro
