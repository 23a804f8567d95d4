#pragma once

// A Unix socket in front of a PostgreSQL server, as libpq finds one
// (DIR/.s.PGSQL.PORT), that counts what a client asks of the server: the
// connections it opens and the statements it sends (simple queries and
// executions of prepared ones, read from the protocol's messages). With no
// server behind it (a path where none listens), every connection is closed at
// once: a stopped server, counted.
#include <QString>
#include <QTemporaryDir>

#include <atomic>
#include <cstring>
#include <mutex>
#include <poll.h>
#include <sys/eventfd.h>
#include <sys/socket.h>
#include <sys/un.h>
#include <thread>
#include <unistd.h>
#include <vector>

namespace quiltaro::test {

class CountingProxy {
public:
    static constexpr int port = 5432;

    explicit CountingProxy(QString serverSocket) : server_(std::move(serverSocket)) {
        listen_ = listenAt(dir_.path() + QStringLiteral("/.s.PGSQL.%1").arg(port));
        stop_ = ::eventfd(0, EFD_CLOEXEC);
        accepting_ = std::thread([this] { accept(); });
    }
    ~CountingProxy() {
        const std::uint64_t one = 1;
        if (::write(stop_, &one, sizeof one) < 0) {
        }
        accepting_.join();
        for (std::thread& t : pumps_)
            t.join();
        ::close(listen_);
        ::close(stop_);
    }

    QString conninfo(const QString& user, const QString& db) const {
        return QStringLiteral("host=%1 port=%2 dbname=%3 user=%4")
            .arg(dir_.path())
            .arg(port)
            .arg(db, user);
    }
    int connections() const { return connections_; }
    int statements() const { return statements_; }

private:
    static int listenAt(const QString& path) {
        const int fd = ::socket(AF_UNIX, SOCK_STREAM | SOCK_CLOEXEC, 0);
        sockaddr_un addr{};
        addr.sun_family = AF_UNIX;
        std::strncpy(addr.sun_path, path.toLocal8Bit().constData(), sizeof addr.sun_path - 1);
        if (::bind(fd, reinterpret_cast<sockaddr*>(&addr), sizeof addr) != 0 ||
            ::listen(fd, 64) != 0)
            return -1;
        return fd;
    }
    static int connectTo(const QString& path) {
        const int fd = ::socket(AF_UNIX, SOCK_STREAM | SOCK_CLOEXEC, 0);
        sockaddr_un addr{};
        addr.sun_family = AF_UNIX;
        std::strncpy(addr.sun_path, path.toLocal8Bit().constData(), sizeof addr.sun_path - 1);
        if (::connect(fd, reinterpret_cast<sockaddr*>(&addr), sizeof addr) != 0) {
            ::close(fd);
            return -1;
        }
        return fd;
    }

    void accept() {
        for (;;) {
            pollfd fds[2] = {{listen_, POLLIN, 0}, {stop_, POLLIN, 0}};
            if (::poll(fds, 2, -1) < 0 || fds[1].revents)
                return;
            const int client = ::accept4(listen_, nullptr, nullptr, SOCK_CLOEXEC);
            if (client < 0)
                continue;
            ++connections_;
            const int server = connectTo(server_);
            if (server < 0) {
                ::close(client);
                continue;
            }
            pumps_.emplace_back([this, client, server] { pump(client, server); });
        }
    }

    // Bytes both ways until either side closes, or the proxy goes; the
    // client's messages counted on the way.
    void pump(int client, int server) {
        Reader reader;
        char buffer[8192];
        for (;;) {
            pollfd fds[3] = {{client, POLLIN, 0}, {server, POLLIN, 0}, {stop_, POLLIN, 0}};
            if (::poll(fds, 3, -1) < 0 || fds[2].revents)
                break;
            const int from = fds[0].revents ? client : server;
            const ssize_t n = ::read(from, buffer, sizeof buffer);
            if (n <= 0 || ::write(from == client ? server : client, buffer, size_t(n)) != n)
                break;
            if (from == client)
                statements_ += reader.read(buffer, size_t(n));
        }
        ::close(client);
        ::close(server);
    }

    // The client's side of the protocol: untyped start-up messages (the
    // first, and the one after an SSL or GSS request), then a type byte and
    // a length before each message. 'Q' is a query, 'E' an execution.
    struct Reader {
        bool typed = false;
        std::vector<unsigned char> pending;
        int read(const char* data, size_t n) {
            pending.insert(pending.end(), data, data + n);
            int found = 0;
            for (;;) {
                const size_t head = typed ? 5 : 4;
                if (pending.size() < head)
                    return found;
                const unsigned char* p = pending.data() + (typed ? 1 : 0);
                const size_t length = (size_t(p[0]) << 24) | (size_t(p[1]) << 16) |
                                      (size_t(p[2]) << 8) | size_t(p[3]);
                const size_t whole = length + (typed ? 1 : 0);
                if (pending.size() < whole)
                    return found;
                if (typed)
                    found += pending[0] == 'Q' || pending[0] == 'E';
                else
                    // An SSL or GSS request (8 bytes) is followed by the start-up.
                    typed = length != 8;
                pending.erase(pending.begin(), pending.begin() + std::ptrdiff_t(whole));
            }
        }
    };

    QTemporaryDir dir_;
    QString server_;
    int listen_ = -1;
    int stop_ = -1;
    std::atomic<int> connections_{0};
    std::atomic<int> statements_{0};
    std::thread accepting_;
    std::vector<std::thread> pumps_; // only the accepting thread adds to it
};

} // namespace quiltaro::test
