#include "ClassRecord.h"

#include "CountedFigures.h"

#include <memory>

// A class's records read for the window: each pupil's rounds counted once,
// as the class's server counts them, so that every figure of the window is
// made of counts. SQLite itself counts more slowly than the records are read
// by range (some 2 s against 0.25 s for 100,000 rounds: its sorter, and the
// sliding sums of the help rule), so the rounds are read, then counted here.
namespace quiltaro {

ClassRecord countClass(const QStringList& recordFiles, Check check) {
    ClassRecord data = readClass(recordFiles, Detail::Counts, check);
    for (PupilRounds& p : data.pupils)
        p.counted = std::make_shared<const PupilCount>(tallyRounds(p.rounds));
    return data;
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
