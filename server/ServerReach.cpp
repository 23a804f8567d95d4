#include "ServerReach.h"

#include "LibPq.h"

#include <cerrno>
#include <poll.h>

namespace quiltaro {

namespace {

// Waits for the socket as libpq asks, or for `wake`: the next step, or why not.
Reach waitForSocket(const LibPq& pq, PGconn* conn, PostgresPollingStatusType status,
                    std::chrono::steady_clock::time_point deadline, int wake, QString* error) {
    for (;;) {
        const auto left = std::chrono::ceil<std::chrono::milliseconds>(
            deadline - std::chrono::steady_clock::now());
        if (left.count() <= 0) {
            *error = QStringLiteral("timeout expired");
            return Reach::Failed;
        }
        pollfd fds[2] = {
            {pq.socket(conn), short(status == PGRES_POLLING_READING ? POLLIN : POLLOUT), 0},
            {wake, POLLIN, 0}};
        const int ready = ::poll(fds, 2, int(std::min<long long>(left.count(), 60000)));
        if (ready < 0 && errno != EINTR) {
            *error = QStringLiteral("could not connect: poll failed");
            return Reach::Failed;
        }
        if (ready > 0 && fds[1].revents != 0)
            return Reach::Cut;
        if (ready > 0)
            return Reach::Answered; // the socket is ready: libpq's next step
    }
}

} // namespace

Reach reachServer(const QString& conninfo, std::chrono::steady_clock::time_point deadline, int wake,
                  QString* error) {
    const LibPq* pq = libPq();
    if (!pq) {
        *error = QStringLiteral("could not connect: libpq is missing");
        return Reach::Failed;
    }
    PGconn* conn = pq->connectStart(conninfo.toUtf8().constData());
    if (!conn) {
        *error = QStringLiteral("could not connect: out of memory");
        return Reach::Failed;
    }
    Reach reach = Reach::Failed;
    // Before the first call, libpq waits for the socket to be writable.
    PostgresPollingStatusType status =
        pq->status(conn) == CONNECTION_BAD ? PGRES_POLLING_FAILED : PGRES_POLLING_WRITING;
    while (status != PGRES_POLLING_FAILED) {
        if (status == PGRES_POLLING_OK) {
            reach = Reach::Answered;
            break;
        }
        reach = waitForSocket(*pq, conn, status, deadline, wake, error);
        if (reach != Reach::Answered)
            break;
        status = pq->connectPoll(conn);
        reach = Reach::Failed;
    }
    if (status == PGRES_POLLING_FAILED)
        *error = QString::fromUtf8(pq->errorMessage(conn)).trimmed();
    pq->finish(conn);
    return reach;
}

} // namespace quiltaro
