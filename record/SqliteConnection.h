#pragma once

#include <QSqlDatabase>
#include <QString>
#include <QUuid>

namespace quiltaro {

// Runs `use` with a connection of its own to SQLite, named after `purpose`,
// and removes the connection afterwards. Qt's connections are named and
// global: removing one while a handle to it lives warns and leaks, so the
// handle lives only inside this call.
template <typename Use> auto withSqliteConnection(const QString& purpose, Use&& use) {
    const QString name = QStringLiteral("quiltaro-") + purpose + QLatin1Char('-') +
                         QUuid::createUuid().toString(QUuid::WithoutBraces);
    struct Removal {
        const QString& name;
        ~Removal() { QSqlDatabase::removeDatabase(name); }
    } removal{name};
    QSqlDatabase db = QSqlDatabase::addDatabase(QStringLiteral("QSQLITE"), name);
    return use(db);
}

} // namespace quiltaro
