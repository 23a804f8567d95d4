#include "ClassRecord.h"

#include "Forgetting.h"
#include "Pupils.h"
#include "RecordChecks.h"
#include "RecordReading.h"

#include <QCollator>
#include <QDir>
#include <QFileInfo>

#include <algorithm>
#include <map>
#include <set>

namespace quiltaro {

namespace {

// The collation a French teacher expects: Émilie beside Emma, not after Zoé.
// French whatever the desktop's language: a report written from a script
// in the C locale lists the class as the window does.
bool beforeInFrench(const QString& a, const QString& b) {
    static const QCollator french(QLocale(QLocale::French, QLocale::France));
    const int order = french.compare(a, b);
    return order != 0 ? order < 0 : a < b;
}

// The rounds of each pupil, by class then first name.
using ByPupil = std::map<std::pair<QString, QString>, std::vector<RoundRecord>>;

std::pair<QString, QString> pupilOf(const RoundRecord& r) {
    return {r.className, r.pupil};
}

// A pupil's record is one pupil's: rounds written before classes had names
// belong to the class its later rounds name, when they name only one.
void classOfUnclassed(std::vector<RoundRecord>& rounds) {
    std::map<QString, QString> classOf;
    std::set<QString> several;
    for (const RoundRecord& r : rounds)
        if (!r.className.isEmpty()) {
            const auto [at, fresh] = classOf.emplace(r.pupil, r.className);
            if (!fresh && at->second != r.className)
                several.insert(r.pupil);
        }
    for (RoundRecord& r : rounds)
        if (r.className.isEmpty() && classOf.count(r.pupil) && !several.count(r.pupil))
            r.className = classOf[r.pupil];
}

// Each pupil's rounds in the order they were played, the pupils in the
// order of their names.
std::vector<PupilRounds> byName(ByPupil byPupil) {
    std::vector<PupilRounds> pupils;
    const auto played = [](const RoundRecord& a, const RoundRecord& b) {
        return a.started < b.started;
    };
    for (auto& [who, rounds] : byPupil) {
        // One record comes in that order already, and a stable sort would
        // still move every round: some 20 ms for 100,000 of them.
        if (!std::is_sorted(rounds.begin(), rounds.end(), played))
            std::stable_sort(rounds.begin(), rounds.end(), played);
        pupils.push_back({who.second, std::move(rounds), who.first});
    }
    sortByName(pupils);
    return pupils;
}

} // namespace

void sortByName(std::vector<PupilRounds>& pupils) {
    std::sort(pupils.begin(), pupils.end(), [](const PupilRounds& a, const PupilRounds& b) {
        return a.name != b.name ? beforeInFrench(a.name, b.name)
                                : beforeInFrench(a.className, b.className);
    });
}

size_t ClassRecord::rounds() const {
    size_t total = 0;
    for (const PupilRounds& p : pupils)
        total += p.counted ? size_t(p.counted->rounds) : p.rounds.size();
    return total;
}

const PupilRounds* ClassRecord::pupil(const QString& name) const {
    for (const PupilRounds& p : pupils)
        if (p.name == name)
            return &p;
    return nullptr;
}

ClassRecord readClass(const QStringList& recordFiles, Detail detail, Check check) {
    ClassRecord result;
    result.files = recordFiles;
    const QString own = RecordStore::defaultPath();
    ByPupil byPupil;
    // A round is known by its game and its times, whichever copy it is read from.
    std::set<RoundKey> seen;
    for (const QString& file : recordFiles) {
        RecordContents contents = readRecord(file, detail, check);
        const QString where = QDir::toNativeSeparators(file);
        switch (contents.state) {
        case RecordContents::State::Newer:
            result.problems << QStringLiteral("%1 vient d'une version plus récente de Quiltaro, "
                                              "que celle-ci ne sait pas lire")
                                   .arg(where);
            continue;
        case RecordContents::State::Unreadable:
            result.problems
                << QStringLiteral("%1 ne peut pas être lu (%2)").arg(where, contents.problem);
            continue;
        case RecordContents::State::Damaged: {
            result.damaged = true;
            // Said as the other problems are: without the program's name
            // before, nor the full stop after.
            QString text = damagedRecordText(file, contents.rounds.size(), contents.roundsClaimed)
                               .section(QStringLiteral(" : "), 1);
            if (text.endsWith(QLatin1Char('.')))
                text.chop(1);
            result.problems << text;
            break;
        }
        case RecordContents::State::Missing:
        case RecordContents::State::Whole:
            if (QFileInfo(file).size() == 0 && contents.rounds.empty())
                result.problems << QStringLiteral("%1 est vide : aucune manche n'y est "
                                                  "enregistrée")
                                       .arg(where);
            break;
        }
        result.problems << setAsideBeside(file);
        std::vector<RoundRecord>& rounds = contents.rounds;
        // A damaged page can hold any bytes where a word was: that record's
        // message says enough.
        if (const QString text = newerValuesProblem(where, rounds);
            !text.isEmpty() && contents.state != RecordContents::State::Damaged)
            result.problems << text;
        // Rounds are compared with those of the other records only: within
        // one, each is a round of its own, however alike.
        if (recordFiles.size() > 1) {
            std::set<RoundKey> here;
            rounds.erase(std::remove_if(rounds.begin(), rounds.end(),
                                        [&](const RoundRecord& r) {
                                            RoundKey key = keyOf(r);
                                            if (seen.count(key))
                                                return true;
                                            here.insert(std::move(key));
                                            return false;
                                        }),
                         rounds.end());
            seen.merge(here);
        }
        const QString unnamed = pupilOfRecord(file, own);
        const QString folderClass = classOfRecord(file);
        for (RoundRecord& r : rounds) {
            if (r.pupil.trimmed().isEmpty())
                r.pupil = unnamed;
            if (r.className.isEmpty())
                r.className = folderClass;
        }
        classOfUnclassed(rounds);
        // A record is most often one pupil's: its rounds go over whole,
        // rather than one at a time into a growing list (some 15 ms for a
        // pupil's 100,000 rounds).
        if (!rounds.empty() && std::all_of(rounds.begin(), rounds.end(), [&](const RoundRecord& r) {
                return pupilOf(r) == pupilOf(rounds.front());
            })) {
            std::vector<RoundRecord>& to = byPupil[pupilOf(rounds.front())];
            if (to.empty())
                to = std::move(rounds);
            else
                to.insert(to.end(), std::make_move_iterator(rounds.begin()),
                          std::make_move_iterator(rounds.end()));
        } else {
            for (RoundRecord& r : rounds)
                byPupil[pupilOf(r)].push_back(std::move(r));
        }
    }
    result.pupils = byName(std::move(byPupil));
    return result;
}

ClassRecord classOfRounds(std::vector<RoundRecord> rounds) {
    ByPupil byPupil;
    for (RoundRecord& r : rounds) {
        if (r.pupil.trimmed().isEmpty())
            r.pupil = QStringLiteral("Sans nom");
        byPupil[pupilOf(r)].push_back(std::move(r));
    }
    ClassRecord result;
    result.pupils = byName(std::move(byPupil));
    return result;
}

void addListedPupils(ClassRecord& data, const QStringList& names) {
    for (const QString& name : names)
        if (!data.pupil(name))
            data.pupils.push_back({name, {}, {}});
    sortByName(data.pupils);
}

void setTrialApart(ClassRecord& data, const QStringList& names) {
    const QString own = accountPupilName();
    if (names.contains(own))
        return;
    const auto it = std::find_if(data.pupils.begin(), data.pupils.end(),
                                 [&](const PupilRounds& p) { return p.name == own; });
    if (it == data.pupils.end())
        return;
    data.trial = std::move(*it);
    data.pupils.erase(it);
}

bool wasPlayed(const RoundRecord& round) {
    return round.tries() > 0 || round.ending == Ending::Won || round.ending == Ending::GaveUp;
}

std::vector<PupilRounds> withGuesses(const std::vector<PupilRounds>& pupils,
                                     const QStringList& recordFiles) {
    const auto counted = [](const PupilRounds& p) {
        return std::any_of(p.rounds.begin(), p.rounds.end(),
                           [](const RoundRecord& r) { return r.counts.has_value(); });
    };
    if (std::none_of(pupils.begin(), pupils.end(), counted))
        return pupils;
    const ClassRecord read = readClass(recordFiles, Detail::Guesses);
    std::map<RoundKey, const RoundRecord*> found;
    for (const PupilRounds& p : read.pupils)
        for (const RoundRecord& r : p.rounds)
            found.emplace(keyOf(r), &r);
    std::vector<PupilRounds> result = pupils;
    for (PupilRounds& p : result)
        for (RoundRecord& r : p.rounds)
            if (r.counts)
                if (const auto it = found.find(keyOf(r)); it != found.end())
                    r = *it->second;
    return result;
}

} // namespace quiltaro
