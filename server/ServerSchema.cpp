#include "ServerSchema.h"

#include "ServerConnection.h"

#include <QSqlQuery>
#include <QVariant>

namespace quiltaro {

namespace {

// Every step can run on a server where it was done already.
//
// A round's identity is made on the computer that played it, so that a round
// sent twice (an answer lost after the server had committed it) is stored
// once: INSERT ... ON CONFLICT DO NOTHING. Without a conflict target, that
// asks for the INSERT privilege alone; naming the column would ask for SELECT
// on it, which the pupils' role must not have. The arrival order is an
// identity column: the server takes its next value without the inserting
// role needing any right on its sequence, as it would for a serial's default.
const char* const schemaSteps[] = {
    "CREATE SCHEMA IF NOT EXISTS quiltaro",
    "CREATE TABLE IF NOT EXISTS quiltaro.version (version integer NOT NULL)",
    "CREATE TABLE IF NOT EXISTS quiltaro.rounds ("
    " id uuid PRIMARY KEY,"
    " arrival bigint GENERATED ALWAYS AS IDENTITY,"
    " class_name text NOT NULL DEFAULT '' CHECK (length(class_name) <= 200),"
    " pupil text NOT NULL CHECK (length(pupil) <= 200),"
    " game_token text NOT NULL CHECK (length(game_token) <= 100),"
    " game_started timestamptz NOT NULL,"
    " started timestamptz NOT NULL,"
    " ended timestamptz NOT NULL,"
    " score_before smallint NOT NULL,"
    " score_after smallint NOT NULL,"
    " low_bound double precision NOT NULL,"
    " high_bound double precision NOT NULL,"
    " red_value real NOT NULL,"
    " ending text NOT NULL CHECK (length(ending) <= 20),"
    " answers text[] NOT NULL CHECK (cardinality(answers) <= 10000),"
    " verdicts text[] NOT NULL CHECK (cardinality(verdicts) = cardinality(answers)),"
    " received timestamptz NOT NULL DEFAULT now(),"
    " sent_by name NOT NULL DEFAULT current_user)",
    "CREATE INDEX IF NOT EXISTS rounds_by_class ON quiltaro.rounds (class_name, arrival)",
    "CREATE TABLE IF NOT EXISTS quiltaro.class_lists ("
    " class_name text NOT NULL DEFAULT '',"
    " position integer NOT NULL,"
    " name text NOT NULL CHECK (length(name) BETWEEN 1 AND 200),"
    " changed_by name NOT NULL DEFAULT current_user,"
    " changed_at timestamptz NOT NULL DEFAULT now(),"
    " PRIMARY KEY (class_name, name))",
    // The levels a class plays at, and its pupils, as in a class list file;
    // an older server gets them when --setup-server runs again.
    "ALTER TABLE quiltaro.class_lists ADD COLUMN IF NOT EXISTS"
    " level text CHECK (length(level) <= 40)",
    "CREATE TABLE IF NOT EXISTS quiltaro.class_levels ("
    " class_name text PRIMARY KEY,"
    " level text NOT NULL CHECK (length(level) <= 40),"
    " changed_by name NOT NULL DEFAULT current_user,"
    " changed_at timestamptz NOT NULL DEFAULT now())",
    // The kind each round was played at, and the levels set; none in rounds
    // sent before.
    "ALTER TABLE quiltaro.rounds ADD COLUMN IF NOT EXISTS kind text CHECK (length(kind) <= 20)",
    "ALTER TABLE quiltaro.rounds ADD COLUMN IF NOT EXISTS level text CHECK (length(level) <= 40)",
    "DO $$ BEGIN"
    " IF NOT EXISTS (SELECT FROM pg_roles WHERE rolname = 'quiltaro_eleve') THEN"
    "  CREATE ROLE quiltaro_eleve NOLOGIN;"
    " END IF;"
    " IF NOT EXISTS (SELECT FROM pg_roles WHERE rolname = 'quiltaro_enseignant') THEN"
    "  CREATE ROLE quiltaro_enseignant NOLOGIN;"
    " END IF;"
    " END $$",
    // What the two roles may do, and nothing more: whatever they were given
    // by hand is taken back first. Other roles keep what the school gave them.
    "REVOKE ALL ON SCHEMA quiltaro FROM PUBLIC, quiltaro_eleve, quiltaro_enseignant",
    "REVOKE ALL ON ALL TABLES IN SCHEMA quiltaro FROM PUBLIC, quiltaro_eleve, quiltaro_enseignant",
    "REVOKE ALL ON ALL SEQUENCES IN SCHEMA quiltaro FROM PUBLIC, quiltaro_eleve, "
    "quiltaro_enseignant",
    "GRANT USAGE ON SCHEMA quiltaro TO quiltaro_eleve, quiltaro_enseignant",
    // The pupils' computers name the columns they fill: the arrival, the
    // time received and the sender are the server's own.
    "GRANT INSERT (id, class_name, pupil, game_token, game_started, started, ended,"
    " score_before, score_after, low_bound, high_bound, red_value, ending, answers, verdicts,"
    " kind, level)"
    " ON quiltaro.rounds TO quiltaro_eleve, quiltaro_enseignant",
    // What "Qui joue ?" shows and the level each plays at: not who wrote
    // them or when.
    "GRANT SELECT (class_name, position, name, level) ON quiltaro.class_lists TO quiltaro_eleve",
    "GRANT SELECT (class_name, level) ON quiltaro.class_levels TO quiltaro_eleve",
    "GRANT SELECT, DELETE ON quiltaro.rounds TO quiltaro_enseignant",
    "GRANT SELECT, INSERT, UPDATE, DELETE ON quiltaro.class_lists TO quiltaro_enseignant",
    "GRANT SELECT, INSERT, UPDATE, DELETE ON quiltaro.class_levels TO quiltaro_enseignant",
    "GRANT SELECT ON quiltaro.version TO quiltaro_enseignant",
};

// Everything the steps set, in one text: the same before and after a run
// that had nothing to do.
const char* const fingerprint =
    "SELECT coalesce(string_agg(item, ';' ORDER BY item), '') FROM ("
    " SELECT 'role ' || rolname || ' ' || rolcanlogin AS item FROM pg_roles"
    "  WHERE rolname IN ('quiltaro_eleve', 'quiltaro_enseignant')"
    " UNION ALL SELECT 'schema ' || a.grantee::regrole || ' ' || a.privilege_type"
    "  FROM pg_namespace n, aclexplode(n.nspacl) a WHERE n.nspname = 'quiltaro'"
    " UNION ALL SELECT 'relation ' || c.relname FROM pg_class c"
    "  JOIN pg_namespace n ON n.oid = c.relnamespace WHERE n.nspname = 'quiltaro'"
    " UNION ALL SELECT 'column ' || c.relname || '.' || t.attname || ' ' || t.attnum || ' '"
    "  || format_type(t.atttypid, t.atttypmod) FROM pg_attribute t JOIN pg_class c ON c.oid ="
    "  t.attrelid JOIN pg_namespace n ON n.oid = c.relnamespace"
    "  WHERE n.nspname = 'quiltaro' AND t.attnum > 0 AND NOT t.attisdropped"
    " UNION ALL SELECT 'grant ' || c.relname || ' ' || a.grantee::regrole || ' ' ||"
    "  a.privilege_type FROM pg_class c JOIN pg_namespace n ON n.oid = c.relnamespace,"
    "  aclexplode(c.relacl) a WHERE n.nspname = 'quiltaro'"
    " UNION ALL SELECT 'grant ' || c.relname || '.' || t.attname || ' ' || a.grantee::regrole"
    "  || ' ' || a.privilege_type FROM pg_attribute t JOIN pg_class c ON c.oid = t.attrelid"
    "  JOIN pg_namespace n ON n.oid = c.relnamespace, aclexplode(t.attacl) a"
    "  WHERE n.nspname = 'quiltaro'"
    " UNION ALL SELECT 'version ' || version FROM quiltaro.version"
    ") items";

bool readFingerprint(ServerConnection& server, QString& into) {
    QSqlQuery q(server.database());
    // The version table may not be there yet.
    if (!server.exec(q, QStringLiteral("SELECT to_regclass('quiltaro.version') IS NOT NULL")) ||
        !q.next())
        return false;
    const bool hasVersion = q.value(0).toBool();
    QString sql = QString::fromLatin1(fingerprint);
    if (!hasVersion)
        sql.replace(QStringLiteral(" UNION ALL SELECT 'version ' || version FROM quiltaro.version"),
                    QString());
    if (!server.exec(q, sql) || !q.next())
        return false;
    into = q.value(0).toString();
    return true;
}

} // namespace

bool setUpServerSchema(ServerConnection& server, bool& changed, QString& problem) {
    changed = false;
    if (!server.open() || !server.begin())
        return false;
    auto fail = [&] {
        server.rollback();
        return false;
    };
    QString before, after;
    QSqlQuery quiet(server.database());
    // The server's notes on what was there already are no news.
    if (!server.exec(quiet, QStringLiteral("SET LOCAL client_min_messages = warning")) ||
        !readFingerprint(server, before))
        return fail();
    QSqlQuery q(server.database());
    for (const char* step : schemaSteps)
        if (!server.exec(q, QString::fromLatin1(step)))
            return fail();
    // Upgrades of later versions go here, each from the one before.
    if (!server.exec(q, QStringLiteral("SELECT max(version) FROM quiltaro.version")) || !q.next())
        return fail();
    const int version = q.value(0).isNull() ? 0 : q.value(0).toInt();
    if (version > serverSchemaVersion) {
        problem = QStringLiteral("les tables viennent d'une version plus récente de Quiltaro, que "
                                 "celle-ci ne sait pas mettre à jour");
        server.rollback();
        return false;
    }
    if (version < serverSchemaVersion &&
        (!server.exec(q, QStringLiteral("DELETE FROM quiltaro.version")) ||
         !server.exec(
             q,
             QStringLiteral("INSERT INTO quiltaro.version VALUES (%1)").arg(serverSchemaVersion))))
        return fail();
    if (!readFingerprint(server, after))
        return fail();
    changed = before != after;
    return server.commit();
}

} // namespace quiltaro
