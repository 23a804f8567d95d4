#include "GameOptions.h"

#include "RecordStore.h"

#include <QDir>
#include <QFileInfo>

#include <cstdio>
#include <string>
#include <vector>

#include <unistd.h>

// What the program says of itself, and the hand-over to the results window.
namespace quiltaro {

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
               "  --class NOM          avec --results, --export-csv ou --report-pdf : cette\n"
               "                       classe, parmi celles du compte (sans lui : celle de\n"
               "                       class=, ou la première)\n"
               "  --from DATE          avec --results, --export-csv ou --report-pdf : à\n"
               "  --to DATE            partir de ce jour, jusqu'à ce jour (compris) ;\n"
               "                       2026-11-30 ou 30/11/2026\n"
               "  --forget             efface tous les résultats enregistrés, après\n"
               "                       confirmation\n"
               "  --forget PRÉNOM [--class NOM]\n"
               "                       n'efface que les résultats de cet élève (de cette\n"
               "                       classe, quand le prénom est dans plusieurs), après\n"
               "                       avoir tapé son prénom une seconde fois\n"
               "  --forget-before DATE efface, après confirmation, toutes les manches jouées\n"
               "                       avant ce jour (1/9/2024 ou 2024-09-01) : celles du\n"
               "                       compte et de ses élèves, et sur le serveur de la\n"
               "                       classe si ce compte en a le droit\n"
               "  --setup-server CONNEXION\n"
               "                       prépare le serveur PostgreSQL de la classe (tables et\n"
               "                       rôles), avec les droits du propriétaire de la base\n"
               "  --check-server       dit si ce poste peut envoyer ses manches au serveur\n"
               "                       configuré dans quiltaro/quiltaro.conf, et sa classe\n"
               "  --import-class FICHIER [--class NOM]\n"
               "                       écrit la liste d'une classe d'après l'export CSV de\n"
               "                       la base élèves (prénoms, et l'initiale du nom quand\n"
               "                       deux prénoms sont pareils) ; --class choisit la\n"
               "                       classe ou le niveau quand le fichier en a plusieurs\n"
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
