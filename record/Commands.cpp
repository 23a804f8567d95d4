#include "Commands.h"

#include "RecordStore.h"
#include "Results.h"

#include <QDir>
#include <QFile>
#include <QFileInfo>
#include <QSaveFile>
#include <QTextStream>

#include <cstdio>
#include <vector>

#include <unistd.h>

namespace quiltaro {

Options parseOptions(const QStringList& arguments) {
    Options options;
    auto choose = [&](Options::Mode mode, const QString& name) {
        if (options.mode == Options::Mode::Wrong)
            return;
        if (options.mode != Options::Mode::Play && options.mode != mode) {
            options.mode = Options::Mode::Wrong;
            options.error = QStringLiteral("%1 ne va pas avec une autre de ces options.").arg(name);
            return;
        }
        options.mode = mode;
    };
    for (int i = 0; i < arguments.size(); ++i) {
        const QString& a = arguments[i];
        if (a == QLatin1String("--help") || a == QLatin1String("-h")) {
            options.mode = Options::Mode::Help;
            return options;
        } else if (a == QLatin1String("--results")) {
            choose(Options::Mode::Results, a);
        } else if (a == QLatin1String("--forget")) {
            choose(Options::Mode::Forget, a);
        } else if (a == QLatin1String("--export-csv") ||
                   a.startsWith(QLatin1String("--export-csv="))) {
            QString file;
            if (a.contains(QLatin1Char('=')))
                file = a.section(QLatin1Char('='), 1);
            else if (i + 1 < arguments.size())
                file = arguments[++i];
            choose(Options::Mode::ExportCsv, QStringLiteral("--export-csv"));
            if (file.isEmpty() && options.mode != Options::Mode::Wrong) {
                options.mode = Options::Mode::Wrong;
                options.error = QStringLiteral("--export-csv attend un nom de fichier, ou - pour "
                                               "la sortie standard.");
            }
            options.file = file;
        }
    }
    return options;
}

QString usage() {
    return QStringLiteral(
               "Utilisation : quiltaro [OPTION]\n"
               "Encadrer un nombre sur une droite graduée. Sans option, le jeu commence.\n"
               "Chaque manche jouée est enregistrée dans %1.\n"
               "\n"
               "  --results            ouvre la fenêtre des résultats : essais par manche,\n"
               "                       points par partie, dernières parties\n"
               "  --export-csv FICHIER écrit toutes les manches enregistrées au format CSV\n"
               "                       (UTF-8, avec une ligne d'en-tête) ; - pour la sortie\n"
               "                       standard\n"
               "  --forget             efface tous les résultats enregistrés, après\n"
               "                       confirmation\n"
               "  -h, --help           affiche cette aide\n")
        .arg(QDir::toNativeSeparators(RecordStore::defaultPath()));
}

int showResults(int argc, char** argv) {
    const QString dir =
        QFileInfo(QFileInfo(QStringLiteral("/proc/self/exe")).symLinkTarget()).absolutePath();
    // Installed, then in a build tree.
    const QStringList candidates = {
        dir + QStringLiteral("/" QUILTARO_BIN_TO_LIBEXEC "/quiltaro-results"),
        dir + QStringLiteral("/../record/quiltaro-results")};
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

int exportCsv(const QString& recordPath, const QString& file, QTextStream& err) {
    std::vector<RoundRecord> rounds;
    if (QFileInfo::exists(recordPath)) {
        ProblemReport report([&err](const QString& text) { err << text << Qt::endl; });
        RecordStore store(recordPath, report);
        if (!store.open())
            return 1;
        rounds = store.readAll();
    }
    if (file == QLatin1String("-")) {
        QFile out;
        if (!out.open(stdout, QIODevice::WriteOnly))
            return 1;
        QTextStream text(&out);
        writeCsv(rounds, text);
        return 0;
    }
    // Written aside and renamed at the end: an interrupted export never
    // leaves half a file where a whole one was.
    QSaveFile out(file);
    if (!out.open(QIODevice::WriteOnly)) {
        err << QStringLiteral("quiltaro : impossible d'écrire %1 (%2).")
                   .arg(QDir::toNativeSeparators(file), out.errorString())
            << Qt::endl;
        return 1;
    }
    QTextStream text(&out);
    writeCsv(rounds, text);
    if (!out.commit()) {
        err << QStringLiteral("quiltaro : impossible d'écrire %1 (%2).")
                   .arg(QDir::toNativeSeparators(file), out.errorString())
            << Qt::endl;
        return 1;
    }
    return 0;
}

int forget(const QString& recordPath, QTextStream& in, QTextStream& out) {
    const QFileInfo record(recordPath);
    const QStringList setAside =
        record.dir().entryList({record.fileName() + QStringLiteral(".abime-*")}, QDir::Files);
    if (!record.exists() && setAside.isEmpty()) {
        out << "Aucun résultat n'est enregistré : il n'y a rien à effacer." << Qt::endl;
        return 0;
    }
    out << QStringLiteral("Effacer tous les résultats enregistrés dans %1 ?\n"
                          "Cela ne peut pas être annulé. Tapez oui pour confirmer : ")
               .arg(QDir::toNativeSeparators(record.absolutePath()))
        << Qt::flush;
    const QString answer = in.readLine().trimmed().toLower();
    if (answer != QLatin1String("oui")) {
        out << "Rien n'a été effacé." << Qt::endl;
        return 1;
    }
    bool erased = true;
    if (record.exists()) {
        ProblemReport report([&out](const QString& text) { out << text << Qt::endl; });
        RecordStore store(recordPath, report);
        erased = store.forget();
    }
    for (const QString& name :
         record.dir().entryList({record.fileName() + QStringLiteral(".abime-*")}, QDir::Files))
        erased = record.dir().remove(name) && erased;
    out << (erased ? "Les résultats ont été effacés." : "Les résultats n'ont pas pu être effacés.")
        << Qt::endl;
    return erased ? 0 : 1;
}

} // namespace quiltaro
