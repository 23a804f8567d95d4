#pragma once

// A PostgreSQL server of the test's own: a cluster made by initdb in a
// temporary folder, its Unix socket there, run as an unprivileged user when
// the test runs as root (PostgreSQL refuses root). It also listens on the
// loopback, where every connection is refused by its host rules: libpq
// ignores sslmode on a Unix socket, so what a connection does with sslmode
// is seen there. Stopped, frozen, killed and restarted at will.
#include "ServerConfig.h"

#include <QDir>
#include <QFile>
#include <QProcess>
#include <QSqlDatabase>
#include <QSqlError>
#include <QSqlQuery>
#include <QTemporaryDir>
#include <QThread>
#include <QUuid>

#include <csignal>
#include <netinet/in.h>
#include <sys/socket.h>
#include <unistd.h>
#include <vector>

namespace quiltaro::test {

class PgServer {
public:
    static constexpr const char* bin = "/usr/lib/postgresql/15/bin/";

    PgServer() : dir_(QDir::tempPath() + QStringLiteral("/quiltaro-pg-XXXXXX")) {
        // Before this process's first word with libpq, as the game's.
        useUntranslatedLibpqMessages();
        if (!dir_.isValid())
            return;
        port_ = freePort();
        if (geteuid() == 0 &&
            ::chown(QFile::encodeName(dir_.path()).constData(), 65534, 65534) != 0)
            return;
        QProcess initdb;
        initdb.setProcessChannelMode(QProcess::MergedChannels);
        run(initdb, QStringLiteral("initdb"),
            {"-D", data(), "-U", "admin", "-A", "trust", "--no-sync", "-E", "UTF8", "--locale=C"});
        if (!initdb.waitForFinished(120000) || initdb.exitCode() != 0) {
            error_ = QString::fromLocal8Bit(initdb.readAll());
            return;
        }
        // The socket for everything; the loopback refused to all.
        QFile hba(data() + QStringLiteral("/pg_hba.conf"));
        if (!hba.open(QIODevice::WriteOnly | QIODevice::Truncate))
            return;
        hba.write("local all all trust\nhost all all 127.0.0.1/32 reject\n");
        hba.close();
        ok_ = start();
    }
    ~PgServer() {
        resume();
        stop();
    }

    bool ok() const { return ok_; }
    const QString& error() const { return error_; }
    int port() const { return port_; }
    QString socketDir() const { return dir_.path(); }
    QString conninfo(const QString& user, const QString& db = QStringLiteral("postgres")) const {
        return QStringLiteral("host=%1 port=%2 dbname=%3 user=%4")
            .arg(socketDir())
            .arg(port_)
            .arg(db, user);
    }

    bool start() {
        // Started again at once after a kill, the server may still find its
        // shared memory held by a process on its way out, and stop: again.
        for (int attempt = 0; attempt < 10; ++attempt) {
            postgres_.setProcessChannelMode(QProcess::ForwardedErrorChannel);
            run(postgres_, QStringLiteral("postgres"),
                {"-D", data(), "-k", socketDir(), "-p", QString::number(port_), "-c",
                 "listen_addresses=127.0.0.1", "-F", "-c", "max_connections=120", "-c",
                 "shared_buffers=32MB", "-c", "log_min_messages=panic", "-c",
                 "log_min_error_statement=panic"});
            if (!postgres_.waitForStarted(10000))
                return false;
            for (int i = 0; i < 600 && postgres_.state() == QProcess::Running; ++i) {
                if (exec(QStringLiteral("SELECT 1")).isEmpty())
                    return true;
                QThread::msleep(100);
            }
            postgres_.waitForFinished(1000);
            QThread::msleep(500);
        }
        return false;
    }
    // `user` must give a password on the socket from now on, as a school's
    // server asks of its computers' roles.
    bool requirePassword(const QString& user) {
        QFile hba(data() + QStringLiteral("/pg_hba.conf"));
        if (!hba.open(QIODevice::ReadOnly))
            return false;
        const QByteArray rest = hba.readAll();
        hba.close();
        if (!hba.open(QIODevice::WriteOnly | QIODevice::Truncate))
            return false;
        hba.write("local all " + user.toUtf8() + " scram-sha-256\n" + rest);
        hba.close();
        return value(QStringLiteral("SELECT pg_reload_conf()")).toBool();
    }
    // The cluster's folder: its postgresql.auto.conf and pg_hba.conf.
    QString dataDir() const { return data(); }
    // The loopback admitted by what the school's set-up adds to pg_hba.conf,
    // instead of refused to all.
    bool hbaOfSocketOnly() { return setHostRules({}); }
    // The rules for connections over the loopback, instead of refusing all;
    // those of the socket stay.
    bool setHostRules(const QByteArray& rules) {
        QFile hba(data() + QStringLiteral("/pg_hba.conf"));
        if (!hba.open(QIODevice::WriteOnly | QIODevice::Truncate))
            return false;
        hba.write("local all all trust\n" + rules);
        hba.close();
        return value(QStringLiteral("SELECT pg_reload_conf()")).toBool();
    }
    // TLS on, with this certificate and key (PEM files), from the next
    // connection on; with `clientAuthority`, the authority whose client
    // certificates `cert` rules check.
    bool enableSsl(const QString& certificate, const QString& key,
                   const QString& clientAuthority = {}) {
        const QString cert = socketDir() + QStringLiteral("/server.crt");
        const QString secret = socketDir() + QStringLiteral("/server.key");
        const QString ca = socketDir() + QStringLiteral("/clients-ca.crt");
        if (!QFile::copy(certificate, cert) || !QFile::copy(key, secret) ||
            !QFile::setPermissions(secret, QFile::ReadOwner | QFile::WriteOwner) ||
            (!clientAuthority.isEmpty() && !QFile::copy(clientAuthority, ca)))
            return false;
        for (const QString& file : {cert, secret, ca})
            if (geteuid() == 0 && QFile::exists(file) &&
                ::chown(QFile::encodeName(file).constData(), 65534, 65534) != 0)
                return false;
        return exec({QStringLiteral("ALTER SYSTEM SET ssl_cert_file = '%1'").arg(cert),
                     QStringLiteral("ALTER SYSTEM SET ssl_key_file = '%1'").arg(secret),
                     QStringLiteral("ALTER SYSTEM SET ssl_ca_file = '%1'")
                         .arg(clientAuthority.isEmpty() ? QString() : ca),
                     QStringLiteral("ALTER SYSTEM SET ssl = on")})
                   .isEmpty() &&
               value(QStringLiteral("SELECT pg_reload_conf()")).toBool();
    }
    // The user the server runs as: the owner its files must have.
    static uid_t owner() { return geteuid() == 0 ? 65534 : geteuid(); }

    // The socket libpq finds the server at.
    QString socketPath() const { return socketDir() + QStringLiteral("/.s.PGSQL.%1").arg(port_); }

    // Fast shutdown, as a school's server stops.
    void stop() {
        if (postgres_.state() == QProcess::NotRunning)
            return;
        ::kill(pid_t(postgres_.processId()), SIGINT);
        postgres_.waitForFinished(30000);
    }
    // The server and all its processes killed at once, as by a power cut.
    void kill() {
        const std::vector<pid_t> all = signalAll(SIGKILL);
        postgres_.waitForFinished(30000);
        // The children, now the init process's, gone too.
        for (int i = 0; i < 100; ++i) {
            bool gone = true;
            for (pid_t pid : all)
                gone = gone && ::kill(pid, 0) != 0;
            if (gone)
                break;
            QThread::msleep(50);
        }
    }
    // Frozen (SIGSTOP) and thawed: a server that answers nothing, nor refuses.
    void pause() { signalAll(SIGSTOP); }
    void resume() { signalAll(SIGCONT); }

    // Runs statements as `user` (the superuser by default) on `db`; the
    // error of the first that failed, empty when all ran.
    QString exec(const QStringList& statements, const QString& user = QStringLiteral("admin"),
                 const QString& db = QStringLiteral("postgres")) const {
        QString failure;
        connected(user, db, [&](QSqlDatabase& c) {
            if (!c.open()) {
                failure = c.lastError().text();
                return;
            }
            QSqlQuery q(c);
            for (const QString& s : statements)
                if (!q.exec(s)) {
                    failure = q.lastError().text();
                    return;
                }
        });
        return failure.isEmpty() || !failure.trimmed().isEmpty() ? failure : QStringLiteral("?");
    }
    QString exec(const QString& statement, const QString& user = QStringLiteral("admin"),
                 const QString& db = QStringLiteral("postgres")) const {
        return exec(QStringList{statement}, user, db);
    }
    // One value read as `user`; invalid when it could not be.
    QVariant value(const QString& sql, const QString& user = QStringLiteral("admin"),
                   const QString& db = QStringLiteral("postgres")) const {
        QVariant v;
        connected(user, db, [&](QSqlDatabase& c) {
            QSqlQuery q(c);
            if (c.open() && q.exec(sql) && q.next())
                v = q.value(0);
        });
        return v;
    }

private:
    QString data() const { return dir_.path() + QStringLiteral("/data"); }

    // A connection of its own to the server as `user` on `db`, for `use`,
    // removed afterwards.
    template <typename Use> void connected(const QString& user, const QString& db, Use use) const {
        const QString name = QUuid::createUuid().toString();
        {
            QSqlDatabase c = QSqlDatabase::addDatabase(QStringLiteral("QPSQL"), name);
            c.setHostName(socketDir());
            c.setPort(port_);
            c.setDatabaseName(db);
            c.setUserName(user);
            c.setConnectOptions(QStringLiteral("connect_timeout=2"));
            use(c);
        }
        QSqlDatabase::removeDatabase(name);
    }

    // A test that dies takes its server with it (an immediate shutdown).
    void run(QProcess& process, const QString& program, const QStringList& args) const {
        QStringList all{"--pdeathsig", "SIGQUIT"};
        if (geteuid() == 0)
            all << "--reuid=65534"
                << "--regid=65534"
                << "--clear-groups";
        all << QLatin1String(bin) + program << args;
        process.setWorkingDirectory(dir_.path());
        process.start(QStringLiteral("setpriv"), all);
    }

    // The postmaster and every process it started.
    std::vector<pid_t> signalAll(int signal) {
        const pid_t main = pid_t(postgres_.processId());
        if (main <= 0)
            return {};
        std::vector<pid_t> all{main};
        ::kill(main, signal);
        const QDir proc(QStringLiteral("/proc"));
        for (const QString& entry : proc.entryList(QDir::Dirs)) {
            QFile stat(proc.filePath(entry) + QStringLiteral("/stat"));
            if (!stat.open(QIODevice::ReadOnly))
                continue;
            // pid (comm) state ppid ...
            const QByteArray line = stat.readAll();
            const QList<QByteArray> fields = line.mid(line.lastIndexOf(')') + 2).split(' ');
            if (fields.size() > 1 && fields[1].toInt() == main) {
                ::kill(entry.toInt(), signal);
                all.push_back(entry.toInt());
            }
        }
        return all;
    }

    static int freePort() {
        const int fd = ::socket(AF_INET, SOCK_STREAM, 0);
        sockaddr_in addr{};
        addr.sin_family = AF_INET;
        addr.sin_addr.s_addr = htonl(INADDR_LOOPBACK);
        socklen_t len = sizeof addr;
        int port = 0;
        if (::bind(fd, reinterpret_cast<sockaddr*>(&addr), sizeof addr) == 0 &&
            ::getsockname(fd, reinterpret_cast<sockaddr*>(&addr), &len) == 0)
            port = ntohs(addr.sin_port);
        ::close(fd);
        return port;
    }

    QTemporaryDir dir_;
    QProcess postgres_;
    int port_ = 0;
    bool ok_ = false;
    QString error_;
};

} // namespace quiltaro::test
