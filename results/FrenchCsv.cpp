#include "FrenchCsv.h"

#include "NumberText.h"

#include <QTextStream>

#include <map>

namespace quiltaro {

namespace {

QString number(double value) {
    return QString::fromStdString(shortestDecimal(value))
        .replace(QLatin1Char('.'), QLatin1Char(','));
}

QString dateTime(const QDateTime& t) {
    return t.toLocalTime().toString(QStringLiteral("yyyy-MM-dd HH:mm:ss"));
}

// A word a newer version stored, which this one does not know, is written
// as it was stored: the teacher sees that it is none of these.
QString endingText(const RoundRecord& r) {
    switch (r.ending) {
    case Ending::Won:
        return QStringLiteral("trouvé");
    case Ending::GaveUp:
        return QStringLiteral("abandon");
    case Ending::NewRound:
        return QStringLiteral("nouvelle manche");
    case Ending::ProgramEnd:
        return QStringLiteral("fin du programme");
    case Ending::Unknown:
        return endingWord(r);
    }
    return {};
}

QString verdictText(const RoundRecord& r, size_t guess) {
    const std::optional<Verdict> verdict = r.guesses[guess].verdict;
    if (!verdict)
        return verdictWord(r, guess);
    switch (*verdict) {
    case Verdict::Outside:
        return QStringLiteral("en dehors");
    case Verdict::TooHigh:
        return QStringLiteral("trop grand");
    case Verdict::TooLow:
        return QStringLiteral("trop petit");
    case Verdict::Right:
        return QStringLiteral("trouvé");
    }
    return {};
}

bool isNumber(const QString& text) {
    bool ok = false;
    QString point = text;
    point.replace(QLatin1Char(','), QLatin1Char('.'));
    point.toDouble(&ok);
    return ok && !text.contains(QLatin1Char(' '));
}

} // namespace

QString csvCell(const QString& text) {
    QString cell = text;
    // =1+1, +1, -1+2, @SUM(...) would be formulas; a tab or a carriage return
    // first hides one.
    static const QString risky = QStringLiteral("=+-@\t\r");
    if (!cell.isEmpty() && risky.contains(cell.front()) && !isNumber(cell))
        cell.prepend(QLatin1Char('\''));
    if (cell.contains(QLatin1Char(';')) || cell.contains(QLatin1Char('"')) ||
        cell.contains(QLatin1Char('\n')) || cell.contains(QLatin1Char('\r'))) {
        cell.replace(QLatin1String("\""), QLatin1String("\"\""));
        cell = QLatin1Char('"') + cell + QLatin1Char('"');
    }
    return cell;
}

void writeFrenchCsv(const std::vector<PupilRounds>& pupils, QTextStream& out) {
    out.setEncoding(QStringConverter::Utf8);
    out.setGenerateByteOrderMark(true);
    // Headers in the teacher's words, accents included: a French
    // spreadsheet reads UTF-8 with its mark.
    out << QStringLiteral(
        "Classe;Élève;Partie;Manche;Début;Fin;Score avant;Score après;Borne basse;"
        "Borne haute;Nombre rouge;Essais;Points;Fin de la manche;Réponses;"
        "Verdicts;Niveau réglé;Niveau joué\r\n");
    for (const PupilRounds& pupil : pupils) {
        // Games numbered for each pupil, in the order they were played.
        std::map<QString, std::pair<int, int>> games; // token: (number, rounds so far)
        for (const RoundRecord& r : pupil.rounds) {
            auto [found, added] =
                games.try_emplace(r.gameToken, static_cast<int>(games.size()) + 1, 0);
            const int round = ++found->second.second;
            QStringList answers, verdicts;
            for (size_t i = 0; i < r.guesses.size(); ++i) {
                // As typed (a leading zero stays), with the comma the pupil saw.
                answers << QString::fromStdString(r.guesses[i].answer)
                               .replace(QLatin1Char('.'), QLatin1Char(','));
                verdicts << verdictText(r, i);
            }
            const QStringList fields = {
                pupil.className.isEmpty() ? r.className : pupil.className, pupil.name,
                QString::number(found->second.first), QString::number(round), dateTime(r.started),
                dateTime(r.ended), QString::number(r.scoreBefore), QString::number(r.scoreAfter),
                number(r.lowBound), number(r.highBound), number(r.redValue),
                QString::number(r.tries()), QString::number(r.points()), endingText(r),
                answers.join(QStringLiteral(" | ")), verdicts.join(QStringLiteral(" | ")),
                // Before levels could be set, every game played
                // at the default.
                QString::fromStdString(levelDescription(r.levels.value_or(LevelRange{}))),
                QString::fromStdString(kindDescription(r.numberKind()))};
            QStringList cells;
            for (const QString& f : fields)
                cells << csvCell(f);
            out << cells.join(QLatin1Char(';')) << "\r\n";
        }
    }
    out.flush();
}

} // namespace quiltaro
