#pragma once

// What befalls a game's record at moments it cannot choose: a second copy
// of the game that holds the record's write lock for a while, and a disk
// that fills up and is freed again. Real means: another process with its
// own SQLite connection, and a small tmpfs filled to its last byte.
#include "RecordTesting.h"

#include <QByteArray>
#include <QFile>
#include <QProcess>
#include <QSqlDatabase>
#include <QSqlQuery>

#include <optional>
#include <string>

#include <poll.h>
#include <unistd.h>

namespace quiltaro::test {

// In the second copy, started with --holder: for each line `hold MS PATH`,
// takes PATH's write lock (BEGIN EXCLUSIVE) if it is free, keeps it MS
// milliseconds or until a line `free` comes, lets go and says `done`.
inline int holderCopy() {
    std::string pending;
    const auto nextLine = [&](int waitMs) -> std::optional<std::string> {
        for (;;) {
            if (const auto end = pending.find('\n'); end != std::string::npos) {
                std::string line = pending.substr(0, end);
                pending.erase(0, end + 1);
                return line;
            }
            pollfd in{STDIN_FILENO, POLLIN, 0};
            if (::poll(&in, 1, waitMs) <= 0)
                return std::nullopt; // time is up
            char buffer[512];
            const ssize_t n = ::read(STDIN_FILENO, buffer, sizeof buffer);
            if (n <= 0)
                return std::string("quit");
            pending.append(buffer, size_t(n));
        }
    };
    for (int held = 0;; ++held) {
        const std::optional<std::string> command = nextLine(-1);
        if (!command || *command == "quit")
            return 0;
        if (command->rfind("hold ", 0) != 0)
            continue; // a `free` that came after the time was up
        const size_t space = command->find(' ', 5);
        const int ms = std::stoi(command->substr(5, space - 5));
        const QString name = QStringLiteral("holding-%1").arg(held);
        {
            QSqlDatabase db = QSqlDatabase::addDatabase(QStringLiteral("QSQLITE"), name);
            db.setDatabaseName(QString::fromStdString(command->substr(space + 1)));
            QSqlQuery q(db);
            if (db.open() && q.exec(QStringLiteral("BEGIN EXCLUSIVE"))) {
                nextLine(ms);
                q.exec(QStringLiteral("ROLLBACK"));
            }
        }
        QSqlDatabase::removeDatabase(name);
        std::fputs("done\n", stdout);
        std::fflush(stdout);
    }
}

// The suite's side of that second copy.
class LockHolder {
public:
    explicit LockHolder(const QString& program) {
        process_.setProcessChannelMode(QProcess::ForwardedErrorChannel);
        process_.start(program, {QStringLiteral("--holder")});
        process_.waitForStarted();
    }
    ~LockHolder() {
        process_.write("quit\n");
        process_.closeWriteChannel();
        if (!process_.waitForFinished(5000))
            process_.kill(), process_.waitForFinished();
    }
    // Takes the record's lock for `ms` milliseconds, unless it holds one
    // already. Returns at once.
    bool hold(const QString& record, int ms) {
        if (pending_ && !answered())
            return false;
        process_.write(QStringLiteral("hold %1 %2\n").arg(ms).arg(record).toUtf8());
        pending_ = true;
        ++holds_;
        return true;
    }
    // Lets go at once, and returns once it has.
    void release() {
        if (!pending_ || answered())
            return;
        process_.write("free\n");
        while (!answered() && process_.waitForReadyRead(5000)) {
        }
        pending_ = false;
    }
    int holds() const { return holds_; }

private:
    bool answered() {
        if (process_.canReadLine() && process_.readLine() == "done\n")
            pending_ = false;
        return !pending_;
    }

    QProcess process_;
    bool pending_ = false;
    int holds_ = 0;
};

// A small tmpfs, filled to its last byte and freed again; not mounted when
// the suite is not root.
class FillingDisk {
public:
    explicit FillingDisk(const QString& point)
        : mount_("mount", {"-t", "tmpfs", "-o", "size=8m", "tmpfs"}, point, {"umount", "-l"}),
          filler_(point + QStringLiteral("/remplissage")) {}
    bool mounted() const { return mount_.mounted; }
    bool full() const { return full_; }
    int fills() const { return fills_; }
    void fill() {
        QFile file(filler_);
        if (full_ || !file.open(QIODevice::Append | QIODevice::Unbuffered))
            return;
        const QByteArray block(64 * 1024, '\0');
        while (file.write(block) == block.size()) {
        }
        full_ = true;
        ++fills_;
    }
    void free() {
        if (full_)
            QFile::remove(filler_), full_ = false;
    }

private:
    Mount mount_;
    QString filler_;
    bool full_ = false;
    int fills_ = 0;
};

} // namespace quiltaro::test
