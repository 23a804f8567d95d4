#pragma once

#include "Worker.h"

#include <QSqlDatabase>
#include <QString>

#include <chrono>
#include <condition_variable>
#include <mutex>
#include <stop_token>

class QSqlError;
class QSqlQuery;
struct pg_conn;

namespace quiltaro {

// One connection to the class's server, through Qt's PostgreSQL driver, used
// by the thread that opened it. Nothing on it can wait long: connecting
// gives up after connect_timeout, the server cancels a statement after
// statement_timeout, and a statement the server does not answer at all (it
// is stopped, or the network dropped) is cut from this side: a watchdog (a
// Worker) shuts the socket down once its deadline has passed. interrupt()
// cuts both at once, for a thread asked to stop.
class ServerConnection {
public:
    struct Timeouts {
        int connectSeconds = 3; // libpq's connect_timeout, unless the string sets one
        int statementMs = 5000; // the server's statement_timeout
        int cutMs = 7000;       // this side's own deadline on a statement
    };
    explicit ServerConnection(QString conninfo);
    ServerConnection(QString conninfo, Timeouts timeouts);
    ~ServerConnection();
    ServerConnection(const ServerConnection&) = delete;
    ServerConnection& operator=(const ServerConnection&) = delete;

    bool open();
    bool isOpen() const { return open_; }
    void close();
    QSqlDatabase database() const;

    // Runs a prepared statement, or `sql`, under the watchdog. A failure
    // sets problem() and sqlState(); a lost connection is closed, to be
    // opened again by the next open().
    bool exec(QSqlQuery& query);
    bool exec(QSqlQuery& query, const QString& sql);
    // Qt's driver prepares on the server at once: under the watchdog too.
    bool prepare(QSqlQuery& query, const QString& sql);

    // Everything said to the server while it lives is under the watchdog,
    // the end of the queries made meanwhile included (Qt frees a prepared
    // statement on the server as its query goes). Declared before them.
    class Watch {
    public:
        explicit Watch(ServerConnection& c) : c_(c) { c_.arm(); }
        ~Watch() { c_.disarm(); }
        Watch(const Watch&) = delete;
        Watch& operator=(const Watch&) = delete;

    private:
        ServerConnection& c_;
    };
    bool begin();
    bool commit();
    void rollback();

    // What went wrong last, in French, and the server's own words.
    const QString& problem() const { return problem_; }
    const QString& detail() const { return detail_; }
    const QString& sqlState() const { return sqlState_; }

    // Reports a failure seen on a query of this connection; always false.
    bool failedWith(const QSqlError& error) { return failed(error); }

    // From any thread: cuts the statement or the connection attempt under
    // way, if any, at once, and every one after: the connection's owner
    // is stopping.
    void interrupt();

    // The French reason for a failure of the driver or the server.
    static QString describe(const QSqlError& error, bool cut);

private:
    bool failed(const QSqlError& error);
    pg_conn* handle() const;
    bool connect(const QString& conninfo, int seconds);
    void watch(const std::stop_token& stop);
    void arm();
    void disarm();

    QString conninfo_;
    Timeouts timeouts_;
    QString name_;
    bool open_ = false;
    QString problem_, detail_, sqlState_;

    int wake_ = -1; // an eventfd, readable once interrupted

    std::mutex mutex_;
    std::condition_variable_any changed_; // with the watchdog's stop token
    int socket_ = -1;                     // while a statement runs
    int armed_ = 0;                       // watches in force, on this connection's thread
    std::chrono::steady_clock::time_point deadline_;
    bool cut_ = false;
    bool interrupted_ = false;
    Worker watchdog_; // last: it goes first, before what it uses
};

} // namespace quiltaro
