#pragma once

// The administrator's guide's server and room, made by its own commands as
// written, but for what must be a test's own: the folders (under a private
// root), the server's name, port and network, its system user and the
// pupils' group. What cannot run here stands in for itself: apt (the game is
// this build), sudo -u postgres (the test's server trusts its socket),
// systemctl restart (a reload: the server already listens), the copy of a
// computer's folder (a cd).
#include "GuideBlocks.h"
#include "PgServer.h"

#include <QDir>
#include <QFile>
#include <QProcess>
#include <QString>

#include <grp.h>
#include <unistd.h>

namespace quiltaro::test {

// Exports what psql needs to reach `server` as its owner.
inline QString psqlAt(const PgServer& server) {
    return QStringLiteral("export PGHOST='%1' PGPORT=%2 PGUSER=admin PGDATABASE=postgres\n")
        .arg(server.socketDir())
        .arg(server.port());
}

// Runs `script` in bash from `folder`; its output, with the status first.
inline QString runBash(const QString& script, const QString& folder) {
    QProcess bash;
    bash.setWorkingDirectory(folder);
    bash.setProcessChannelMode(QProcess::MergedChannels);
    bash.start(QStringLiteral("bash"), {QStringLiteral("-c"), script});
    if (!bash.waitForFinished(120000))
        return QStringLiteral("timeout");
    return QString::number(bash.exitCode()) + QLatin1Char(' ') +
           QString::fromLocal8Bit(bash.readAll());
}

struct GuideRoom {
    QString root;  // where the server's and poste01's "/" are
    QString group; // the pupils' group: this account's, or nogroup for root
    QString guide = QStringLiteral(QUILTARO_SOURCE_DIR "/docs/administration.md");

    // The computer's configuration folder, as /etc/xdg.
    QString configDirs() const { return root + QStringLiteral("/etc/xdg"); }
    // The service file the guide installs on poste01.
    QString serviceFile() const { return root + QStringLiteral("/etc/quiltaro/pg_service.conf"); }

    // Runs steps 1, 2 and 3 on the server, then step 6 on poste01, under
    // `folder`. Empty when every block ran, else what went wrong.
    QString setUp(PgServer& server, const QString& folder) {
        const auto blocks = markedBlocks(guide);
        for (const char* name : {"serveur-tls", "serveur-base", "serveur-postes", "poste"})
            if (!blocks.count(name))
                return QStringLiteral("no block %1 in %2").arg(name, guide);
        if (!server.hbaOfSocketOnly())
            return QStringLiteral("the server's host rules could not be emptied");
        root = folder + QStringLiteral("/racine");
        if (!QDir().mkpath(root + "/root") || !QDir().mkpath(root + "/poste") ||
            !QFile::copy(QStringLiteral(QUILTARO_SOURCE_DIR "/server/quiltaro-serveur.sql"),
                         root + "/root/quiltaro-serveur.sql"))
            return QStringLiteral("cannot lay out %1").arg(root);
        const bool asRoot = geteuid() == 0;
        group = asRoot ? "nogroup" : QString::fromLocal8Bit(getgrgid(getegid())->gr_name);
        const std::map<QString, QString> ours = {
            {"/etc/postgresql/15/main", server.dataDir()},
            {"/etc/xdg/quiltaro", root + "/etc/xdg/quiltaro"},
            {"/etc/quiltaro", root + "/etc/quiltaro"},
            {"/root", root + "/root"},
            {"serveur.ecole", "localhost"},
            {"port=5432", QStringLiteral("port=%1").arg(server.port())},
            {"192.168.1.0/24", "127.0.0.1/32"},
            {"postgres:postgres",
             asRoot ? "65534:65534" : QStringLiteral("%1:%2").arg(geteuid()).arg(getegid())},
            {"-g eleves", "-g " + group}};
        const QString shims = "set -euo pipefail\n" + psqlAt(server) +
                              "sudo() { if [[ $1 == -u ]]; then shift 2; fi; \"$@\"; }\n"
                              "systemctl() { psql -X -q -c 'SELECT pg_reload_conf()'; }\n"
                              "apt() { [[ $1 == install ]]; }\n";
        for (const char* name : {"serveur-tls", "serveur-base", "serveur-postes"}) {
            const QString said = runBash(shims + substituted(blocks.at(name), ours), root);
            if (!said.startsWith("0 "))
                return QString(name) + ": " + said;
        }
        const QString said =
            runBash(shims + substituted(blocks.at("poste"), ours), root + "/root/postes");
        return said.startsWith("0 ") ? QString() : "poste: " + said;
    }
};

} // namespace quiltaro::test
