#include "GameOptions.h"

#include "Period.h"
#include "RecordStore.h"

#include <QCommandLineParser>
#include <QDir>
#include <QFileInfo>
#include <QLocale>

#include <cstdio>
#include <functional>
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

namespace {

// The options the game accepts, its own and Qt's.
struct Accepted {
    QCommandLineOption results{QStringLiteral("results")};
    QCommandLineOption exportCsv{QStringLiteral("export-csv"), QString(),
                                 QStringLiteral("FICHIER")};
    QCommandLineOption reportPdf{QStringLiteral("report-pdf"), QString(),
                                 QStringLiteral("FICHIER")};
    QCommandLineOption pupil{QStringLiteral("pupil"), QString(), QStringLiteral("PRÉNOM")};
    QCommandLineOption from{QStringLiteral("from"), QString(), QStringLiteral("DATE")};
    QCommandLineOption to{QStringLiteral("to"), QString(), QStringLiteral("DATE")};
    QCommandLineOption forget{QStringLiteral("forget")};
    QCommandLineOption forgetBefore{QStringLiteral("forget-before"), QString(),
                                    QStringLiteral("DATE")};
    QCommandLineOption help{QStringList{QStringLiteral("h"), QStringLiteral("help")}};
    QCommandLineOption version{QStringLiteral("version")};
    QCommandLineOption setupServer{QStringLiteral("setup-server"), QString(),
                                   QStringLiteral("CONNEXION")};
    QCommandLineOption checkServer{QStringLiteral("check-server")};
    QCommandLineOption level{QStringLiteral("niveau"), QString(), QStringLiteral("NIVEAU")};

    explicit Accepted(QCommandLineParser& parser) {
        parser.addOptions({results, exportCsv, reportPdf, pupil, from, to, forget, forgetBefore,
                           help, version, setupServer, checkServer, level});
        for (const char* name : qtOptionsWithValue)
            parser.addOption(
                QCommandLineOption(QLatin1String(name), QString(), QStringLiteral("v")));
        for (const char* name : qtFlags)
            parser.addOption(QCommandLineOption(QLatin1String(name)));
    }
};

// Why the parser refused the command line.
QString refusal(const QCommandLineParser& parser, const QStringList& arguments) {
    if (!parser.unknownOptionNames().isEmpty()) {
        const QString name = parser.unknownOptionNames().constFirst();
        return QStringLiteral("option inconnue : %1%2.")
            .arg(name.size() == 1 ? QStringLiteral("-") : QStringLiteral("--"), name);
    }
    // The other refusal: an option that wants a value came last.
    return QStringLiteral("l'option %1 attend une valeur.").arg(arguments.constLast());
}

// What the program is asked to do: one thing at a time.
QString chooseMode(const QCommandLineParser& parser, const Accepted& a, Options& options) {
    int chosen = 0;
    for (const auto& [option, mode] : {std::pair{&a.results, Options::Mode::Results},
                                       {&a.exportCsv, Options::Mode::ExportCsv},
                                       {&a.reportPdf, Options::Mode::ReportPdf},
                                       {&a.forget, Options::Mode::Forget},
                                       {&a.forgetBefore, Options::Mode::ForgetBefore},
                                       {&a.version, Options::Mode::Version},
                                       {&a.setupServer, Options::Mode::SetupServer},
                                       {&a.checkServer, Options::Mode::CheckServer}})
        if (parser.isSet(*option)) {
            options.mode = mode;
            ++chosen;
        }
    if (chosen > 1 || parser.values(a.exportCsv).size() > 1 ||
        parser.values(a.reportPdf).size() > 1 || parser.values(a.setupServer).size() > 1)
        return QStringLiteral("ces options ne vont pas ensemble ; une seule à la fois.");
    return {};
}

bool forTeachers(const Options& options) {
    return options.mode == Options::Mode::Results || options.mode == Options::Mode::ExportCsv ||
           options.mode == Options::Mode::ReportPdf;
}

// The pupil named after --forget or --pupil, and the records or folders the
// teacher's tools read.
QString readNames(const QCommandLineParser& parser, const Accepted& a, Options& options) {
    QStringList positional = parser.positionalArguments();
    // --forget takes the name of one pupil, if any.
    if (options.mode == Options::Mode::Forget && positional.size() == 1) {
        options.pupil = positional.takeFirst().trimmed();
        if (options.pupil.isEmpty())
            return QStringLiteral("--forget attend le prénom d'un élève, ou rien pour effacer "
                                  "tous les résultats du compte.");
    }
    if (parser.isSet(a.pupil)) {
        if (options.mode != Options::Mode::ReportPdf && options.mode != Options::Mode::ExportCsv)
            return QStringLiteral("--pupil va avec --report-pdf ou --export-csv.");
        options.pupil = parser.value(a.pupil).trimmed();
        if (options.pupil.isEmpty())
            return QStringLiteral("--pupil attend le prénom d'un élève.");
    }
    // Only the teacher's tools read other records than the login's own.
    options.sources = positional;
    if (options.sources.isEmpty() || forTeachers(options))
        return {};
    // A connection string split by the shell may carry a password.
    const QString argument = options.sources.constFirst();
    return QStringLiteral("argument inattendu : %1.")
        .arg(argument.contains(QLatin1String("password"), Qt::CaseInsensitive) ||
                     argument.contains(QLatin1Char('@'))
                 ? QStringLiteral("(masqué)")
                 : argument);
}

QString readLevel(const QCommandLineParser& parser, const Accepted& a, Options& options) {
    if (!parser.isSet(a.level))
        return {};
    const QString value = parser.values(a.level).constLast();
    options.level = parseLevel(value.toStdString());
    if (parser.values(a.level).size() > 1 || options.mode != Options::Mode::Play)
        return QStringLiteral("--niveau ne va qu'avec le jeu, une seule fois.");
    if (!options.level)
        return QStringLiteral("niveau inconnu : « %1 » ; entiers, dixiemes, centiemes, ou deux "
                              "d'entre eux comme entiers-dixiemes.")
            .arg(value);
    return {};
}

// The value the mode chosen takes: a file, a day, a connection string.
QString readModeValue(const QCommandLineParser& parser, const Accepted& a, Options& options) {
    switch (options.mode) {
    case Options::Mode::ExportCsv:
        options.file = parser.value(a.exportCsv);
        return options.file.isEmpty() ? QStringLiteral("--export-csv attend un nom de fichier, "
                                                       "ou - pour la sortie standard.")
                                      : QString();
    case Options::Mode::ReportPdf:
        options.file = parser.value(a.reportPdf);
        return options.file.isEmpty() || options.file == QLatin1String("-")
                   ? QStringLiteral("--report-pdf attend un nom de fichier, par exemple "
                                    "rapport.pdf.")
                   : QString();
    case Options::Mode::ForgetBefore: {
        const QString value = parser.values(a.forgetBefore).constLast();
        options.before = parseDay(value);
        return parser.values(a.forgetBefore).size() > 1 || !options.before.isValid()
                   ? QStringLiteral("--forget-before attend une date, comme 1/9/2024 ou "
                                    "2024-09-01 : « %1 » n'en est pas une.")
                         .arg(value)
                   : QString();
    }
    case Options::Mode::SetupServer:
        options.server = parser.value(a.setupServer);
        return options.server.trimmed().isEmpty()
                   ? QStringLiteral("--setup-server attend une chaîne de connexion, par exemple "
                                    "\"host=serveur dbname=quiltaro\".")
                   : QString();
    default:
        return {};
    }
}

} // namespace

Options parseOptions(const QStringList& arguments) {
    QCommandLineParser parser;
    // -platform is one option, not -p -l -a...; --results and -results alike.
    parser.setSingleDashWordOptionMode(QCommandLineParser::ParseAsLongOptions);
    const Accepted accepted(parser);
    Options options;
    auto wrong = [&](const QString& error) {
        options.mode = Options::Mode::Wrong;
        options.error = error;
        return options;
    };
    // The parser wants the program's name first.
    if (!parser.parse(QStringList{QStringLiteral("quiltaro")} + arguments))
        return wrong(refusal(parser, arguments));
    if (parser.isSet(accepted.help)) {
        options.mode = Options::Mode::Help;
        return options;
    }
    // What to do first, then what goes with it; the first problem is told.
    const std::function<QString()> steps[] = {
        [&] { return chooseMode(parser, accepted, options); },
        [&] { return readNames(parser, accepted, options); },
        [&] {
            return readPeriod(parser, accepted.from, accepted.to, forTeachers(options), options);
        },
        [&] { return readLevel(parser, accepted, options); },
        [&] { return readModeValue(parser, accepted, options); }};
    for (const auto& step : steps)
        if (const QString problem = step(); !problem.isEmpty())
            return wrong(problem);
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
