#include "ClassRecord.h"

#include "CountedFigures.h"
#include "Worker.h"

#include <QSet>

#include <algorithm>
#include <array>
#include <atomic>
#include <functional>
#include <map>
#include <memory>
#include <optional>

// A class's records counted for the window: each pupil's rounds read as
// numbers (RecordCounting) and counted here, as the class's server counts
// them, so that every figure of the window is made of counts. SQLite
// grouping them itself was measured slower than this reading (see
// RecordCounting.cpp). A school year of 30 pupils, 150,000 rounds, takes
// some 150 ms of processor, on two threads, against 550 to 950 ms for the
// same rounds read whole and then counted; the window opened in 283 to
// 425 ms rather than 882 ms at load 2 (docs/performance.md). The rounds
// themselves are read only for a chart or an export, of the pupils asked for.
namespace quiltaro {

namespace {

constexpr size_t countingThreads = 2;

// Calls `each` for 0 to n - 1, on two threads: the class's records are
// many small files, and its pupils many short tallies.
void onTwoThreads(size_t n, const std::function<void(size_t)>& each) {
    std::atomic<size_t> next{0};
    const auto body = [&](std::stop_token stop) {
        for (size_t i = next++; i < n && !stop.stop_requested(); i = next++)
            each(i);
    };
    std::array<Worker, countingThreads> workers;
    for (Worker& w : workers)
        w.start(body);
    for (Worker& w : workers)
        w.join();
}

// The same round in two records (a record copied twice) counts once: only
// the reading round by round knows rounds apart. A game's token names it in
// one record only, else.
bool gamesShared(const std::vector<std::optional<CountedRecord>>& read) {
    std::vector<QString> tokens;
    for (const std::optional<CountedRecord>& record : read)
        tokens.insert(tokens.end(), record->games.begin(), record->games.end());
    std::sort(tokens.begin(), tokens.end());
    return std::adjacent_find(tokens.begin(), tokens.end()) != tokens.end();
}

// Whose a record's rounds are, as readClass names them: the record's
// pupil when they name none, the folder's class when they name none, and
// else the one class the pupil's other rounds name.
void nameAsRead(CountedRecord& record, const QString& file, const QString& own) {
    const QString unnamed = pupilOfRecord(file, own), folderClass = classOfRecord(file);
    std::map<QString, QSet<QString>> classesOf;
    for (CountedRecord::Pupil& p : record.pupils) {
        if (p.name.trimmed().isEmpty())
            p.name = unnamed;
        if (p.className.isEmpty())
            p.className = folderClass;
        if (!p.className.isEmpty())
            classesOf[p.name].insert(p.className);
    }
    for (CountedRecord::Pupil& p : record.pupils)
        if (const auto it = classesOf.find(p.name);
            p.className.isEmpty() && it != classesOf.end() && it->second.size() == 1)
            p.className = *it->second.begin();
}

// A record the counting could not read (damaged, older, with rounds kept
// beside it or values of a newer version), read round by round: the
// reading says what to tell of it, and names its pupils itself.
CountedRecord readWhole(const QString& file, Check check, ClassRecord& into) {
    ClassRecord one = readClass({file}, Detail::Counts, check);
    into.problems << one.problems;
    into.damaged = into.damaged || one.damaged;
    CountedRecord record;
    QSet<QString> games;
    for (const PupilRounds& p : one.pupils) {
        record.pupils.push_back({p.name, p.className, countedRounds(p.rounds)});
        for (const RoundRecord& r : p.rounds)
            games.insert(r.gameToken);
    }
    record.games.assign(games.begin(), games.end());
    return record;
}

ClassRecord readAndTally(const QStringList& recordFiles, Check check) {
    ClassRecord data = readClass(recordFiles, Detail::Counts, check);
    for (PupilRounds& p : data.pupils)
        p.counted = std::make_shared<const PupilCount>(tallyRounds(p.rounds));
    return data;
}

// Reads the rounds of the pupils named again from the records that hold
// them, for a chart or an export.
RoundsOfPupils readerOf(std::map<QString, QStringList> filesOf) {
    return
        [filesOf = std::move(filesOf)](const QStringList& names, Detail detail, std::stop_token) {
            QStringList files;
            for (const QString& name : names)
                if (const auto it = filesOf.find(name); it != filesOf.end())
                    for (const QString& file : it->second)
                        if (!files.contains(file))
                            files << file;
            std::map<QString, std::vector<RoundRecord>> read;
            for (PupilRounds& p : readClass(files, detail, Check::Apart).pupils)
                if (names.contains(p.name)) {
                    std::vector<RoundRecord>& to = read[p.name];
                    to.insert(to.end(), std::make_move_iterator(p.rounds.begin()),
                              std::make_move_iterator(p.rounds.end()));
                }
            return read;
        };
}

} // namespace

ClassRecord countClass(const QStringList& recordFiles, Check check) {
    ClassRecord data;
    data.files = recordFiles;
    std::vector<std::optional<CountedRecord>> read(size_t(recordFiles.size()));
    onTwoThreads(read.size(), [&](size_t i) {
        read[i] = readCounted(recordFiles[qsizetype(i)], check == Check::Now);
    });
    const QString own = RecordStore::defaultPath();
    for (qsizetype i = 0; i < recordFiles.size(); ++i) {
        std::optional<CountedRecord>& record = read[size_t(i)];
        if (record) {
            nameAsRead(*record, recordFiles[i], own);
            data.problems << setAsideBeside(recordFiles[i]);
        } else {
            record = readWhole(recordFiles[i], check, data);
        }
    }
    if (gamesShared(read))
        return readAndTally(recordFiles, check);
    std::map<std::pair<QString, QString>, std::vector<CountedRound>> byPupil;
    std::map<QString, QStringList> filesOf;
    for (qsizetype i = 0; i < recordFiles.size(); ++i)
        for (CountedRecord::Pupil& p : read[size_t(i)]->pupils) {
            std::vector<CountedRound>& to = byPupil[{p.className, p.name}];
            to.insert(to.end(), std::make_move_iterator(p.rounds.begin()),
                      std::make_move_iterator(p.rounds.end()));
            filesOf[p.name] << recordFiles[i];
        }
    for (const auto& [who, rounds] : byPupil)
        data.pupils.push_back({who.second, {}, who.first, nullptr});
    onTwoThreads(data.pupils.size(), [&](size_t i) {
        PupilRounds& p = data.pupils[i];
        std::vector<CountedRound>& rounds = byPupil.at({p.className, p.name});
        const auto played = [](const CountedRound& a, const CountedRound& b) {
            return a.started < b.started;
        };
        if (!std::is_sorted(rounds.begin(), rounds.end(), played))
            std::stable_sort(rounds.begin(), rounds.end(), played);
        p.counted = std::make_shared<const PupilCount>(tallyCounted(rounds));
        std::vector<CountedRound>().swap(rounds); // freed on that thread too
    });
    sortByName(data.pupils);
    data.readRounds = readerOf(std::move(filesOf));
    return data;
}

std::vector<PupilRounds> roundsRead(const ClassRecord& data, const std::vector<PupilRounds>& pupils,
                                    Detail detail, std::stop_token stop) {
    QStringList names;
    for (const PupilRounds& p : pupils)
        if (p.counted && p.rounds.empty() && p.counted->rounds > 0)
            names << p.name;
    std::vector<PupilRounds> result = pupils;
    if (names.isEmpty() || !data.readRounds)
        return result;
    std::map<QString, std::vector<RoundRecord>> read =
        data.readRounds(names, detail, std::move(stop));
    for (PupilRounds& p : result)
        if (const auto it = read.find(p.name); it != read.end() && p.rounds.empty())
            p.rounds = std::move(it->second);
    return result;
}

} // namespace quiltaro
