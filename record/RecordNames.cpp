#include "RecordStore.h"

#include "AnswerEntry.h"

namespace quiltaro {

const char* endingName(Ending ending) {
    switch (ending) {
    case Ending::Won:
        return "won";
    case Ending::GaveUp:
        return "gave_up";
    case Ending::NewRound:
        return "new_round";
    case Ending::ProgramEnd:
    case Ending::Unknown: // its own word is kept with the round: endingWord
        return "program_end";
    }
    return "program_end";
}

QString endingWord(const RoundRecord& round) {
    if (round.ending == Ending::Unknown && round.unknown.words)
        return round.unknown.words->ending;
    return QLatin1String(endingName(round.ending));
}

QString verdictWord(const RoundRecord& round, size_t guess) {
    if (const std::optional<Verdict> v = round.guesses.at(guess).verdict)
        return QLatin1String(verdictName(*v));
    if (round.unknown.words)
        for (const auto& [index, word] : round.unknown.words->verdicts)
            if (index == guess)
                return word;
    return QString();
}

QString knownVerdictsSql() {
    QStringList names;
    for (Verdict v : {Verdict::Outside, Verdict::TooHigh, Verdict::TooLow, Verdict::Right})
        names << QStringLiteral("'%1'").arg(QLatin1String(verdictName(v)));
    return names.join(QLatin1Char(','));
}

std::optional<Ending> endingFromName(QAnyStringView name) {
    for (Ending e : {Ending::Won, Ending::GaveUp, Ending::NewRound, Ending::ProgramEnd})
        if (QAnyStringView::equal(name, QLatin1StringView(endingName(e))))
            return e;
    return std::nullopt;
}

const char* verdictName(Verdict verdict) {
    switch (verdict) {
    case Verdict::Outside:
        return "outside";
    case Verdict::TooHigh:
        return "too_high";
    case Verdict::TooLow:
        return "too_low";
    case Verdict::Right:
        return "right";
    }
    return "outside";
}

std::optional<Verdict> verdictFromName(QAnyStringView name) {
    for (Verdict v : {Verdict::Outside, Verdict::TooHigh, Verdict::TooLow, Verdict::Right})
        if (QAnyStringView::equal(name, QLatin1StringView(verdictName(v))))
            return v;
    return std::nullopt;
}

QVariant kindValue(const std::optional<NumberKind>& kind) {
    return kind ? QVariant(QLatin1String(kindName(*kind))) : QVariant();
}

QVariant levelsValue(const std::optional<LevelRange>& levels) {
    return levels ? QVariant(QString::fromStdString(levelName(*levels))) : QVariant();
}

std::optional<NumberKind> kindFromName(const QString& name) {
    return name.isEmpty() ? std::nullopt : parseKind(name.toStdString());
}

std::optional<LevelRange> levelsFromName(const QString& name) {
    return name.isEmpty() ? std::nullopt : parseLevel(name.toStdString());
}

std::vector<Verdict> replayVerdicts(double low, double high, float red,
                                    const std::vector<std::string>& answers) {
    std::vector<Verdict> verdicts;
    for (const std::string& answer : answers) {
        // Read as the game reads an answer: on a French desktop strtod
        // would stop at the decimal point.
        const float guess = answerValue(answer);
        if (guess > high || guess < low) {
            verdicts.push_back(Verdict::Outside);
        } else if (guess > red) {
            verdicts.push_back(Verdict::TooHigh);
            high = guess;
        } else if (guess < red) {
            verdicts.push_back(Verdict::TooLow);
            low = guess;
        } else {
            verdicts.push_back(Verdict::Right);
        }
    }
    return verdicts;
}

} // namespace quiltaro
