#include "ClassRecord.h"

#include "RecordCounting.h"

#include <QSet>

#include <algorithm>
#include <optional>
#include <set>

// A class's records counted by SQLite rather than read round by round: what
// the window opens on. The rounds themselves are read again for a chart or an
// export only.
namespace quiltaro {

namespace {

struct CountedRecord {
    QString file;
    std::map<QString, PupilCount> pupils; // by the name the window shows
};

// The counts under the names the window shows, the rounds of nobody under
// the record's owner; nothing when two names of the record would become one,
// which only a reading round by round can merge.
std::optional<std::map<QString, PupilCount>> byShownName(CountsByPupil counts,
                                                         const QString& unnamed) {
    std::map<QString, PupilCount> shown;
    for (auto& [key, count] : counts)
        if (!shown.emplace(key.trimmed().isEmpty() ? unnamed : key, std::move(count)).second)
            return std::nullopt;
    return shown;
}

// The records that hold a pupil some other record holds too go back to being
// read round by round, where a round copied onto two records counts once.
void readSharedPupils(std::vector<CountedRecord>& counted, QStringList& read,
                      const QSet<QString>& readNames) {
    std::map<QString, int> holders;
    for (const CountedRecord& c : counted)
        for (const auto& [name, count] : c.pupils)
            ++holders[name];
    const auto shared = [&](const CountedRecord& c) {
        return std::any_of(c.pupils.begin(), c.pupils.end(), [&](const auto& pupil) {
            return holders[pupil.first] > 1 || readNames.contains(pupil.first);
        });
    };
    for (auto it = counted.begin(); it != counted.end();) {
        if (shared(*it)) {
            read << it->file;
            it = counted.erase(it);
        } else {
            ++it;
        }
    }
}

QSet<QString> namesOf(const ClassRecord& data) {
    QSet<QString> names;
    for (const PupilRounds& p : data.pupils)
        names.insert(p.name);
    return names;
}

// Reads the rounds of the pupils named again from the records that hold them.
RoundsOfPupils readingAgain(std::map<QString, QStringList> recordsOf) {
    return [recordsOf = std::move(recordsOf)](const QStringList& names, Detail detail) {
        QStringList files;
        for (const QString& name : names)
            if (const auto it = recordsOf.find(name); it != recordsOf.end())
                for (const QString& file : it->second)
                    if (!files.contains(file))
                        files << file;
        std::map<QString, std::vector<RoundRecord>> rounds;
        for (PupilRounds& p : readClass(files, detail).pupils)
            if (names.contains(p.name))
                rounds[p.name] = std::move(p.rounds);
        return rounds;
    };
}

} // namespace

ClassRecord countClass(const QStringList& recordFiles, Check check) {
    const QString own = RecordStore::defaultPath();
    std::vector<CountedRecord> counted;
    QStringList read;
    for (const QString& file : recordFiles) {
        std::optional<CountsByPupil> counts;
        if (check == Check::Apart)
            counts = countRecord(file);
        auto shown =
            counts ? byShownName(std::move(*counts), pupilOfRecord(file, own)) : std::nullopt;
        if (shown)
            counted.push_back({file, std::move(*shown)});
        else
            read << file;
    }
    // In the order given: where a round is found twice, the first record keeps it.
    const auto readInOrder = [&] {
        QStringList ordered;
        for (const QString& file : recordFiles)
            if (read.contains(file))
                ordered << file;
        return readClass(ordered, Detail::Counts, check);
    };
    readSharedPupils(counted, read, {});
    ClassRecord result = readInOrder();
    for (qsizetype before = read.size();; before = read.size()) {
        readSharedPupils(counted, read, namesOf(result));
        if (read.size() == before)
            break;
        result = readInOrder();
    }
    result.files = recordFiles;
    std::map<QString, QStringList> recordsOf;
    for (CountedRecord& c : counted) {
        result.problems << setAsideBeside(c.file);
        for (auto& [name, count] : c.pupils) {
            recordsOf[name] << c.file;
            result.pupils.push_back(
                {name, {}, std::make_shared<const PupilCount>(std::move(count))});
        }
    }
    sortByName(result.pupils);
    if (!counted.empty())
        result.readRounds = readingAgain(std::move(recordsOf));
    return result;
}

std::vector<PupilRounds> roundsRead(const ClassRecord& data, const std::vector<PupilRounds>& pupils,
                                    Detail detail) {
    QStringList names;
    for (const PupilRounds& p : pupils)
        if (p.counted && p.rounds.empty() && p.counted->rounds > 0)
            names << p.name;
    std::vector<PupilRounds> result = pupils;
    if (names.isEmpty() || !data.readRounds)
        return result;
    std::map<QString, std::vector<RoundRecord>> read = data.readRounds(names, detail);
    for (PupilRounds& p : result)
        if (const auto it = read.find(p.name); it != read.end() && p.rounds.empty())
            p.rounds = std::move(it->second);
    return result;
}

} // namespace quiltaro
