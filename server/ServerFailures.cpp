#include "ServerFailures.h"

#include "ServerConfig.h"

#include <QRegularExpression>
#include <QSqlError>

namespace quiltaro {

namespace {

struct Words {
    QString text; // the driver's and the server's words, lower case
    QString state;
    bool has(const char* words) const { return text.contains(QLatin1String(words)); }
};

// libpq names the host it could not find between quotes.
QString hostNamed(const QString& text) {
    static const QRegularExpression quotedHost(QStringLiteral("host name \"([^\"]*)\""));
    const QRegularExpressionMatch m = quotedHost.match(text);
    return m.hasMatch() ? QStringLiteral(" « %1 »").arg(m.captured(1)) : QString();
}

// Refusals before any statement: the connection itself.
QString refusal(const Words& w, const QString& original) {
    if (w.state == QLatin1String("28P01") || w.has("password authentication failed") ||
        w.has("authentification par mot de passe"))
        return QStringLiteral("le serveur a refusé le mot de passe de ce rôle ; corrigez-le dans "
                              "~/.pgpass ou le fichier de service du poste, ou changez-le sur le "
                              "serveur (ALTER ROLE ... PASSWORD)");
    if (w.has("no password supplied"))
        return QStringLiteral("le serveur demande un mot de passe, que ni ~/.pgpass ni le "
                              "service ne donnent ; ajoutez-le dans ~/.pgpass");
    if (w.has("root certificate file") && w.has("does not exist"))
        return QStringLiteral("sslmode=verify-full demande le certificat racine de l'autorité qui "
                              "a signé celui du serveur, absent de ce poste ; copiez-le dans "
                              "~/.postgresql/root.crt, ou indiquez-le par sslrootcert=");
    // A computer admitted by its certificate (`cert`, or clientcert=) sent
    // none, or another role's.
    if (w.has("requires a valid client certificate") ||
        w.has("certificate authentication failed") || w.has("certificate not provided"))
        return QStringLiteral("le serveur n'admet ce poste que sur présentation de son certificat, "
                              "absent ou fait pour un autre rôle ; installez le certificat et la "
                              "clé de ce poste, faits par l'administrateur au nom de son rôle, et "
                              "indiquez-les par sslcert= et sslkey= dans le fichier de service");
    if (w.has("private key file") && w.has("access"))
        return QStringLiteral("la clé du certificat de ce poste est lisible par trop de comptes, "
                              "et libpq refuse de s'en servir ; donnez-la à root et au groupe "
                              "des élèves seulement (chown root:eleves, chmod 0640), ou à ce seul "
                              "compte (chmod 0600)");
    if (w.has("could not load private key") || w.has("could not open certificate file") ||
        w.has("certificate present, but not private key"))
        return QStringLiteral(
            "le certificat ou la clé de ce poste (sslcert=, sslkey= du fichier de "
            "service) n'a pas pu être lu ; vérifiez leurs chemins et que le "
            "groupe des élèves peut les lire");
    // Its words name the encryption tried, SSL among them: before sslmode.
    if (w.has("no pg_hba.conf entry"))
        return QStringLiteral("le serveur refuse ce poste : aucune ligne de son pg_hba.conf "
                              "n'admet cette adresse avec ce rôle et cette base ; ajoutez-en une, "
                              "puis rechargez le serveur (SELECT pg_reload_conf())");
    if (w.has("pg_hba.conf"))
        return QStringLiteral("le serveur refuse ce poste : une ligne de son pg_hba.conf rejette "
                              "cette adresse, ce rôle ou cette base ; changez-la, puis rechargez "
                              "le serveur (SELECT pg_reload_conf())");
    if (w.has("server does not support ssl") || w.has("ssl"))
        return QStringLiteral("la connexion chiffrée demandée (sslmode) n'a pas pu être établie "
                              "avec le serveur ; activez ssl sur le serveur, ou changez sslmode");
    if (w.state == QLatin1String("3D000") || (w.has("database") && w.has("does not exist")) ||
        (w.has("la base de donn") && w.has("n'existe pas")))
        return QStringLiteral("la base de données indiquée n'existe pas sur le serveur ; "
                              "vérifiez dbname= dans quiltaro.conf");
    if (w.state == QLatin1String("28000") ||
        (w.has("role") && (w.has("does not exist") || w.has("n'existe pas"))))
        return QStringLiteral("le serveur n'accepte pas ce rôle ; vérifiez user= dans "
                              "quiltaro.conf, et que le rôle existe et peut se connecter "
                              "(LOGIN)");
    if (w.has("could not translate host name"))
        return QStringLiteral("le nom du serveur%1 est inconnu de ce poste ; vérifiez host= dans "
                              "quiltaro.conf, et le DNS du poste")
            .arg(hostNamed(original));
    // The system's words (strerror) are in the desktop's language.
    if (w.has("connection refused") || w.has("no such file or directory") ||
        w.has("connexion refusée") || w.has("aucun fichier ou dossier"))
        return QStringLiteral("le serveur est arrêté, ou n'écoute pas à cette adresse ; "
                              "démarrez-le, ou vérifiez host= et port= dans quiltaro.conf");
    if (w.has("could not connect") || w.has("connection to server") ||
        w.has("server closed the connection") || w.has("no connection") ||
        w.has("no route to host") || w.has("network is unreachable"))
        return QStringLiteral("le serveur ne répond pas (arrêté, injoignable, ou mauvaise "
                              "adresse) ; vérifiez qu'il tourne et que le réseau le joint");
    return {};
}

// Failures of a statement on a connection made.
QString statementFailure(const Words& w) {
    if (w.state == QLatin1String("57014"))
        return QStringLiteral("le serveur a mis trop de temps à exécuter la demande");
    if (w.state == QLatin1String("42501") && w.has("row-level security"))
        return QStringLiteral("ce poste n'envoie pas pour cette classe sur le serveur ; "
                              "ajoutez-la à son rôle dans la table quiltaro.computers "
                              "(INSERT INTO quiltaro.computers VALUES ('rôle', 'classe'))");
    // The set-up's own checks, and the server's constraints.
    if (w.has("not on the class list"))
        return QStringLiteral("le serveur refuse cette manche : l'élève n'est pas sur la liste "
                              "de sa classe ; ajoutez-l'y depuis la fenêtre des résultats");
    if (w.state.startsWith(QLatin1String("23")) || w.state.startsWith(QLatin1String("22")))
        return QStringLiteral("le serveur refuse cette manche, qui ne peut pas venir du jeu "
                              "(date, score ou valeur hors des limites)");
    if (w.state == QLatin1String("42501"))
        return QStringLiteral("ce rôle n'en a pas le droit sur le serveur ; relancez quiltaro "
                              "--setup-server avec les droits du propriétaire de la base, et "
                              "vérifiez que le rôle est membre de quiltaro_eleve ou de "
                              "quiltaro_enseignant");
    if (w.state == QLatin1String("42P01") || w.state == QLatin1String("3F000"))
        return QStringLiteral("le serveur n'est pas encore préparé pour Quiltaro ; lancez "
                              "quiltaro --setup-server avec les droits du propriétaire de la base");
    if (w.state == QLatin1String("53100"))
        return QStringLiteral("le disque du serveur est plein ; faites-y de la place, les manches "
                              "attendent sur les postes");
    if (w.state.startsWith(QLatin1String("53")))
        return QStringLiteral("le serveur manque de ressources (mémoire ou connexions) ; voyez "
                              "son journal");
    if (w.state == QLatin1String("25006"))
        return QStringLiteral("le serveur n'accepte que des lectures (base en lecture seule, ou "
                              "serveur de secours) ; les manches attendent sur les postes");
    return {};
}

} // namespace

QString describeServerFailure(const QSqlError& error, bool cut) {
    const QString original = error.databaseText() + QLatin1Char(' ') + error.driverText();
    const Words w{original.toLower(), error.nativeErrorCode()};
    if (cut || w.has("timeout expired"))
        return QStringLiteral("le serveur n'a pas répondu à temps");
    QString said = statementFailure(w);
    if (said.isEmpty())
        said = refusal(w, original);
    return said.isEmpty() ? QStringLiteral("le serveur a répondu par une erreur") : said;
}

QString serverFailureDetail(const QSqlError& error, const QString& conninfo) {
    QString detail = error.databaseText().isEmpty() ? error.driverText() : error.databaseText();
    detail = detail.section(QLatin1Char('\n'), 0, 0).trimmed();
    ConnParams params;
    if (!parseConnInfo(conninfo, params) || !params.count("password"))
        return detail;
    // The whole password, then each of its words, as libpq might quote one.
    const QString password = params["password"];
    QStringList pieces{password};
    pieces << password.split(QRegularExpression(QStringLiteral("\\s+")), Qt::SkipEmptyParts);
    for (const QString& piece : pieces)
        if (piece.size() >= 3)
            detail.replace(piece, QStringLiteral("***"));
    return detail;
}

} // namespace quiltaro
