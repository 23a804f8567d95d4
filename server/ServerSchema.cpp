#include "ServerSchema.h"

#include "ServerConnection.h"

#include <QFile>
#include <QSqlQuery>
#include <QVariant>

namespace quiltaro {

namespace {

// Everything the set-up sets, in one text: the same before and after a run
// that had nothing to do.
const char* const fingerprint =
    "SELECT coalesce(string_agg(item, ';' ORDER BY item), '') FROM ("
    " SELECT 'role ' || rolname || ' ' || rolcanlogin AS item FROM pg_roles"
    "  WHERE rolname IN ('quiltaro_eleve', 'quiltaro_enseignant')"
    " UNION ALL SELECT 'schema ' || a.grantee::regrole || ' ' || a.privilege_type"
    "  FROM pg_namespace n, aclexplode(n.nspacl) a WHERE n.nspname = 'quiltaro'"
    " UNION ALL SELECT 'relation ' || c.relname || ' ' || c.relrowsecurity FROM pg_class c"
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
    " UNION ALL SELECT 'function ' || p.proname || ' ' || md5(p.prosrc) || ' ' ||"
    "  p.prosecdef::text || ' ' || coalesce(p.proacl::text, '') FROM pg_proc p"
    "  JOIN pg_namespace n ON n.oid = p.pronamespace WHERE n.nspname = 'quiltaro'"
    " UNION ALL SELECT 'constraint ' || conname || ' ' || pg_get_constraintdef(k.oid)"
    "  FROM pg_constraint k JOIN pg_namespace n ON n.oid = k.connamespace"
    "  WHERE n.nspname = 'quiltaro'"
    " UNION ALL SELECT 'trigger ' || tgname || ' ' || tgenabled::text FROM pg_trigger g"
    "  JOIN pg_class c ON c.oid = g.tgrelid JOIN pg_namespace n ON n.oid = c.relnamespace"
    "  WHERE n.nspname = 'quiltaro' AND NOT tgisinternal"
    " UNION ALL SELECT 'policy ' || tablename || ' ' || policyname || ' ' || roles::text"
    "  || ' ' || cmd || ' ' || coalesce(qual, '') || ' ' || coalesce(with_check, '')"
    "  FROM pg_policies WHERE schemaname = 'quiltaro'"
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

// The script's own BEGIN and COMMIT are psql's: here the set-up runs in a
// transaction of its own, with its fingerprints.
bool psqlsOnly(const QString& statement) {
    const QString word = statement.simplified().toUpper();
    return word == QLatin1String("BEGIN") || word == QLatin1String("COMMIT");
}

} // namespace

QStringList splitSqlScript(const QString& script) {
    QStringList statements;
    QString current;
    const qsizetype n = script.size();
    for (qsizetype i = 0; i < n; ++i) {
        const QChar c = script[i];
        if (c == QLatin1Char('-') && i + 1 < n && script[i + 1] == QLatin1Char('-')) {
            // A comment, to the end of its line.
            while (i < n && script[i] != QLatin1Char('\n'))
                ++i;
            current += QLatin1Char('\n');
            continue;
        }
        if (c == QLatin1Char('\'') || c == QLatin1Char('"')) {
            // A string or a quoted name; a doubled quote stays inside.
            const qsizetype end = script.indexOf(c, i + 1);
            const qsizetype stop = end < 0 ? n : end + 1;
            current += script.mid(i, stop - i);
            i = stop - 1;
            continue;
        }
        if (c == QLatin1Char('$')) {
            // A dollar-quoted body: $$ ... $$ or $tag$ ... $tag$.
            qsizetype close = i + 1;
            while (close < n && (script[close].isLetterOrNumber() || script[close] == '_'))
                ++close;
            if (close < n && script[close] == QLatin1Char('$')) {
                const QString tag = script.mid(i, close - i + 1);
                const qsizetype end = script.indexOf(tag, close + 1);
                const qsizetype stop = end < 0 ? n : end + tag.size();
                current += script.mid(i, stop - i);
                i = stop - 1;
                continue;
            }
        }
        if (c == QLatin1Char(';')) {
            if (!current.trimmed().isEmpty())
                statements << current.trimmed();
            current.clear();
            continue;
        }
        current += c;
    }
    if (!current.trimmed().isEmpty())
        statements << current.trimmed();
    return statements;
}

QString serverSetupScript() {
    QFile file(QStringLiteral(":/quiltaro/quiltaro-serveur.sql"));
    if (!file.open(QIODevice::ReadOnly))
        return {};
    return QString::fromUtf8(file.readAll());
}

bool setUpServerSchema(ServerConnection& server, bool& changed, QString& problem) {
    changed = false;
    const QStringList statements = splitSqlScript(serverSetupScript());
    if (statements.isEmpty()) {
        problem = QStringLiteral("le script de préparation manque à ce programme");
        return false;
    }
    if (!server.open() || !server.begin())
        return false;
    auto fail = [&] {
        if (server.sqlState() == QLatin1String("QL001"))
            problem = QStringLiteral("les tables viennent d'une version plus récente de "
                                     "Quiltaro, que celle-ci ne sait pas mettre à jour");
        server.rollback();
        return false;
    };
    QString before, after;
    QSqlQuery q(server.database());
    // The server's notes on what was there already are no news.
    if (!server.exec(q, QStringLiteral("SET LOCAL client_min_messages = warning")) ||
        !readFingerprint(server, before))
        return fail();
    for (const QString& statement : statements)
        if (!psqlsOnly(statement) && !server.exec(q, statement))
            return fail();
    if (!readFingerprint(server, after))
        return fail();
    changed = before != after;
    return server.commit();
}

} // namespace quiltaro
