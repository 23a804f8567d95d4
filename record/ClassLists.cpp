#include "ClassLists.h"

#include "ClassName.h"
#include "Pupils.h"
#include "RecordStore.h"

#include <QCollator>
#include <QDir>
#include <QFile>
#include <QFileInfo>
#include <QStandardPaths>

#include <algorithm>
#include <map>

namespace quiltaro {

namespace {

const QString classesFolder = QStringLiteral("quiltaro/classes");
const QString listSuffix = QStringLiteral(".txt");
const QString recordName = QStringLiteral("record.sqlite");

QString pupilsFolder() {
    return QFileInfo(RecordStore::defaultPath()).path() + QStringLiteral("/eleves");
}

// The lists of classes/, by folded name: the first configuration folder's
// list of a class wins.
void addClassesFolders(std::map<QString, ClassListSource>& found, QStringList* problems) {
    for (const QString& dir :
         QStandardPaths::locateAll(QStandardPaths::GenericConfigLocation, classesFolder,
                                   QStandardPaths::LocateDirectory)) {
        for (const QFileInfo& file :
             QDir(dir).entryInfoList({QLatin1Char('*') + listSuffix}, QDir::Files, QDir::Name)) {
            const QString name = file.completeBaseName();
            const QString refusal =
                classNameRefusal(name, QStringLiteral("la liste %1").arg(file.filePath()));
            if (!refusal.isEmpty()) {
                if (problems)
                    *problems << refusal + QStringLiteral(" Renommez le fichier, par exemple "
                                                          "CE2-A.txt ; ses élèves ne sont pas "
                                                          "proposés d'ici là.");
                continue;
            }
            found.try_emplace(foldedName(name), ClassListSource{name, file.filePath(), false});
        }
    }
}

} // namespace

ConfiguredClass configuredClass() {
    ConfiguredClass configured;
    // The system's files, then the user's over them: the last that says.
    QString written;
    for (const QString& file : QStandardPaths::locateAll(
             QStandardPaths::GenericConfigLocation, QStringLiteral("quiltaro/quiltaro.conf"))) {
        written = rawIniValue(file, QStringLiteral("record"), QStringLiteral("class"));
        if (!written.isNull()) {
            configured.file = file;
            break;
        }
    }
    if (written.isNull())
        return configured;
    configured.problem =
        classNameRefusal(written, QStringLiteral("class= dans %1").arg(configured.file));
    if (configured.problem.isEmpty())
        configured.name = written.trimmed();
    return configured;
}

QString rawIniValue(const QString& file, const QString& section, const QString& key) {
    QFile in(file);
    if (!QFileInfo(file).isFile() || !in.open(QIODevice::ReadOnly | QIODevice::Text))
        return {};
    QString current;
    while (!in.atEnd()) {
        const QString line = QString::fromUtf8(in.readLine(1 << 16)).trimmed();
        if (line.startsWith(QLatin1Char('[')) && line.endsWith(QLatin1Char(']'))) {
            current = line.mid(1, line.size() - 2).trimmed();
            continue;
        }
        const qsizetype equals = line.indexOf(QLatin1Char('='));
        if (equals < 0 || line.startsWith(QLatin1Char(';')) || line.startsWith(QLatin1Char('#')) ||
            current.compare(section, Qt::CaseInsensitive) != 0 ||
            line.left(equals).trimmed().compare(key, Qt::CaseInsensitive) != 0)
            continue;
        QString value = line.mid(equals + 1).trimmed();
        if (value.size() >= 2 && value.startsWith(QLatin1Char('"')) &&
            value.endsWith(QLatin1Char('"')))
            value = value.mid(1, value.size() - 2);
        return value.isNull() ? QString(QLatin1String("")) : value;
    }
    return {};
}

std::vector<ClassListSource> loginClassLists(const QString& classOfFirstList,
                                             QStringList* problems) {
    std::map<QString, ClassListSource> found;
    addClassesFolders(found, problems);
    if (const QString first = classListFile(); !first.isEmpty()) {
        if (classOfFirstList.isEmpty() && !found.empty()) {
            if (problems)
                *problems << QStringLiteral("la liste %1 n'a pas de nom de classe, et d'autres "
                                            "classes sont dans %2 : ses élèves ne sont pas "
                                            "proposés. Déplacez-la dans ce dossier sous le nom "
                                            "de sa classe (par exemple CE2-A.txt), ou nommez "
                                            "sa classe par class= dans quiltaro.conf.")
                                 .arg(first, QFileInfo(found.begin()->second.file).path());
        } else if (!found
                        .try_emplace(foldedName(classOfFirstList),
                                     ClassListSource{classOfFirstList, first, true})
                        .second) {
            if (problems)
                *problems << QStringLiteral("la classe %1 a deux listes, %2 et %3 : celle de %3 "
                                            "est la seule lue.")
                                 .arg(classOfFirstList, first,
                                      found.at(foldedName(classOfFirstList)).file);
        }
    }
    std::vector<ClassListSource> lists;
    for (auto& [folded, source] : found)
        lists.push_back(std::move(source));
    QCollator french{QLocale(QLocale::French, QLocale::France)};
    french.setNumericMode(true); // "CE2 9" before "CE2 10"
    std::stable_sort(lists.begin(), lists.end(), [&](const auto& a, const auto& b) {
        return french.compare(a.name, b.name) < 0;
    });
    return lists;
}

QString writableClassListFileOf(const QString& className) {
    return QStandardPaths::writableLocation(QStandardPaths::GenericConfigLocation) +
           QLatin1Char('/') + classesFolder + QLatin1Char('/') + folderName(className) + listSuffix;
}

QString folderName(const QString& name) {
    QString folder = name.trimmed();
    folder.replace(QLatin1Char('/'), QLatin1Char('-')).replace(QChar(0), QLatin1Char('-'));
    while (folder.startsWith(QLatin1Char('.')))
        folder.remove(0, 1);
    return folder.isEmpty() ? QStringLiteral("sans-nom") : folder;
}

QString pupilRecordPath(const QString& pupil, const QString& className) {
    const QString classPart =
        className.trimmed().isEmpty() ? QString() : folderName(className) + QLatin1Char('/');
    return pupilsFolder() + QLatin1Char('/') + classPart + folderName(pupil) + QLatin1Char('/') +
           recordName;
}

QString pupilRecordPath(const QString& pupil, const ClassListSource& source) {
    const QString unnamed = pupilRecordPath(pupil);
    if (source.name.isEmpty() || (source.firstList && QFileInfo::exists(unnamed)))
        return unnamed;
    return pupilRecordPath(pupil, source.name);
}

QStringList pupilRecordsBeside(const QString& recordPath, bool absentToo) {
    const QDir pupils(QFileInfo(recordPath).dir().filePath(QStringLiteral("eleves")));
    QStringList records;
    const auto folders = [](const QDir& in) {
        return in.entryList(QDir::Dirs | QDir::NoDotAndDotDot, QDir::Name);
    };
    for (const QString& folder : folders(pupils)) {
        const QDir inside(pupils.filePath(folder));
        const QStringList within = folders(inside);
        // A class's folder holds its pupils' folders and no record.
        if (absentToo ? within.isEmpty() : QFileInfo::exists(inside.filePath(recordName)))
            records << inside.filePath(recordName);
        for (const QString& pupil : within) {
            const QString record = QDir(inside.filePath(pupil)).filePath(recordName);
            if (absentToo || QFileInfo::exists(record))
                records << record;
        }
    }
    return records;
}

} // namespace quiltaro
