#include "SampleClass.h"

#include <array>

namespace quiltaro {

namespace {

const std::array<const char*, 30> firstNames = {
    "Adam",  "Alice",   "Arthur", "Chloé", "Éloïse", "Emma",  "Gabriel", "Hugo", "Inès",   "Jade",
    "Jules", "Léa",     "Léo",    "Louis", "Louise", "Lucas", "Manon",   "Mila", "Nathan", "Noé",
    "Paul",  "Raphaël", "Rose",   "Sacha", "Tom",    "Zoé",   "Ambre",   "Lina", "Maël",   "Nino"};

PupilKind kindOf(int i) {
    if (i % 5 == 2)
        return PupilKind::StuckTenths;
    if (i % 7 == 4)
        return PupilKind::NeverWins;
    if (i % 8 == 7)
        return PupilKind::Lapsed;
    return i % 3 == 0 ? PupilKind::Strong : PupilKind::Progressing;
}

} // namespace

QString kindName(PupilKind kind) {
    switch (kind) {
    case PupilKind::Strong:
        return QStringLiteral("fort");
    case PupilKind::Progressing:
        return QStringLiteral("progresse");
    case PupilKind::StuckTenths:
        return QStringLiteral("bloqué aux dixièmes");
    case PupilKind::NeverWins:
        return QStringLiteral("ne gagne jamais");
    case PupilKind::Lapsed:
        return QStringLiteral("a arrêté");
    }
    return QString();
}

std::vector<GeneratedPupil> generateClass(int pupils, int weeks, const QDate& lastDay,
                                          std::uint64_t seed) {
    std::vector<GeneratedPupil> result;
    const int games = weeks * 5 * 2;
    // The first Monday of the weeks: games start there, two a school day.
    const QDate first = lastDay.addDays(1 - lastDay.dayOfWeek()).addDays(-7 * (weeks - 1));
    for (int i = 0; i < pupils; ++i) {
        GeneratedPupil p;
        p.name = i < int(firstNames.size())
                     ? QString::fromUtf8(firstNames[size_t(i)])
                     : QStringLiteral("Élève %1").arg(i + 1, 2, 10, QLatin1Char('0'));
        p.kind = kindOf(i);
        const QDateTime start(first, QTime(9, 0));
        const std::uint64_t own = seed * 1000 + std::uint64_t(i);
        switch (p.kind) {
        case PupilKind::Strong:
            p.rounds = sampleRecord(games, start, own, 0.6, 1.0);
            break;
        case PupilKind::Progressing:
            p.rounds = sampleRecord(games, start, own, 0.25, 0.9);
            break;
        case PupilKind::StuckTenths:
            p.rounds = sampleRecord(games, start, own, 0.4, 0.8, 3);
            break;
        case PupilKind::NeverWins:
            p.rounds = sampleRecord(games, start, own, 0.0, 0.0, 2);
            break;
        case PupilKind::Lapsed:
            p.rounds = sampleRecord(games / 2, start, own, 0.3, 0.7);
            break;
        }
        for (RoundRecord& r : p.rounds) {
            r.pupil = p.name;
            r.gameToken = p.name + QLatin1Char('-') + r.gameToken;
        }
        result.push_back(std::move(p));
    }
    return result;
}

} // namespace quiltaro
