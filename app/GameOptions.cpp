#include "GameOptions.h"

#include "ClassName.h"
#include "Period.h"

#include <QCommandLineParser>

#include <functional>

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
    QCommandLineOption importClass{QStringLiteral("import-class"), QString(),
                                   QStringLiteral("FICHIER")};
    QCommandLineOption className{QStringLiteral("class"), QString(), QStringLiteral("NOM")};

    explicit Accepted(QCommandLineParser& parser) {
        parser.addOptions({results, exportCsv, reportPdf, pupil, from, to, forget, forgetBefore,
                           help, version, setupServer, checkServer, level, importClass, className});
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
                                       {&a.checkServer, Options::Mode::CheckServer},
                                       {&a.importClass, Options::Mode::ImportClass}})
        if (parser.isSet(*option)) {
            options.mode = mode;
            ++chosen;
        }
    if (chosen > 1 || parser.values(a.exportCsv).size() > 1 ||
        parser.values(a.reportPdf).size() > 1 || parser.values(a.setupServer).size() > 1 ||
        parser.values(a.importClass).size() > 1)
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

// --class: the class of the pupil to forget, the one to take from the
// register, or the one the teacher's tools read.
QString readClass(const QCommandLineParser& parser, const Accepted& a, Options& options) {
    if (!parser.isSet(a.className))
        return {};
    const bool forgetting = options.mode == Options::Mode::Forget && !options.pupil.isEmpty();
    const bool teachers = options.mode == Options::Mode::Results ||
                          options.mode == Options::Mode::ExportCsv ||
                          options.mode == Options::Mode::ReportPdf;
    if (parser.values(a.className).size() > 1 ||
        (!forgetting && !teachers && options.mode != Options::Mode::ImportClass))
        return QStringLiteral("--class va avec --forget PRÉNOM, --import-class, --results, "
                              "--export-csv ou --report-pdf, une seule fois.");
    options.className = parser.value(a.className).trimmed();
    return classNameRefusal(options.className, QStringLiteral("--class"));
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
    case Options::Mode::ImportClass:
        options.file = parser.value(a.importClass);
        return options.file.trimmed().isEmpty()
                   ? QStringLiteral("--import-class attend le fichier CSV exporté de la base "
                                    "élèves.")
                   : QString();
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
        [&] { return readClass(parser, accepted, options); },
        [&] { return readModeValue(parser, accepted, options); }};
    for (const auto& step : steps)
        if (const QString problem = step(); !problem.isEmpty())
            return wrong(problem);
    return options;
}

} // namespace quiltaro
