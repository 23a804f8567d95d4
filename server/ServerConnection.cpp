#include "ServerConnection.h"

#include "ServerConfig.h"
#include "ServerFailures.h"

#include <QSqlDriver>
#include <QSqlError>
#include <QSqlQuery>
#include <QUuid>
#include <QVariant>

#include "LibPq.h"
#include "ServerReach.h"

#include <sys/eventfd.h>
#include <sys/socket.h>
#include <unistd.h>

namespace quiltaro {

namespace {

QString quoted(const QString& value) {
    QString v = value;
    v.replace(QLatin1Char('\\'), QLatin1String("\\\\"))
        .replace(QLatin1Char('\''), QLatin1String("\\'"));
    return QLatin1Char('\'') + v + QLatin1Char('\'');
}

} // namespace

ServerConnection::ServerConnection(QString conninfo) : ServerConnection(std::move(conninfo), {}) {}

ServerConnection::ServerConnection(QString conninfo, Timeouts timeouts)
    : conninfo_(std::move(conninfo)), timeouts_(timeouts),
      name_(QStringLiteral("quiltaro-server-") +
            QUuid::createUuid().toString(QUuid::WithoutBraces)) {
    wake_ = ::eventfd(0, EFD_CLOEXEC | EFD_NONBLOCK);
    watchdog_.start([this](std::stop_token stop) { watch(stop); });
}

ServerConnection::~ServerConnection() {
    close();
    if (wake_ >= 0)
        ::close(wake_);
}

QSqlDatabase ServerConnection::database() const {
    return QSqlDatabase::database(name_, false);
}

bool ServerConnection::open() {
    if (open_)
        return true;
    useUntranslatedLibpqMessages();
    problem_.clear(), detail_.clear(), sqlState_.clear();
    ConnParams params;
    if (!parseConnInfo(conninfo_, params, &problem_))
        return false;
    if (!QSqlDatabase::isDriverAvailable(QStringLiteral("QPSQL"))) {
        problem_ = QStringLiteral("le pilote PostgreSQL de Qt n'est pas installé (paquet "
                                  "libqt6sql6-psql)");
        return false;
    }
    close(); // a connection that broke, if any
    QSqlDatabase db = QSqlDatabase::addDatabase(QStringLiteral("QPSQL"), name_);
    // Qt quotes these four itself; the rest goes in the options, quoted here.
    // Qt turns every ';' of the options into a space.
    db.setHostName(params.count("host") ? params["host"] : QString());
    db.setDatabaseName(params.count("dbname") ? params["dbname"] : QString());
    db.setUserName(params.count("user") ? params["user"] : QString());
    db.setPassword(params.count("password") ? params["password"] : QString());
    QStringList options;
    if (!params.count("connect_timeout"))
        params["connect_timeout"] = QString::number(timeouts_.connectSeconds);
    if (!params.count("application_name"))
        params["application_name"] = QStringLiteral("quiltaro");
    params["options"] =
        (params.count("options") ? params["options"] + QLatin1Char(' ') : QString()) +
        QStringLiteral("-c statement_timeout=%1").arg(timeouts_.statementMs);
    for (const auto& [key, value] : params) {
        if (key == QLatin1String("host") || key == QLatin1String("dbname") ||
            key == QLatin1String("user") || key == QLatin1String("password"))
            continue;
        if (value.contains(QLatin1Char(';'))) {
            problem_ = QStringLiteral("la valeur de %1 dans la chaîne de connexion contient un "
                                      "point-virgule, que le pilote ne transmet pas")
                           .arg(key);
            return false;
        }
        options << key + QLatin1Char('=') + quoted(value);
    }
    db.setConnectOptions(options.join(QLatin1Char(' ')));
    QStringList all;
    for (const auto& [key, value] : params)
        all << key + QLatin1Char('=') + quoted(value);
    if (!connect(all.join(QLatin1Char(' ')), params["connect_timeout"].toInt()))
        return false;
    if (!db.open())
        return failed(db.lastError());
    open_ = true;
    return true;
}

bool ServerConnection::connect(const QString& conninfo, int seconds) {
    // libpq's connect_timeout, which a connection that never blocks keeps
    // itself; 0 waits for ever, under 2 is 2, as libpq has it.
    const auto deadline =
        seconds > 0 ? std::chrono::steady_clock::now() + std::chrono::seconds(std::max(seconds, 2))
                    : std::chrono::steady_clock::time_point::max();
    QString error;
    const Reach reach = reachServer(conninfo, deadline, wake_, &error);
    if (reach == Reach::Answered)
        return true;
    {
        const std::lock_guard lock(mutex_);
        cut_ = reach == Reach::Cut;
    }
    return failed(
        QSqlError(QStringLiteral("Unable to connect"), error, QSqlError::ConnectionError));
}

void ServerConnection::close() {
    if (!QSqlDatabase::contains(name_))
        return;
    {
        QSqlDatabase db = QSqlDatabase::database(name_, false);
        db.close();
    }
    QSqlDatabase::removeDatabase(name_);
    open_ = false;
}

bool ServerConnection::exec(QSqlQuery& query) {
    const Watch watch(*this);
    return query.exec() || failed(query.lastError());
}

bool ServerConnection::exec(QSqlQuery& query, const QString& sql) {
    const Watch watch(*this);
    return query.exec(sql) || failed(query.lastError());
}

bool ServerConnection::prepare(QSqlQuery& query, const QString& sql) {
    const Watch watch(*this);
    return query.prepare(sql) || failed(query.lastError());
}

bool ServerConnection::begin() {
    QSqlQuery q(database());
    return exec(q, QStringLiteral("BEGIN"));
}

bool ServerConnection::commit() {
    QSqlQuery q(database());
    return exec(q, QStringLiteral("COMMIT"));
}

void ServerConnection::rollback() {
    if (!open_)
        return;
    QSqlQuery q(database());
    exec(q, QStringLiteral("ROLLBACK"));
}

bool ServerConnection::failed(const QSqlError& error) {
    bool cut = false;
    {
        const std::lock_guard lock(mutex_);
        cut = std::exchange(cut_, false);
    }
    problem_ = describe(error, cut);
    detail_ = serverFailureDetail(error, conninfo_);
    sqlState_ = error.nativeErrorCode();
    // A connection that broke is of no further use: the next open() makes
    // another, once the queries on this one are gone.
    PGconn* conn = handle();
    if (cut || !conn || !libPq() || libPq()->status(conn) != CONNECTION_OK)
        open_ = false;
    return false;
}

QString ServerConnection::describe(const QSqlError& error, bool cut) {
    return describeServerFailure(error, cut);
}

void ServerConnection::interrupt() {
    {
        const std::lock_guard lock(mutex_);
        interrupted_ = true;
        deadline_ = std::chrono::steady_clock::now();
    }
    const std::uint64_t one = 1;
    if (wake_ >= 0 && ::write(wake_, &one, sizeof one) < 0) {
        // Only a counter at its maximum refuses: readable all the same.
    }
    changed_.notify_all();
}

PGconn* ServerConnection::handle() const {
    const QSqlDatabase db = database();
    const QVariant h = db.isValid() && db.driver() ? db.driver()->handle() : QVariant();
    // The driver declares the pointer under libpq's struct name.
    return h.isValid() &&
                   (qstrcmp(h.typeName(), "pg_conn*") == 0 || qstrcmp(h.typeName(), "PGconn*") == 0)
               ? *static_cast<PGconn* const*>(h.constData())
               : nullptr;
}

void ServerConnection::arm() {
    // Each statement has its own time: the deadline starts again.
    PGconn* conn = handle();
    {
        const std::lock_guard lock(mutex_);
        if (armed_++ == 0)
            cut_ = false;
        socket_ = conn && libPq() ? libPq()->socket(conn) : -1;
        deadline_ = std::chrono::steady_clock::now() +
                    (interrupted_ ? std::chrono::milliseconds(0)
                                  : std::chrono::milliseconds(timeouts_.cutMs));
    }
    changed_.notify_all();
}

void ServerConnection::disarm() {
    const std::lock_guard lock(mutex_);
    if (--armed_ == 0)
        socket_ = -1;
}

void ServerConnection::watch(const std::stop_token& stop) {
    std::unique_lock lock(mutex_);
    while (!stop.stop_requested()) {
        if (socket_ < 0) {
            changed_.wait(lock, stop, [&] { return socket_ >= 0; });
            continue;
        }
        if (std::chrono::steady_clock::now() < deadline_) {
            const auto until = deadline_; // armed again, or interrupted: a new one
            changed_.wait_until(lock, stop, until,
                                [&] { return socket_ < 0 || deadline_ != until; });
            continue;
        }
        // The statement's socket is still libpq's while it is armed: the
        // statement returns at once, as on a lost connection.
        ::shutdown(socket_, SHUT_RDWR);
        socket_ = -1;
        cut_ = true;
    }
}

} // namespace quiltaro
