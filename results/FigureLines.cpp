#include "FigureLines.h"

#include <QLocale>

namespace quiltaro {

namespace {

const QLocale french(QLocale::French, QLocale::France);

QString triesText(const LevelFigures& level) {
    if (level.played == 0)
        return QStringLiteral("–");
    if (level.found == 0)
        return QStringLiteral("aucun trouvé");
    return frenchNumber(level.triesPerFound(), 1);
}

QString meanTries(double tries) {
    return tries < 0 ? QStringLiteral("–") : frenchNumber(tries, 1);
}

// "0,40 (12)": a rate per round, and the total it comes from.
QString rateText(const PeriodCounts& c, int total) {
    return QStringLiteral("%1 (%2)").arg(frenchNumber(c.perRound(total), 2)).arg(total);
}

} // namespace

QString frenchNumber(double value, int decimals) {
    return french.toString(value, 'f', decimals);
}

QString trendText(const PupilSummary& p) {
    if (!p.hasTrend())
        return QStringLiteral("–");
    QStringList weeks;
    for (int w : p.weeks)
        weeks << (w < 0 ? QStringLiteral("–") : QString::number(w));
    const int trend = p.trend();
    const QString arrow = trend > 0   ? QStringLiteral("↗")
                          : trend < 0 ? QStringLiteral("↘")
                                      : QStringLiteral("→");
    return arrow + QLatin1Char(' ') + weeks.join(QStringLiteral(" · "));
}

std::vector<FigureLine> figureLines(const PupilSummary& p, const ClassMean& m) {
    const PeriodCounts& c = p.counts;
    const PupilFigures& f = p.figures;
    std::vector<FigureLine> lines = {
        {QStringLiteral("Manches jouées"), QString::number(c.rounds), frenchNumber(m.rounds, 0),
         QStringLiteral("Les manches où l'élève a répondu au moins une fois")},
        {QStringLiteral("Parties (gagnées)"),
         QStringLiteral("%1 (%2)").arg(c.games).arg(c.gamesWon), frenchNumber(m.games, 1),
         QStringLiteral("Une partie est gagnée à 10 points")},
        {QStringLiteral("Temps de jeu"), durationText(c.seconds),
         durationText(qint64(m.minutes * 60)),
         QStringLiteral("Du début à la fin de chaque manche, au plus 10 minutes par manche")},
        {QStringLiteral("Points gardés par manche"), frenchNumber(c.keptPerRound(), 2),
         frenchNumber(m.keptPerRound, 2),
         QStringLiteral("Points gagnés moins points perdus (réponses en dehors, abandons), "
                        "divisés par le nombre de manches")},
        {QStringLiteral("Réponses en dehors par manche"), rateText(c, c.outside),
         frenchNumber(m.outsidePerRound, 2),
         QStringLiteral("Réponses en dehors des crochets, par manche ; entre parenthèses, le "
                        "total")},
        {QStringLiteral("Abandons par manche"), rateText(c, c.gaveUp),
         frenchNumber(m.gaveUpPerRound, 2),
         QStringLiteral("Manches abandonnées (Échap), par manche ; entre parenthèses, le total")},
        {QStringLiteral("Score le plus haut"),
         f.highestScore < 0 ? QStringLiteral("–")
                            : QStringLiteral("%1 (%2)")
                                  .arg(f.highestScore)
                                  .arg(levelName(f.highestLevel).toLower()),
         frenchNumber(m.highestScore, 1),
         QStringLiteral("Nombres entiers de 0 à 2 points, dixièmes de 3 à 6, centièmes à partir "
                        "de 7")}};
    // The level in a word: the line reads whole beside the figures on a
    // school laptop's screen.
    const QString levelWords[] = {QStringLiteral("entiers"), QStringLiteral("dixièmes"),
                                  QStringLiteral("centièmes")};
    for (int level = 0; level < levelCount; ++level)
        lines.push_back({QStringLiteral("Essais par nombre trouvé : %1").arg(levelWords[level]),
                         triesText(f.levels[size_t(level)]),
                         meanTries(m.triesPerFound[size_t(level)]),
                         QStringLiteral("Tous les essais des manches jouées à ce niveau, abandons "
                                        "compris, divisés par les nombres trouvés : 5 ou moins "
                                        "rapporte deux points, 10 ou moins un point")});
    lines.push_back({QStringLiteral("Tendance (%1 semaines)").arg(trendWeeks), trendText(p),
                     QString(),
                     QStringLiteral("Le score le plus haut de chaque semaine, de la plus ancienne "
                                    "à la dernière (– : pas joué) ; sans flèche quand moins de "
                                    "deux semaines ont été jouées")});
    return lines;
}

} // namespace quiltaro
