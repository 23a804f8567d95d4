#include "GameOptions.h"

#include "Period.h"
#include "RecordStore.h"

#include <QCommandLineParser>
#include <QDir>
#include <QFileInfo>
#include <QLocale>

#include <cstdio>
#include <string>
#include <vector>

#include <unistd.h>

namespace quiltaro {

namespace {

// Qt's own options, which the game's QApplication reads: accepted here and
// left to it. Those that take a value say so, so that the value is not taken
// for an argument of ours.
const char* const qtOptionsWithValue[] = {"platform",
                                          "platformpluginpath",
                                          "platformtheme",
                                          "plugin",
                                          "qwindowgeometry",
                                          "qwindowicon",
                                          "qwindowtitle",
                                          "session",
                                          "display",
                                          "geometry",
                                          "style",
                                          "stylesheet",
                                          "qmljsdebugger",
                                          "name",
                                          "title",
                                          "visual",
                                          "fn",
                                          "font",
                                          "bg",
                                          "background",
                                          "fg",
                                          "foreground",
                                          "btn",
                                          "button",
                                          "im",
                                          "inputstyle",
                                          "ncols",
                                          "cmap"};
const char* const qtFlags[] = {"reverse", "widgetcount", "nograb", "dograb", "sync", "testability"};

// --from and --to: days as a teacher writes them, for the teacher's tools
// only. Empty when they are right, or absent.
QString readPeriod(const QCommandLineParser& parser, const QCommandLineOption& from,
                   const QCommandLineOption& to, bool teachers, Options& options) {
    for (const auto& [option, day] : {std::pair{&from, &options.from}, {&to, &options.to}}) {
        if (!parser.isSet(*option))
            continue;
        const QString name = option->names().constFirst();
        if (!teachers)
            return QStringLiteral("--%1 va avec --results, --export-csv ou --report-pdf.")
                .arg(name);
        *day = parseDay(parser.value(*option));
        if (!day->isValid())
            return QStringLiteral("--%1 attend une date, par exemple 2026-11-30 ou 30/11/2026 "
                                  "(et non « %2 »).")
                .arg(name, parser.value(*option));
    }
    if (options.from.isValid() && options.to.isValid() && options.from > options.to)
        return QStringLiteral("--from doit venir avant --to.");
    return QString();
}

} // namespace

Options parseOptions(const QStringList& arguments) {
    QCommandLineParser parser;
    // -platform is one option, not -p -l -a...; --results and -results alike.
    parser.setSingleDashWordOptionMode(QCommandLineParser::ParseAsLongOptions);
    const QCommandLineOption results(QStringLiteral("results"));
    const QCommandLineOption exportCsv(QStringLiteral("export-csv"), QString(),
                                       QStringLiteral("FICHIER"));
    const QCommandLineOption reportPdf(QStringLiteral("report-pdf"), QString(),
                                       QStringLiteral("FICHIER"));
    const QCommandLineOption pupil(QStringLiteral("pupil"), QString(), QStringLiteral("PRÉNOM"));
    const QCommandLineOption from(QStringLiteral("from"), QString(), QStringLiteral("DATE"));
    const QCommandLineOption to(QStringLiteral("to"), QString(), QStringLiteral("DATE"));
    const QCommandLineOption forget(QStringLiteral("forget"));
    const QCommandLineOption forgetBefore(QStringLiteral("forget-before"), QString(),
                                          QStringLiteral("DATE"));
    const QCommandLineOption help(QStringList{QStringLiteral("h"), QStringLiteral("help")});
    const QCommandLineOption version(QStringLiteral("version"));
    const QCommandLineOption setupServer(QStringLiteral("setup-server"), QString(),
                                         QStringLiteral("CONNEXION"));
    const QCommandLineOption checkServer(QStringLiteral("check-server"));
    const QCommandLineOption level(QStringLiteral("niveau"), QString(), QStringLiteral("NIVEAU"));
    parser.addOptions({results, exportCsv, reportPdf, pupil, from, to, forget, forgetBefore, help,
                       version, setupServer, checkServer, level});
    for (const char* name : qtOptionsWithValue)
        parser.addOption(QCommandLineOption(QLatin1String(name), QString(), QStringLiteral("v")));
    for (const char* name : qtFlags)
        parser.addOption(QCommandLineOption(QLatin1String(name)));

    Options options;
    auto wrong = [&](const QString& error) {
        options.mode = Options::Mode::Wrong;
        options.error = error;
        return options;
    };
    // The parser wants the program's name first.
    if (!parser.parse(QStringList{QStringLiteral("quiltaro")} + arguments)) {
        if (!parser.unknownOptionNames().isEmpty()) {
            const QString name = parser.unknownOptionNames().constFirst();
            return wrong(
                QStringLiteral("option inconnue : %1%2.")
                    .arg(name.size() == 1 ? QStringLiteral("-") : QStringLiteral("--"), name));
        }
        // The other refusal: an option that wants a value came last.
        return wrong(QStringLiteral("l'option %1 attend une valeur.").arg(arguments.constLast()));
    }
    if (parser.isSet(help)) {
        options.mode = Options::Mode::Help;
        return options;
    }
    int chosen = 0;
    for (const auto& [option, mode] : {std::pair{&results, Options::Mode::Results},
                                       {&exportCsv, Options::Mode::ExportCsv},
                                       {&reportPdf, Options::Mode::ReportPdf},
                                       {&forget, Options::Mode::Forget},
                                       {&forgetBefore, Options::Mode::ForgetBefore},
                                       {&version, Options::Mode::Version},
                                       {&setupServer, Options::Mode::SetupServer},
                                       {&checkServer, Options::Mode::CheckServer}})
        if (parser.isSet(*option)) {
            options.mode = mode;
            ++chosen;
        }
    if (chosen > 1 || parser.values(exportCsv).size() > 1 || parser.values(reportPdf).size() > 1 ||
        parser.values(setupServer).size() > 1)
        return wrong(QStringLiteral("ces options ne vont pas ensemble ; une seule à la fois."));
    QStringList positional = parser.positionalArguments();
    // --forget takes the name of one pupil, if any.
    if (options.mode == Options::Mode::Forget && positional.size() == 1) {
        options.pupil = positional.takeFirst().trimmed();
        if (options.pupil.isEmpty())
            return wrong(QStringLiteral("--forget attend le prénom d'un élève, ou rien pour "
                                        "effacer tous les résultats du compte."));
    }
    const bool teachers = options.mode == Options::Mode::Results ||
                          options.mode == Options::Mode::ExportCsv ||
                          options.mode == Options::Mode::ReportPdf;
    if (const QString problem = readPeriod(parser, from, to, teachers, options); !problem.isEmpty())
        return wrong(problem);
    if (parser.isSet(pupil)) {
        if (options.mode != Options::Mode::ReportPdf && options.mode != Options::Mode::ExportCsv)
            return wrong(QStringLiteral("--pupil va avec --report-pdf ou --export-csv."));
        options.pupil = parser.value(pupil).trimmed();
        if (options.pupil.isEmpty())
            return wrong(QStringLiteral("--pupil attend le prénom d'un élève."));
    }
    // Only the teacher's tools read other records than the login's own.
    options.sources = positional;
    if (!options.sources.isEmpty() && !teachers) {
        // A connection string split by the shell may carry a password.
        const QString argument = options.sources.constFirst();
        return wrong(QStringLiteral("argument inattendu : %1.")
                         .arg(argument.contains(QLatin1String("password"), Qt::CaseInsensitive) ||
                                      argument.contains(QLatin1Char('@'))
                                  ? QStringLiteral("(masqué)")
                                  : argument));
    }
    if (parser.isSet(level)) {
        const QString value = parser.values(level).constLast();
        options.level = parseLevel(value.toStdString());
        if (parser.values(level).size() > 1 || options.mode != Options::Mode::Play)
            return wrong(QStringLiteral("--niveau ne va qu'avec le jeu, une seule fois."));
        if (!options.level)
            return wrong(QStringLiteral("niveau inconnu : « %1 » ; entiers, dixiemes, centiemes, "
                                        "ou deux d'entre eux comme entiers-dixiemes.")
                             .arg(value));
    }
    if (options.mode == Options::Mode::ExportCsv) {
        options.file = parser.value(exportCsv);
        if (options.file.isEmpty())
            return wrong(QStringLiteral("--export-csv attend un nom de fichier, ou - pour la "
                                        "sortie standard."));
    }
    if (options.mode == Options::Mode::ForgetBefore) {
        const QString value = parser.values(forgetBefore).constLast();
        options.before = parseDay(value);
        if (parser.values(forgetBefore).size() > 1 || !options.before.isValid())
            return wrong(QStringLiteral("--forget-before attend une date, comme 1/9/2024 ou "
                                        "2024-09-01 : « %1 » n'en est pas une.")
                             .arg(value));
    }
    if (options.mode == Options::Mode::ReportPdf) {
        options.file = parser.value(reportPdf);
        if (options.file.isEmpty() || options.file == QLatin1String("-"))
            return wrong(QStringLiteral("--report-pdf attend un nom de fichier, par exemple "
                                        "rapport.pdf."));
    }
    if (options.mode == Options::Mode::SetupServer) {
        options.server = parser.value(setupServer);
        if (options.server.trimmed().isEmpty())
            return wrong(QStringLiteral("--setup-server attend une chaîne de connexion, par "
                                        "exemple \"host=serveur dbname=quiltaro\"."));
    }
    return options;
}

QString usage() {
    return QStringLiteral(
               "Utilisation : quiltaro [OPTION] [RESULTATS|DOSSIER]...\n"
               "Encadrer un nombre sur une droite graduée. Sans option, le jeu commence.\n"
               "Chaque manche jouée est enregistrée dans %1.\n"
               "\n"
               "  --niveau NIVEAU      le jeu de cette fois seulement, à ce niveau : entiers\n"
               "                       (nombres entiers seulement), dixiemes (à partir des\n"
               "                       dixièmes), centiemes (centièmes seulement), ou\n"
               "                       MIN-MAX, comme entiers-dixiemes ; sans effet quand\n"
               "                       l'administrateur a verrouillé le niveau\n"
               "  --results            ouvre la fenêtre des résultats : la classe, élève par\n"
               "                       élève, et les graphiques de chacun\n"
               "  --export-csv FICHIER écrit toutes les manches enregistrées au format CSV\n"
               "                       pour un tableur français (point-virgule, virgule\n"
               "                       décimale, UTF-8) ; - pour la sortie standard\n"
               "  --report-pdf FICHIER écrit le rapport imprimable (A4, PDF) : la classe,\n"
               "                       les élèves à aider et pourquoi, puis une page par\n"
               "                       élève\n"
               "  --pupil PRÉNOM       avec --report-pdf ou --export-csv : cet élève seul\n"
               "  --from DATE          avec --results, --export-csv ou --report-pdf : à\n"
               "  --to DATE            partir de ce jour, jusqu'à ce jour (compris) ;\n"
               "                       2026-11-30 ou 30/11/2026\n"
               "  --forget             efface tous les résultats enregistrés, après\n"
               "                       confirmation\n"
               "  --forget PRÉNOM      n'efface que les résultats de cet élève, après avoir\n"
               "                       tapé son prénom une seconde fois\n"
               "  --forget-before DATE efface, après confirmation, toutes les manches jouées\n"
               "                       avant ce jour (1/9/2024 ou 2024-09-01) : celles du\n"
               "                       compte et de ses élèves, et sur le serveur de la\n"
               "                       classe si ce compte en a le droit\n"
               "  --setup-server CONNEXION\n"
               "                       prépare le serveur PostgreSQL de la classe (tables et\n"
               "                       rôles), avec les droits du propriétaire de la base\n"
               "  --check-server       dit si ce poste peut envoyer ses manches au serveur\n"
               "                       configuré dans quiltaro/quiltaro.conf\n"
               "  --version            affiche la version de Quiltaro\n"
               "  -h, --help           affiche cette aide\n"
               "\n"
               "Après --results, --export-csv ou --report-pdf, des fichiers record.sqlite ou\n"
               "des dossiers (copie des dossiers personnels des élèves, clé USB) où les\n"
               "chercher : ils sont lus sans être modifiés, et réunis élève par élève. Sans\n"
               "eux : les résultats de ce compte et, si une liste de classe existe, ceux de\n"
               "ses élèves.\n")
        .arg(QDir::toNativeSeparators(RecordStore::defaultPath()));
}

QString versionText() {
    return QStringLiteral("quiltaro " QUILTARO_VERSION "\n");
}

int showResults(int argc, char** argv) {
    const QString dir =
        QFileInfo(QFileInfo(QStringLiteral("/proc/self/exe")).symLinkTarget()).absolutePath();
    // Installed, then in a build tree, where both programs are built side by side.
    const QStringList candidates = {
        dir + QStringLiteral("/" QUILTARO_BIN_TO_LIBEXEC "/quiltaro-results"),
        dir + QStringLiteral("/quiltaro-results")};
    for (const QString& candidate : candidates) {
        const QByteArray path = QFileInfo(candidate).absoluteFilePath().toLocal8Bit();
        if (!QFileInfo(candidate).isExecutable())
            continue;
        // Qt's own options (-display, -platform...) go along; ours stay behind.
        std::vector<char*> args = {const_cast<char*>(path.constData())};
        for (int i = 1; i < argc; ++i)
            if (std::string(argv[i]) != "--results")
                args.push_back(argv[i]);
        args.push_back(nullptr);
        execv(path.constData(), args.data());
    }
    std::fprintf(stderr, "quiltaro : la fenêtre des résultats ne peut pas s'ouvrir : le "
                         "programme quiltaro-results est introuvable.\n");
    return 1;
}

} // namespace quiltaro
