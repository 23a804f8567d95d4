#pragma once

#include "SampleRecord.h"

#include <QDateTime>
#include <QString>

#include <cstdint>
#include <vector>

namespace quiltaro {

// A class as a teacher meets one after some weeks, for pictures, the
// benchmark and the tests of who needs help: most pupils progress, some
// fast, and among them pupils of each kind the teacher must find.
enum class PupilKind {
    Strong,      // learns fast, wins most games
    Progressing, // learns over the weeks
    StuckTenths, // plays often, never keeps a point past whole numbers
    NeverWins,   // guesses at random all along
    Lapsed,      // played the first weeks, then stopped
};

struct GeneratedPupil {
    QString name;
    PupilKind kind;
    std::vector<RoundRecord> rounds; // each named after the pupil
};

// `pupils` pupils (up to 30 first names, then numbered) who play two games a
// school day for `weeks` whole weeks, the last being the week of `lastDay`
// (up to its Friday, whatever day `lastDay` is). Every fifth pupil from the
// third on is stuck, every seventh from the fifth never wins, every eighth
// from the eighth stopped half-way; a third of the others are strong.
std::vector<GeneratedPupil> generateClass(int pupils, int weeks, const QDate& lastDay,
                                          std::uint64_t seed);

QString kindName(PupilKind kind);

} // namespace quiltaro
