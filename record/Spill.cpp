#include "Spill.h"

#include "StoredRound.h"

#include <QDir>
#include <QFile>
#include <QFileInfo>
#include <QJsonArray>
#include <QJsonDocument>
#include <QJsonObject>
#include <QUuid>

#include <cerrno>
#include <map>

#include <fcntl.h>
#include <sys/file.h>
#include <unistd.h>

namespace quiltaro {

namespace {

QByteArray line(std::uint64_t id, const RoundRecord& r) {
    QJsonArray guesses;
    for (size_t i = 0; i < r.guesses.size(); ++i)
        guesses.append(QJsonArray{QString::fromStdString(r.guesses[i].answer), verdictWord(r, i)});
    QJsonObject o{{"id", QString::number(id)},
                  {"game", r.gameToken},
                  {"pupil", r.pupil},
                  {"class", r.className},
                  {"gameStarted", double(r.gameStarted.toMSecsSinceEpoch())},
                  {"started", double(r.started.toMSecsSinceEpoch())},
                  {"ended", double(r.ended.toMSecsSinceEpoch())},
                  {"scoreBefore", r.scoreBefore},
                  {"scoreAfter", r.scoreAfter},
                  {"low", r.lowBound},
                  {"high", r.highBound},
                  {"red", double(r.redValue)},
                  {"ending", endingWord(r)},
                  {"guesses", guesses}};
    if (r.kind)
        o.insert("kind", kindValue(r.kind).toString());
    if (r.levels)
        o.insert("level", levelsValue(r.levels).toString());
    return QJsonDocument(o).toJson(QJsonDocument::Compact) + '\n';
}

RoundRecord roundOf(const QJsonObject& o, RoundReading& reading) {
    const auto ms = [&](const char* key) { return qint64(o.value(key).toDouble()); };
    StoredRound stored;
    stored.gameToken = o.value("game").toString();
    stored.pupil = o.value("pupil").toString();
    stored.className = o.value("class").toString();
    if (o.contains("gameStarted"))
        stored.gameStarted = ms("gameStarted");
    stored.started = ms("started");
    stored.ended = ms("ended");
    stored.scoreBefore = o.value("scoreBefore").toInt();
    stored.scoreAfter = o.value("scoreAfter").toInt();
    stored.lowBound = o.value("low").toDouble();
    stored.highBound = o.value("high").toDouble();
    stored.redValue = o.value("red").toDouble();
    const QString ending = o.value("ending").toString();
    stored.ending = ending;
    stored.kind = o.value("kind").toString();
    stored.levels = o.value("level").toString();
    RoundRecord r = reading.roundOf(stored);
    for (const QJsonValue& g : o.value("guesses").toArray())
        RoundReading::addGuess(r, g.toArray().at(0).toString().toStdString(),
                               g.toArray().at(1).toString());
    return r;
}

// The rounds of a file not marked written, in the order they ended. A line
// cut short by a kill is not a round.
std::vector<RoundRecord> parse(const QByteArray& bytes) {
    std::map<QString, RoundRecord> rounds;
    std::vector<QString> order;
    RoundReading reading;
    for (const QByteArray& l : bytes.split('\n')) {
        const QJsonObject o = QJsonDocument::fromJson(l).object();
        if (o.contains("written")) {
            rounds.erase(o.value("written").toString());
        } else if (o.contains("id") && o.contains("game")) {
            order.push_back(o.value("id").toString());
            rounds[order.back()] = roundOf(o, reading);
        }
    }
    std::vector<RoundRecord> left;
    for (const QString& id : order)
        if (const auto found = rounds.find(id); found != rounds.end())
            left.push_back(found->second);
    return left;
}

bool writeAll(int fd, const QByteArray& bytes) {
    qsizetype done = 0;
    while (done < bytes.size()) {
        const ssize_t n = ::write(fd, bytes.constData() + done, size_t(bytes.size() - done));
        if (n <= 0)
            return false;
        done += n;
    }
    return ::fdatasync(fd) == 0;
}

} // namespace

Spill::Spill(QString recordPath) : recordPath_(std::move(recordPath)) {}

Spill::~Spill() {
    release();
}

void Spill::release() {
    if (fd_ < 0)
        return;
    // Everything is in the record: the file and its room have nothing left to keep.
    if (unwritten_.empty())
        QFile::remove(path_);
    ::close(fd_);
    fd_ = -1;
    unwritten_.clear();
}

bool Spill::reserve() {
    if (fd_ >= 0)
        return true;
    // Made under a name other copies do not look for, and locked, before it
    // takes the name they do: a copy that looks meanwhile can neither take
    // the empty file for one left behind nor remove it.
    // A first game on this login: its folder is made as the record's is,
    // readable by its owner alone.
    const QString folder = QFileInfo(recordPath_).absolutePath();
    if (!QFileInfo(folder).isDir() &&
        (!QDir().mkpath(folder) ||
         !QFile::setPermissions(folder, QFile::ReadOwner | QFile::WriteOwner | QFile::ExeOwner)))
        return false;
    const QString id = QUuid::createUuid().toString(QUuid::Id128).left(12);
    const QString making = recordPath_ + QStringLiteral(".reserve-") + id;
    const int fd = ::open(QFile::encodeName(making).constData(),
                          O_WRONLY | O_CREAT | O_EXCL | O_APPEND | O_CLOEXEC, 0600);
    if (fd < 0)
        return false;
    const QString path = recordPath_ + QStringLiteral(".attente-") + id;
    if (::flock(fd, LOCK_EX | LOCK_NB) != 0 && errno != ENOLCK) {
        ::close(fd);
        QFile::remove(making);
        return false;
    }
    // The room the rounds will take, taken now while the disk has it: a
    // disk that fills later still takes them, up to this much.
    ::fallocate(fd, FALLOC_FL_KEEP_SIZE, 0, reservedRoom);
    if (::rename(QFile::encodeName(making).constData(), QFile::encodeName(path).constData()) != 0) {
        ::close(fd);
        QFile::remove(making);
        return false;
    }
    fd_ = fd;
    path_ = path;
    return true;
}

bool Spill::add(std::uint64_t id, const RoundRecord& round) {
    if (!reserve() || !writeAll(fd_, line(id, round)))
        return false;
    unwritten_.insert(id);
    return true;
}

void Spill::written(std::uint64_t id) {
    if (fd_ < 0 || unwritten_.erase(id) == 0)
        return;
    // Marked, not removed: the file keeps its room for the rounds to come.
    writeAll(fd_, QJsonDocument(QJsonObject{{"written", QString::number(id)}})
                          .toJson(QJsonDocument::Compact) +
                      '\n');
}

std::vector<Spill::Leftover> Spill::leftovers(const QString& recordPath) {
    std::vector<Leftover> found;
    const QFileInfo record(recordPath);
    for (const QFileInfo& file : record.dir().entryInfoList(
             {record.fileName() + QStringLiteral(".attente-*")}, QDir::Files)) {
        Leftover l;
        l.path = file.absoluteFilePath();
        l.fd = ::open(QFile::encodeName(l.path).constData(), O_RDONLY | O_CLOEXEC);
        if (l.fd < 0)
            continue;
        if (::flock(l.fd, LOCK_EX | LOCK_NB) != 0) {
            ::close(l.fd); // a running copy's, or a filesystem without locks
            continue;
        }
        l.rounds = read(l.path);
        found.push_back(std::move(l));
    }
    return found;
}

void Spill::finish(Leftover& leftover, bool written) {
    if (written)
        QFile::remove(leftover.path);
    if (leftover.fd >= 0)
        ::close(leftover.fd);
    leftover.fd = -1;
}

std::vector<RoundRecord> Spill::read(const QString& path) {
    QFile file(path);
    if (!file.open(QIODevice::ReadOnly))
        return {};
    return parse(file.readAll());
}

} // namespace quiltaro
