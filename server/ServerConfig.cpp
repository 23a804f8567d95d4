#include "ServerConfig.h"

#include <QFile>
#include <QSettings>
#include <QStandardPaths>

#include "LibPq.h"

#include <algorithm>
#include <mutex>

namespace quiltaro {

QString configFileName() {
    return QStringLiteral("quiltaro/quiltaro.conf");
}

ServerSettings readServerSettings() {
    ServerSettings settings;
    QString serviceFile;
    // The system's files first, then the user's over them, key by key: a
    // login's own file that says nothing of the server leaves the school's.
    QStringList files =
        QStandardPaths::locateAll(QStandardPaths::GenericConfigLocation, configFileName());
    std::reverse(files.begin(), files.end());
    for (const QString& file : files) {
        const QSettings conf(file, QSettings::IniFormat);
        if (conf.contains(QStringLiteral("record/server"))) {
            settings.conninfo = conf.value(QStringLiteral("record/server")).toString().trimmed();
            settings.file = file;
        }
        if (conf.contains(QStringLiteral("record/class")))
            settings.className = conf.value(QStringLiteral("record/class")).toString().trimmed();
        if (conf.contains(QStringLiteral("record/servicefile")))
            serviceFile = conf.value(QStringLiteral("record/servicefile")).toString().trimmed();
    }
    if (settings.file.isEmpty() && !files.isEmpty())
        settings.file = files.constLast();
    // libpq reads the service file it is told of in its environment only.
    if (settings.configured() && !serviceFile.isEmpty() &&
        !qEnvironmentVariableIsSet("PGSERVICEFILE"))
        qputenv("PGSERVICEFILE", QFile::encodeName(serviceFile));
    return settings;
}

QString sendingOffNotice(const ServerSettings& settings) {
    if (settings.configured() || settings.file.isEmpty())
        return {};
    const QSettings conf(settings.file, QSettings::IniFormat);
    if (!conf.contains(QStringLiteral("record/server")))
        return {};
    return QStringLiteral("l'envoi des manches au serveur de la classe est coupé par %1 "
                          "(server= vide) : les manches restent sur ce poste. Pour les "
                          "envoyer, retirez cette ligne ou donnez-y le serveur.")
        .arg(settings.file);
}

void useUntranslatedLibpqMessages() {
    static std::once_flag once;
    std::call_once(once, [] {
        if (!qEnvironmentVariableIsSet("PGLOCALEDIR"))
            qputenv("PGLOCALEDIR", "/nonexistent");
    });
}

namespace {

// libpq's own words quote the part of the string it could not read, which
// is often a piece of a password with a space in it: they are never shown,
// only what they mean.
QString unreadableConnInfo(const char* libpqError) {
    const QByteArray error(libpqError ? libpqError : "");
    if (error.isEmpty())
        return QStringLiteral("mémoire insuffisante");
    if (error.contains("missing \"=\"") || error.contains("invalid connection option"))
        return QStringLiteral("un mot n'est pas de la forme « clé=valeur ». Une valeur qui "
                              "contient une espace s'écrit entre apostrophes, par exemple "
                              "password='deux mots'");
    if (error.contains("unterminated quoted string"))
        return QStringLiteral("une apostrophe ouverte n'est pas refermée");
    if (error.contains("URI"))
        return QStringLiteral("l'adresse postgresql://… est mal formée");
    return QStringLiteral("elle n'est pas de la forme « clé=valeur clé=valeur »");
}

} // namespace

bool parseConnInfo(const QString& conninfo, ConnParams& params, QString* problem) {
    useUntranslatedLibpqMessages();
    params.clear();
    const LibPq* pq = libPq();
    if (!pq) {
        if (problem)
            *problem = QStringLiteral("la bibliothèque libpq de PostgreSQL n'est pas installée "
                                      "(paquet libqt6sql6-psql, qui l'installe avec le pilote)");
        return false;
    }
    char* error = nullptr;
    PQconninfoOption* options = pq->conninfoParse(conninfo.toUtf8().constData(), &error);
    if (!options) {
        if (problem)
            *problem = QStringLiteral("la chaîne de connexion ne peut pas être lue : %1")
                           .arg(unreadableConnInfo(error));
        pq->freemem(error);
        return false;
    }
    for (const PQconninfoOption* o = options; o->keyword; ++o)
        if (o->val)
            params[QString::fromLatin1(o->keyword)] = QString::fromUtf8(o->val);
    pq->conninfoFree(options);
    return true;
}

bool hasPassword(const QString& conninfo) {
    ConnParams params;
    return parseConnInfo(conninfo, params) && params.count(QStringLiteral("password"));
}

QString maskedConnInfo(const QString& conninfo) {
    ConnParams params;
    if (!parseConnInfo(conninfo, params))
        return QStringLiteral("(chaîne de connexion illisible)");
    // Rebuilt from what libpq read, so that a password written anywhere in
    // the string (password=, or user:password@ in a URI) is never shown.
    QStringList shown;
    for (const auto& [key, value] : params) {
        QString v = key == QLatin1String("password") ? QStringLiteral("********") : value;
        if (v.isEmpty() || v.contains(QLatin1Char(' ')) || v.contains(QLatin1Char('\'')) ||
            v.contains(QLatin1Char('\\')))
            v = QLatin1Char('\'') +
                QString(v)
                    .replace(QLatin1Char('\\'), QLatin1String("\\\\"))
                    .replace(QLatin1Char('\''), QLatin1String("\\'")) +
                QLatin1Char('\'');
        shown << key + QLatin1Char('=') + v;
    }
    return shown.join(QLatin1Char(' '));
}

} // namespace quiltaro
