#include "ServerBulk.h"

#include "ServerConnection.h"
#include "ServerRounds.h"

#include <QSqlQuery>
#include <QVariant>

#include <algorithm>

namespace quiltaro {

namespace {

constexpr size_t roundsAStatement = 5000;

// One array a column, unnested into rows by the server; the guesses of each
// round go as the text of an array, made an array there.
const char* const insertMany =
    "INSERT INTO quiltaro.rounds (id, class_name, pupil, game_token, game_started, started, ended,"
    " score_before, score_after, low_bound, high_bound, red_value, ending, answers, verdicts,"
    " kind, level)"
    " SELECT id, ?, pupil, token, to_timestamp(gs::float8 / 1000), to_timestamp(s::float8 / 1000),"
    " to_timestamp(e::float8 / 1000), b, a, lo, hi, red, ending, answers::text[], verdicts::text[],"
    " nullif(kind, ''), nullif(level, '')"
    " FROM unnest(?::uuid[], ?::text[], ?::text[], ?::bigint[], ?::bigint[], ?::bigint[],"
    " ?::smallint[], ?::smallint[], ?::float8[], ?::float8[], ?::float4[], ?::text[], ?::text[],"
    " ?::text[], ?::text[], ?::text[])"
    " AS r(id, pupil, token, gs, s, e, b, a, lo, hi, red, ending, answers, verdicts, kind, level)"
    " ON CONFLICT DO NOTHING";

QString numbers(const std::vector<double>& values) {
    QStringList text;
    for (double v : values)
        text << QString::number(v, 'g', 17);
    return QLatin1Char('{') + text.join(QLatin1Char(',')) + QLatin1Char('}');
}

bool sendSome(ServerConnection& server, const RoundRecord* first, size_t count,
              const QString& className) {
    QStringList ids, pupils, tokens, endings, answers, verdicts, kinds, levels;
    std::vector<double> columns[8];
    for (const RoundRecord* r = first; r != first + count; ++r) {
        ids << roundIdentity(*r).toString(QUuid::WithoutBraces);
        pupils << r->pupil;
        tokens << r->gameToken;
        endings << endingWord(*r);
        QStringList a, v;
        for (size_t i = 0; i < r->guesses.size(); ++i) {
            a << QString::fromStdString(r->guesses[i].answer);
            v << verdictWord(*r, i);
        }
        answers << textArrayLiteral(a);
        verdicts << textArrayLiteral(v);
        kinds << kindValue(r->kind).toString();
        levels << levelsValue(r->levels).toString();
        const double values[8] = {double(r->gameStarted.toMSecsSinceEpoch()),
                                  double(r->started.toMSecsSinceEpoch()),
                                  double(r->ended.toMSecsSinceEpoch()),
                                  double(r->scoreBefore),
                                  double(r->scoreAfter),
                                  r->lowBound,
                                  r->highBound,
                                  double(r->redValue)};
        for (int i = 0; i < 8; ++i)
            columns[i].push_back(values[i]);
    }
    QSqlQuery q(server.database());
    if (!server.prepare(q, QString::fromLatin1(insertMany)))
        return false;
    q.addBindValue(className);
    for (const QStringList* texts : {&ids, &pupils, &tokens})
        q.addBindValue(textArrayLiteral(*texts));
    for (const std::vector<double>& values : columns)
        q.addBindValue(numbers(values));
    for (const QStringList* texts : {&endings, &answers, &verdicts, &kinds, &levels})
        q.addBindValue(textArrayLiteral(*texts));
    return server.exec(q);
}

} // namespace

bool sendRounds(ServerConnection& server, const std::vector<RoundRecord>& rounds,
                const QString& className) {
    if (!server.open() || !server.begin())
        return false;
    for (size_t from = 0; from < rounds.size(); from += roundsAStatement)
        if (!sendSome(server, rounds.data() + from,
                      std::min(roundsAStatement, rounds.size() - from), className)) {
            server.rollback();
            return false;
        }
    return server.commit();
}

} // namespace quiltaro
