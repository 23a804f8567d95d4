#include "Report.h"

#include "FigureLines.h"
#include "LevelSettings.h"
#include "Pupils.h"
#include "ReportPainter.h"

#include <QCollator>
#include <QDir>
#include <QFileInfo>
#include <QLocale>
#include <QPdfWriter>
#include <QSaveFile>

#include <algorithm>
#include <cmath>

#include <map>

namespace quiltaro {

namespace {

const QLocale french(QLocale::French, QLocale::France);
const QColor helpColour(150, 0, 0);

QString capitalized(const QString& text) {
    return text.left(1).toUpper() + text.mid(1);
}

// "Depuis le début ; rapport du mardi 8 décembre 2026".
QString underTitle(const ClassSummary& s) {
    return QStringLiteral("%1 ; rapport du %2")
        .arg(capitalized(s.period.text()),
             french.toString(QDate::currentDate(), QStringLiteral("dddd d MMMM yyyy")));
}

QString reasonsOf(const PupilSummary& p) {
    QStringList said;
    for (const HelpReason& r : p.help.reasons)
        said << r.text;
    return said.join(QStringLiteral(" ; "));
}

// The classes the report is of, as their rounds name them, else the class of
// this computer's configuration; empty when none is named.
QStringList classesOf(const ClassRecord& data) {
    QStringList classes;
    for (const PupilRounds& p : data.pupils)
        if (!p.className.isEmpty())
            classes << p.className;
    classes.removeDuplicates();
    if (classes.isEmpty() && !configuredClass().name.isEmpty())
        classes << configuredClass().name;
    QCollator order{QLocale(QLocale::French, QLocale::France)};
    order.setNumericMode(true);
    std::sort(classes.begin(), classes.end(), order);
    return classes;
}

QString classTitle(const QStringList& classes) {
    if (classes.isEmpty())
        return QStringLiteral("Résultats de la classe");
    return (classes.size() == 1 ? QStringLiteral("Résultats de la classe %1")
                                : QStringLiteral("Résultats des classes %1"))
        .arg(classes.join(QStringLiteral(", ")));
}

void classPage(ReportPainter& page, const ClassSummary& s, const QStringList& classes) {
    page.title(classTitle(classes), underTitle(s));
    // The level the class is set to play at, as the game reads it here.
    const QString list = classListFile();
    page.paragraph(
        QStringLiteral("Niveau de la classe : %1.")
            .arg(describeClassLevel(readSystemLevel(),
                                    list.isEmpty() ? ClassList() : readClassListFile(list))));
    page.paragraph(QStringLiteral("%1 manches jouées par %2 élèves, %3 de jeu en tout.")
                       .arg(french.toString(s.total.rounds))
                       .arg(s.mean.pupils)
                       .arg(durationText(s.total.seconds)));
    page.heading(QStringLiteral("Élèves à aider"));
    if (s.needHelp() == 0)
        page.paragraph(QStringLiteral("Aucun élève à aider pendant cette période."));
    for (const PupilSummary& p : s.pupils)
        if (p.help.needsHelp())
            page.paragraph(QStringLiteral("%1 : %2.").arg(p.name, reasonsOf(p)), helpColour);
    QStringList away;
    for (const PupilSummary& p : s.pupils)
        if (!p.help.needsHelp() && !p.help.reasons.empty())
            away << QStringLiteral("%1 (%2)").arg(p.name, p.help.shortText());
    if (!away.isEmpty())
        page.paragraph(QStringLiteral("Absents : %1.").arg(away.join(QStringLiteral(", "))));
    page.heading(QStringLiteral("La classe, élève par élève"));
    std::vector<QStringList> rows = {
        {QStringLiteral("Élève"), QStringLiteral("Manches"), QStringLiteral("Temps de jeu"),
         QStringLiteral("Points gardés par manche"), QStringLiteral("En dehors par manche"),
         QStringLiteral("Abandons par manche"), QStringLiteral("Score le plus haut"),
         QStringLiteral("Dernière partie"), QStringLiteral("À suivre")}};
    std::vector<bool> strong = {false};
    for (const PupilSummary& p : s.pupils) {
        const PeriodCounts& c = p.counts;
        const bool played = c.rounds > 0;
        rows.push_back(
            {p.name, QString::number(c.rounds), played ? durationText(c.seconds) : QString(),
             played ? frenchNumber(c.keptPerRound(), 2) : QString(),
             played ? frenchNumber(c.perRound(c.outside), 2) : QString(),
             played ? frenchNumber(c.perRound(c.gaveUp), 2) : QString(),
             p.figures.highestScore < 0 ? QString() : QString::number(p.figures.highestScore),
             p.figures.lastPlayed.isValid()
                 ? french.toString(p.figures.lastPlayed.date(), QStringLiteral("d MMM"))
                 : QString(),
             p.help.shortText()});
        strong.push_back(p.help.needsHelp());
    }
    const ClassMean& m = s.mean;
    rows.push_back({QStringLiteral("Moyenne de la classe"), frenchNumber(m.rounds, 0),
                    durationText(qint64(m.minutes * 60)), frenchNumber(m.keptPerRound, 2),
                    frenchNumber(m.outsidePerRound, 2), frenchNumber(m.gaveUpPerRound, 2),
                    frenchNumber(m.highestScore, 1), QString(), QString()});
    page.table({0.14, 0.09, 0.09, 0.1, 0.1, 0.1, 0.08, 0.1, 0.2}, rows, strong);
    page.paragraph(QStringLiteral("Points gardés : les points gagnés moins ceux que les réponses "
                                  "en dehors de l'intervalle et les abandons ont fait perdre. "
                                  "En rouge, les élèves à aider."),
                   Qt::darkGray);
}

// The pupil's weeks of the period, or months when there are too many
// weeks for the page: the highest score and the rounds played.
void pupilCharts(ReportPainter& page, const PupilRounds& rounds) {
    const ChartStep step =
        chartStepOf(rounds.rounds) == ChartStep::Day ? ChartStep::Week : chartStepOf(rounds.rounds);
    std::map<QDate, std::pair<int, int>> points; // highest, rounds
    for (const RoundRecord& r : rounds.rounds)
        if (wasPlayed(r)) {
            auto& [best, played] = points[chartDate(r.started.toLocalTime().date(), step)];
            best = std::max({best, r.scoreBefore, r.scoreAfter});
            ++played;
        }
    if (points.empty())
        return;
    QStringList labels;
    std::vector<double> best, played;
    double most = 10;
    for (const auto& [date, p] : points) {
        labels << french.toString(date, step == ChartStep::Month ? QStringLiteral("MM/yy")
                                                                 : QStringLiteral("dd/MM"));
        best.push_back(p.first);
        played.push_back(p.second);
        most = std::max(most, double(p.second));
    }
    const bool weeks = step == ChartStep::Week;
    page.bars(weeks ? QStringLiteral("Score le plus haut, semaine par semaine (10 : partie gagnée)")
                    : QStringLiteral("Score le plus haut, mois par mois (10 : partie gagnée)"),
              labels, best, 12, 10);
    page.bars(weeks ? QStringLiteral("Manches jouées, semaine par semaine")
                    : QStringLiteral("Manches jouées, mois par mois"),
              labels, played, std::ceil(most * 1.15 / 10) * 10);
}

void pupilPage(ReportPainter& page, const PupilSummary& p, const ClassSummary& s,
               const PupilRounds& rounds, const QString& className) {
    page.title(p.name, className.isEmpty()
                           ? underTitle(s)
                           : QStringLiteral("Classe %1 ; %2").arg(className, underTitle(s)));
    if (p.help.needsHelp())
        page.paragraph(QStringLiteral("À aider : %1.").arg(reasonsOf(p)), helpColour, true);
    else if (!p.help.reasons.empty())
        page.paragraph(capitalized(reasonsOf(p)) + QLatin1Char('.'));
    else
        page.paragraph(QStringLiteral("Rien à signaler."));
    page.heading(QStringLiteral("Chiffres de la période"));
    std::vector<QStringList> rows = {
        {QString(), QStringLiteral("Élève"), QStringLiteral("Moyenne de la classe")}};
    for (const FigureLine& line : figureLines(p, s.mean))
        rows.push_back({line.name, line.pupil, line.mean});
    page.table({0.5, 0.25, 0.25}, rows);
    pupilCharts(page, rounds);
}

} // namespace

bool writeReportPdf(const ClassRecord& data, const ClassSummary& summary, const QString& pupil,
                    const QString& file, QString* problem) {
    const auto fail = [&](const QString& why) {
        if (problem)
            *problem = why;
        return false;
    };
    if (!pupil.isEmpty() && !summary.pupil(pupil))
        return fail(QStringLiteral("aucun élève ne s'appelle %1").arg(pupil));
    // Written aside and renamed at the end, for the teacher's eyes only.
    QSaveFile out(file);
    if (!out.open(QIODevice::WriteOnly))
        return fail(out.errorString());
    if (!QFileInfo::exists(file))
        out.setPermissions(QFileDevice::ReadOwner | QFileDevice::WriteOwner);
    {
        QPdfWriter writer(&out);
        writer.setTitle(pupil.isEmpty() ? QStringLiteral("Quiltaro : résultats de la classe")
                                        : QStringLiteral("Quiltaro : résultats de %1").arg(pupil));
        writer.setCreator(QStringLiteral("Quiltaro"));
        ReportPainter page(writer);
        if (!page.ok())
            return fail(QStringLiteral("le document ne peut pas être préparé"));
        bool first = true;
        const QStringList classes = classesOf(data);
        if (pupil.isEmpty()) {
            classPage(page, summary, classes);
            first = false;
        }
        for (const PupilSummary& p : summary.pupils) {
            if (!pupil.isEmpty() && p.name != pupil)
                continue;
            if (!first)
                page.newPage();
            first = false;
            const PupilRounds* rounds = data.pupil(p.name);
            const QString className = rounds && !rounds->className.isEmpty() ? rounds->className
                                      : classes.size() == 1                  ? classes.front()
                                                                             : QString();
            pupilPage(page, p, summary,
                      rounds ? inPeriod(*rounds, summary.period) : PupilRounds{p.name, {}, {}},
                      className);
        }
        if (!page.finish())
            return fail(QStringLiteral("erreur d'écriture"));
    }
    if (!out.commit())
        return fail(out.errorString());
    return true;
}

} // namespace quiltaro
