#include "Results.h"

#include "Commands.h"
#include "Generation.h"
#include "NumberText.h"
#include "RecordReading.h"
#include "SqliteErrors.h"

#include <QFileInfo>
#include <QSqlDatabase>
#include <QSqlError>
#include <QSqlQuery>
#include <QTextStream>
#include <QUuid>
#include <QVariant>

#include <map>

namespace quiltaro {

ScoreBand scoreBandOf(int scoreBefore) {
    const double grid = bandFor(scoreBefore).grid;
    return grid < 10 ? ScoreBand::Integers : grid < 100 ? ScoreBand::Tenths : ScoreBand::Hundredths;
}

double GameSummary::meanTriesFound() const {
    return found > 0 ? static_cast<double>(triesFound) / found : -1;
}

namespace {

ResultsData query(QSqlDatabase& db, int recentGames) {
    ResultsData data;
    QSqlQuery q(db);
    q.setForwardOnly(true);
    auto unreadable = [&](const QSqlQuery& failed) {
        data.state = ResultsData::State::Unreadable;
        data.damaged = causeOf(failed.lastError(), db.databaseName()) == Cause::Corrupt;
        data.problem = QStringLiteral("erreur de lecture");
        return data;
    };
    if (!q.exec(QStringLiteral("PRAGMA user_version")) || !q.next())
        return unreadable(q);
    const int version = q.value(0).toInt();
    if (version > RecordStore::schemaVersion) {
        data.state = ResultsData::State::Newer;
        return data;
    }
    if (version == 0)
        return data;
    if (!q.exec(QStringLiteral("SELECT COUNT(*), MIN(started_at), MAX(started_at) FROM games")) ||
        !q.next())
        return unreadable(q);
    data.games = q.value(0).toLongLong();
    if (data.games == 0)
        return data;
    data.first = QDateTime::fromMSecsSinceEpoch(q.value(1).toLongLong());
    data.last = QDateTime::fromMSecsSinceEpoch(q.value(2).toLongLong());
    if (!q.exec(QStringLiteral("SELECT COUNT(*) FROM rounds")) || !q.next())
        return unreadable(q);
    data.rounds = q.value(0).toLongLong();

    q.prepare(QStringLiteral("SELECT id, started_at FROM games ORDER BY id DESC LIMIT ?"));
    q.addBindValue(recentGames);
    if (!q.exec())
        return unreadable(q);
    std::map<qint64, GameSummary> games;
    while (q.next()) {
        GameSummary& g = games[q.value(0).toLongLong()];
        g.number = q.value(0).toLongLong();
        g.started = QDateTime::fromMSecsSinceEpoch(q.value(1).toLongLong());
    }
    // A scan stopped by a damaged page ends as one that is done: ask.
    if (q.lastError().isValid())
        return unreadable(q);
    if (games.empty())
        return data;
    q.prepare(QStringLiteral("SELECT game_id, score_before, score_after, tries, ending"
                             " FROM rounds WHERE game_id >= ? ORDER BY id"));
    q.addBindValue(games.begin()->first);
    if (!q.exec())
        return unreadable(q);
    std::map<qint64, std::array<std::pair<int, int>, 3>> bandTries; // game: (tries, rounds)
    while (q.next()) {
        const auto found = games.find(q.value(0).toLongLong());
        if (found == games.end())
            continue;
        GameSummary& g = found->second;
        ++g.rounds;
        g.finalScore = q.value(2).toInt();
        const QString ending = q.value(4).toString();
        if (ending == QLatin1String(endingName(Ending::Won))) {
            const int tries = q.value(3).toInt();
            ++g.found;
            g.triesFound += tries;
            auto& band = bandTries[g.number][static_cast<int>(scoreBandOf(q.value(1).toInt()))];
            band.first += tries;
            ++band.second;
        } else if (ending == QLatin1String(endingName(Ending::GaveUp))) {
            ++g.gaveUp;
        }
    }
    if (q.lastError().isValid())
        return unreadable(q);
    for (auto& [number, g] : games) {
        for (int b = 0; b < 3; ++b) {
            const auto [tries, rounds] = bandTries[number][b];
            g.meanTries[b] = rounds > 0 ? static_cast<double>(tries) / rounds : -1;
        }
        data.recent.push_back(g);
    }
    data.state = ResultsData::State::Ready;
    return data;
}

// The same summary from the rounds that could be read of a damaged file.
ResultsData summarise(const std::vector<RoundRecord>& rounds, int recentGames) {
    ResultsData data;
    std::map<QString, GameSummary> byToken;
    std::vector<QString> order;
    std::map<QString, std::array<std::pair<int, int>, 3>> bandTries;
    for (const RoundRecord& r : rounds) {
        auto [found, added] = byToken.try_emplace(r.gameToken);
        GameSummary& g = found->second;
        if (added) {
            order.push_back(r.gameToken);
            g.number = static_cast<qint64>(order.size());
            g.started = r.gameStarted;
        }
        ++g.rounds;
        g.finalScore = r.scoreAfter;
        if (r.ending == Ending::Won) {
            ++g.found;
            g.triesFound += r.tries();
            auto& band = bandTries[r.gameToken][static_cast<int>(scoreBandOf(r.scoreBefore))];
            band.first += r.tries();
            ++band.second;
        } else if (r.ending == Ending::GaveUp) {
            ++g.gaveUp;
        }
        data.first = data.first.isValid() ? std::min(data.first, r.gameStarted) : r.gameStarted;
        data.last = data.last.isValid() ? std::max(data.last, r.gameStarted) : r.gameStarted;
    }
    data.games = static_cast<qint64>(order.size());
    data.rounds = static_cast<qint64>(rounds.size());
    for (size_t i = order.size() > size_t(recentGames) ? order.size() - recentGames : 0;
         i < order.size(); ++i) {
        GameSummary g = byToken[order[i]];
        for (int b = 0; b < 3; ++b) {
            const auto [tries, count] = bandTries[order[i]][b];
            g.meanTries[b] = count > 0 ? static_cast<double>(tries) / count : -1;
        }
        data.recent.push_back(g);
    }
    data.state = data.games > 0 ? ResultsData::State::Ready : ResultsData::State::Empty;
    return data;
}

} // namespace

ResultsData summariseRounds(const std::vector<RoundRecord>& rounds, int recentGames) {
    return summarise(rounds, recentGames);
}

bool recordIsWhole(const QString& path) {
    if (!QFileInfo::exists(path))
        return true;
    const QString connection =
        QStringLiteral("quiltaro-check-") + QUuid::createUuid().toString(QUuid::WithoutBraces);
    bool whole = true;
    {
        QSqlDatabase db = QSqlDatabase::addDatabase(QStringLiteral("QSQLITE"), connection);
        if (openReadOnly(db, path))
            whole = wholeFile(db);
        db.close();
    }
    QSqlDatabase::removeDatabase(connection);
    return whole;
}

ResultsData loadResults(const QString& path, int recentGames, bool checkWhole) {
    ResultsData data;
    if (!QFileInfo::exists(path))
        return data;
    const QString connection =
        QStringLiteral("quiltaro-results-") + QUuid::createUuid().toString(QUuid::WithoutBraces);
    {
        QSqlDatabase db = QSqlDatabase::addDatabase(QStringLiteral("QSQLITE"), connection);
        if (openReadOnly(db, path)) {
            data = query(db, recentGames);
            // Damage can make a count or a scan come out short without an error.
            if (checkWhole && data.state != ResultsData::State::Newer && !data.damaged &&
                !wholeFile(db))
                data.damaged = true;
        } else {
            data.state = ResultsData::State::Unreadable;
            data.problem = QStringLiteral("le fichier ne peut pas être ouvert");
        }
        db.close();
    }
    QSqlDatabase::removeDatabase(connection);
    // Rounds kept beside the record, which the next game writes in, are not
    // in the file yet: the slower reading that finds them is taken then, as
    // it is for a damaged file, of which whatever can still be read is shown,
    // and how much that is.
    const bool keptAside = data.state != ResultsData::State::Newer &&
                           data.state != ResultsData::State::Unreadable &&
                           !keptAsideFiles(path).isEmpty();
    if (data.damaged || keptAside) {
        const RecordContents contents = readRecord(path);
        const bool damaged = data.damaged || contents.state == RecordContents::State::Damaged;
        data = summarise(contents.rounds, recentGames);
        if (damaged) {
            data.damaged = true;
            data.warning = damagedRecordText(path, contents.rounds.size(), contents.roundsClaimed)
                               .section(QStringLiteral(" : "), 1);
        }
    }
    return data;
}

namespace {

QString csvField(QString text) {
    if (!text.contains(QLatin1Char(',')) && !text.contains(QLatin1Char('"')) &&
        !text.contains(QLatin1Char('\n')))
        return text;
    text.replace(QLatin1String("\""), QLatin1String("\"\""));
    return QLatin1Char('"') + text + QLatin1Char('"');
}

QString number(double value) {
    return QString::fromStdString(shortestDecimal(value));
}

QString endingText(Ending ending) {
    switch (ending) {
    case Ending::Won:
        return QStringLiteral("trouvé");
    case Ending::GaveUp:
        return QStringLiteral("abandon");
    case Ending::NewRound:
        return QStringLiteral("nouvelle manche");
    case Ending::ProgramEnd:
        return QStringLiteral("fin du programme");
    }
    return {};
}

} // namespace

void writeCsv(const std::vector<RoundRecord>& rounds, QTextStream& out) {
    out.setEncoding(QStringConverter::Utf8);
    out << "partie,manche,debut,fin,score_avant,score_apres,borne_basse,borne_haute,"
           "nombre_rouge,essais,points,fin_de_manche,reponses\n";
    std::map<QString, std::pair<int, int>> games; // token: (number, rounds so far)
    for (const RoundRecord& r : rounds) {
        auto [found, added] = games.try_emplace(r.gameToken, static_cast<int>(games.size()) + 1, 0);
        const int game = found->second.first;
        const int round = ++found->second.second;
        QStringList answers;
        for (const Guess& g : r.guesses)
            answers << QString::fromStdString(g.answer);
        const QStringList fields = {
            QString::number(game),
            QString::number(round),
            r.started.toOffsetFromUtc(r.started.offsetFromUtc()).toString(Qt::ISODate),
            r.ended.toOffsetFromUtc(r.ended.offsetFromUtc()).toString(Qt::ISODate),
            QString::number(r.scoreBefore),
            QString::number(r.scoreAfter),
            number(r.lowBound),
            number(r.highBound),
            number(r.redValue),
            QString::number(r.tries()),
            QString::number(r.points()),
            endingText(r.ending),
            answers.join(QLatin1Char(' '))};
        QStringList escaped;
        for (const QString& f : fields)
            escaped << csvField(f);
        out << escaped.join(QLatin1Char(',')) << '\n';
    }
    out.flush();
}

} // namespace quiltaro
