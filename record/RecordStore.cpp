#include "RecordStore.h"

#include "RecordReading.h"
#include "Salvage.h"
#include "SqliteErrors.h"

#include <QDir>
#include <QFile>
#include <QFileInfo>
#include <QSqlDatabase>
#include <QSqlError>
#include <QSqlQuery>
#include <QStandardPaths>
#include <QThread>
#include <QUuid>
#include <QVariant>

#include <algorithm>
#include <set>
#include <thread>

#include <fcntl.h>
#include <sqlite3.h>
#include <sys/stat.h>
#include <unistd.h>

namespace quiltaro {

namespace {

// The device and inode of a file, to know it is still the one opened.
std::uint64_t fileIdOf(const QString& path) {
    struct stat st {};
    if (::stat(QFile::encodeName(path).constData(), &st) != 0)
        return 0;
    return (static_cast<std::uint64_t>(st.st_dev) << 40) ^ static_cast<std::uint64_t>(st.st_ino);
}

// Makes every missing folder of `folder`, readable by its owner alone.
bool makePrivateFolder(const QString& folder) {
    const QString absolute = QDir::cleanPath(QFileInfo(folder).absoluteFilePath());
    if (QFileInfo(absolute).isDir())
        return true;
    if (!makePrivateFolder(QFileInfo(absolute).absolutePath()))
        return false;
    return ::mkdir(QFile::encodeName(absolute).constData(), 0700) == 0 ||
           QFileInfo(absolute).isDir();
}

// A damaged frame of the log hides the whole frames after it from SQLite,
// and the first write would go over them: they are looked for before
// anything is written, under the write lock, which a copy of the game that
// is writing to the log holds (it read the log before this one, then).
bool logDamagedUnderLock(QSqlQuery& q, const QString& path) {
    if (QFileInfo(path + QStringLiteral("-wal")).size() == 0 ||
        !q.exec(QStringLiteral("BEGIN IMMEDIATE")))
        return false;
    const bool damaged = logDamaged(path);
    q.exec(QStringLiteral("ROLLBACK"));
    return damaged;
}

} // namespace

RecordStore::RecordStore(QString path, ProblemReport& report)
    : path_(std::move(path)), report_(report),
      connection_(QStringLiteral("quiltaro-record-") +
                  QUuid::createUuid().toString(QUuid::WithoutBraces)) {}

RecordStore::~RecordStore() {
    closeConnection();
}

QString RecordStore::defaultPath() {
    return QStandardPaths::writableLocation(QStandardPaths::AppDataLocation) +
           QStringLiteral("/record.sqlite");
}

bool RecordStore::openConnection() {
    QSqlDatabase db = QSqlDatabase::addDatabase(QStringLiteral("QSQLITE"), connection());
    db.setDatabaseName(path_);
    // Another copy of the game commits in well under a millisecond; waiting a
    // little for it is better than reporting it.
    db.setConnectOptions(QStringLiteral("QSQLITE_BUSY_TIMEOUT=100"));
    fileId_ = fileIdOf(path_);
    if (!db.open()) {
        const QSqlError error = db.lastError();
        closeConnection();
        failed(error);
        return false;
    }
    if (sqlite3* handle = sqliteHandle(db); handle && interrupt_)
        sqlite3_progress_handler(
            handle, 1000,
            [](void* flag) { return static_cast<const std::atomic<bool>*>(flag)->load() ? 1 : 0; },
            const_cast<std::atomic<bool>*>(interrupt_));
    return true;
}

bool RecordStore::stillTheOpenedFile() const {
    return fileIdOf(path_) == fileId_;
}

void RecordStore::closeConnection() {
    if (!QSqlDatabase::contains(connection()))
        return;
    {
        QSqlDatabase db = QSqlDatabase::database(connection(), false);
        db.close();
    }
    QSqlDatabase::removeDatabase(connection());
    opened_ = false;
}

bool RecordStore::makePrivateFile() {
    const QFileInfo file(path_);
    if (!makePrivateFolder(file.absolutePath())) {
        fail(Problem::Unwritable, QStringLiteral("le dossier %1 ne peut pas être créé")
                                      .arg(QDir::toNativeSeparators(file.absolutePath())));
        disabled_ = true;
        return false;
    }
    // SQLite would make it readable by all; a pupil's answers are their own.
    // An empty file is an empty database to SQLite.
    const int fd =
        ::open(QFile::encodeName(path_).constData(), O_WRONLY | O_CREAT | O_EXCL | O_CLOEXEC, 0600);
    if (fd >= 0)
        ::close(fd);
    return true;
}

QString RecordStore::connection() const {
    // Qt's connections belong to the thread that made them: one per thread.
    return connection_ + QLatin1Char('-') +
           QString::number(reinterpret_cast<quintptr>(QThread::currentThreadId()));
}

bool RecordStore::isOpen() const {
    return opened_ && openedIn_ == std::this_thread::get_id();
}

void RecordStore::release() {
    closeConnection();
}

bool RecordStore::open() {
    if (isOpen())
        return true;
    // Opened last by another thread: this thread's own connection, if it
    // kept one, may be stale.
    closeConnection();
    if (disabled_)
        return false;
    // The file is never opened here but by SQLite: closing any other
    // descriptor of it would drop the locks SQLite holds on it in this
    // process, and another copy would take the log away from under them.
    // SQLite tells a file that is no database by itself.
    if (!makePrivateFile())
        return false;
    for (int attempt = 0; attempt < 3; ++attempt) {
        switch (openOnce()) {
        case Opening::Done:
            opened_ = true;
            openedIn_ = std::this_thread::get_id();
            return true;
        case Opening::Failed:
            closeConnection();
            return false;
        case Opening::Retry:
            closeConnection();
            break;
        case Opening::Corrupt:
            corruptSeen_ = false;
            setAsideDamagedFile();
            return opened_;
        }
    }
    return false;
}

RecordStore::Opening RecordStore::openingFailed(const QSqlError& error) {
    const Cause cause = causeOf(error, path_);
    if (cause == Cause::Corrupt)
        return Opening::Corrupt;
    if (cause == Cause::SharedMemory && !noWal_) {
        // Not a fault: this filesystem gives no shared memory (a network
        // home, say). The record keeps a rollback journal there, silently.
        noWal_ = true;
        return Opening::Retry;
    }
    if (cause == Cause::Moved)
        return Opening::Retry;
    failed(error);
    return Opening::Failed;
}

RecordStore::Opening RecordStore::openOnce() {
    if (!openConnection())
        return Opening::Failed;
    QSqlDatabase db = QSqlDatabase::database(connection());
    QSqlQuery q(db);
    // Without shared memory, a file left in write-ahead mode can only be read
    // by a connection that keeps it to itself, just long enough to leave that mode.
    if (noWal_ && !q.exec(QStringLiteral("PRAGMA locking_mode=EXCLUSIVE")))
        return openingFailed(q.lastError());
    // A newer program's record is not touched at all, not even its journal mode.
    if (!q.exec(QStringLiteral("PRAGMA user_version")) || !q.next())
        return openingFailed(q.lastError());
    version_ = q.value(0).toInt();
    q.finish();
    if (version_ > schemaVersion) {
        fail(Problem::NewerSchema, QString());
        disabled_ = true;
        return Opening::Failed;
    }
    if (!chooseJournal(q))
        return openingFailed(q.lastError());
    q.finish();
    // Damage anywhere stops all writing into the file, even where the next
    // round would not have gone. The check lists its findings under a first
    // line naming the database; a check that failed itself (another copy
    // holds the file) found nothing.
    if (!q.exec(QStringLiteral("PRAGMA quick_check(2)")) || !q.next())
        return openingFailed(q.lastError());
    QStringList findings{q.value(0).toString()};
    while (q.next())
        findings << q.value(0).toString();
    if (q.lastError().isValid())
        return openingFailed(q.lastError());
    q.finish();
    if (findings != QStringList{QStringLiteral("ok")}) {
        // A check stopped because the program ends lists that as a finding.
        if (interrupt_ && *interrupt_)
            return Opening::Failed;
        return Opening::Corrupt;
    }
    if (!noWal_ && logDamagedUnderLock(q, path_))
        return Opening::Corrupt;
    q.exec(noWal_ ? QStringLiteral("PRAGMA synchronous=FULL")
                  : QStringLiteral("PRAGMA synchronous=NORMAL"));
    // Foreign keys are on once the schema is the last: a migration that
    // moves a table to a new one must not take its rows' guesses with it.
    if (migrate()) {
        q.exec(QStringLiteral("PRAGMA foreign_keys=ON"));
        indexOutsideAnswers();
        return Opening::Done;
    }
    if (corruptSeen_)
        return Opening::Corrupt;
    return Opening::Failed;
}

void RecordStore::setAsideDamagedFile() {
    // What can still be read goes to the new file; the damaged one is moved,
    // never written. SQLite reads what it can; what a damaged header or frame
    // of the log hides from it is read apart.
    std::vector<RoundRecord> readable;
    if (QSqlDatabase::contains(connection())) {
        bool damaged = false;
        readable = readRounds(QSqlDatabase::database(connection()), version_, damaged);
    }
    std::set<RoundKey> known;
    for (const RoundRecord& r : readable)
        known.insert(keyOf(r));
    for (RoundRecord& r : salvageRounds(path_))
        if (known.insert(keyOf(r)).second)
            readable.push_back(std::move(r));
    std::stable_sort(
        readable.begin(), readable.end(),
        [](const RoundRecord& a, const RoundRecord& b) { return a.started < b.started; });
    // Closing the last connection would lay the log into the damaged file
    // and delete it: both are set aside as they are.
    if (QSqlDatabase::contains(connection()))
        if (sqlite3* handle = sqliteHandle(QSqlDatabase::database(connection(), false)))
            sqlite3_db_config(handle, SQLITE_DBCONFIG_NO_CKPT_ON_CLOSE, 1, nullptr);
    const std::uint64_t opened = fileId_;
    closeConnection();
    if (opened != 0 && fileIdOf(path_) != opened) {
        // Another copy set it aside and carried it over first.
        open();
        return;
    }
    const QString stamp = QDateTime::currentDateTime().toString(QStringLiteral("yyyyMMdd-HHmmss"));
    QString target = path_ + QStringLiteral(".abime-") + stamp;
    for (int n = 2; QFileInfo::exists(target) || QFileInfo::exists(target + QStringLiteral("-wal"));
         ++n)
        target = path_ + QStringLiteral(".abime-") + stamp + QStringLiteral("-%1").arg(n);
    // QFile::rename never replaces an existing file.
    if (!QFile::rename(path_, target)) {
        fail(Problem::Unwritable, QStringLiteral("le fichier abîmé ne peut pas être déplacé"));
        disabled_ = true;
        return;
    }
    if (QFileInfo::exists(path_ + QStringLiteral("-wal")))
        QFile::rename(path_ + QStringLiteral("-wal"), target + QStringLiteral("-wal"));
    QFile::remove(path_ + QStringLiteral("-shm")); // an index of the log, rebuilt from it
    setAside_ = target;
    carriedOver_ = readable.size();
    fail(Problem::Corrupt,
         readable.empty() ? QStringLiteral("aucune manche n'a pu en être reprise")
         : readable.size() == 1
             ? QStringLiteral("1 manche a pu en être reprise")
             : QStringLiteral("%1 manches ont pu en être reprises").arg(readable.size()));
    toCarryOver_ = std::move(readable);
    if (open() && !toCarryOver_.empty() &&
        writeInTransaction(toCarryOver_.data(), toCarryOver_.size()))
        toCarryOver_.clear();
}

} // namespace quiltaro
