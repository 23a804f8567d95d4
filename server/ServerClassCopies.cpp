#include "ServerClassCopies.h"

#include "ClassChoice.h"
#include "ClassName.h"
#include "RecordStore.h"
#include "ServerConnection.h"

#include <QCollator>
#include <QDir>
#include <QFile>
#include <QFileInfo>
#include <QSet>
#include <QSqlQuery>
#include <QVariant>

#include <algorithm>

namespace quiltaro {

namespace {

const QString listSuffix = QStringLiteral(".txt");

QString dataFolder() {
    return QFileInfo(RecordStore::defaultPath()).path();
}

QString unnamedCopy() {
    return dataFolder() + QStringLiteral("/classe-serveur.txt");
}

// A level the program does not know is left out, as one in a file is.
void addLevels(ClassList& list, const QString& pupil, const QString& written) {
    if (const auto level = levelsFromName(written)) {
        if (pupil.isEmpty())
            list.level = level;
        else
            list.pupilLevels[pupil] = *level;
    }
}

// Writes `list` as the copy at `file` unless it says so already; true when
// it is there as the server gave it.
bool keepCopyAt(const QString& file, const ClassList& list, bool& changed) {
    if (list.names.isEmpty() && !list.level) {
        if (!QFileInfo::exists(file))
            return true;
        changed = true;
        return QFile::remove(file);
    }
    if (QFileInfo::exists(file) && readClassListFile(file) == list)
        return true;
    changed = true;
    return writeClassListFile(file, list);
}

// Removes what a refresh did not keep: the copies of classes gone from the
// server, the old single copy once it is no class's.
bool removeCopiesBut(const QSet<QString>& kept, bool& changed) {
    bool removed = true;
    QStringList files = {unnamedCopy()};
    const QDir folder(serverClassCopiesFolder());
    for (const QString& name : folder.entryList({QLatin1Char('*') + listSuffix}, QDir::Files))
        files << folder.filePath(name);
    for (const QString& file : files)
        if (!kept.contains(file) && QFileInfo::exists(file)) {
            changed = true;
            removed = QFile::remove(file) && removed;
        }
    return removed;
}

void sortFrench(std::vector<ClassListSource>& sources) {
    QCollator french{QLocale(QLocale::French, QLocale::France)};
    french.setNumericMode(true);
    std::stable_sort(sources.begin(), sources.end(), [&](const auto& a, const auto& b) {
        return french.compare(a.name, b.name) < 0;
    });
}

} // namespace

bool readServerClassLists(ServerConnection& server, ServerClassLists& lists) {
    lists.clear();
    if (!server.open())
        return false;
    const ServerConnection::Watch watch(server);
    QSqlQuery q(server.database());
    // The policies leave the rows of the classes the role may read.
    if (!server.exec(q, QStringLiteral("SELECT class_name, name, level FROM quiltaro.class_lists"
                                       " ORDER BY class_name, position, name")))
        return false;
    while (q.next()) {
        ClassList& list = lists[q.value(0).toString()];
        list.names << q.value(1).toString();
        addLevels(list, list.names.constLast(), q.value(2).toString());
    }
    if (!server.exec(q, QStringLiteral("SELECT class_name, level FROM quiltaro.class_levels")))
        return false;
    while (q.next())
        addLevels(lists[q.value(0).toString()], QString(), q.value(1).toString());
    return true;
}

QString serverClassCopiesFolder() {
    return dataFolder() + QStringLiteral("/classes-serveur");
}

QString serverClassCopyOf(const QString& className) {
    if (className.isEmpty())
        return unnamedCopy();
    return serverClassCopiesFolder() + QLatin1Char('/') + folderName(className) + listSuffix;
}

bool keepServerClassCopy(const QString& className, const ClassList& list) {
    if (!className.isEmpty() && !classNameProblem(className).isEmpty())
        return false;
    bool changed = false;
    return keepCopyAt(serverClassCopyOf(className), list, changed);
}

bool refreshClassCopies(ServerConnection& server, CopiesRefreshed* told) {
    ServerClassLists lists;
    if (!readServerClassLists(server, lists))
        return false;
    CopiesRefreshed local;
    CopiesRefreshed& result = told ? *told : local;
    result = {};
    bool kept = true;
    QSet<QString> files;
    for (const auto& [className, list] : lists) {
        // A name that could lead out of the folder, or that no list file
        // could carry, is never a file's: that class is not offered here.
        const QString refusal = className.isEmpty()
                                    ? QString()
                                    : classNameRefusal(className, QStringLiteral("le serveur"));
        if (!refusal.isEmpty()) {
            result.refused << refusal;
            continue;
        }
        const QString file = serverClassCopyOf(className);
        if (files.contains(file))
            continue; // "ce2-a" beside "CE2-A" on a folder that tells them apart: the first
        files.insert(file);
        kept = keepCopyAt(file, list, result.changed) && kept;
    }
    return removeCopiesBut(files, result.changed) && kept;
}

std::vector<ClassListSource> serverClassCopies(const QString& configuredClass) {
    std::vector<ClassListSource> copies;
    const QDir folder(serverClassCopiesFolder());
    bool configuredHasCopy = false;
    for (const QFileInfo& file :
         folder.entryInfoList({QLatin1Char('*') + listSuffix}, QDir::Files, QDir::Name)) {
        const QString name = file.completeBaseName();
        if (!classNameProblem(name).isEmpty())
            continue; // not written by a refresh
        const bool configured = sameClass(name, configuredClass);
        configuredHasCopy = configuredHasCopy || configured;
        copies.push_back({name, file.filePath(), configured});
    }
    if (!configuredHasCopy && QFileInfo::exists(unnamedCopy()))
        copies.push_back({configuredClass, unnamedCopy(), true});
    return copies;
}

std::vector<ClassListSource> classSources(const ServerSettings& settings, QStringList& problems) {
    std::vector<ClassListSource> sources = loginClassLists(settings.className, &problems);
    if (!settings.configured())
        return sources;
    for (const ClassListSource& copy : serverClassCopies(settings.className)) {
        const auto same = std::find_if(sources.begin(), sources.end(), [&](const auto& s) {
            return s.name.isEmpty() ? copy.name.isEmpty() : sameClass(s.name, copy.name);
        });
        if (same != sources.end()) {
            // The server's spelling: the rounds go there under it.
            same->name = copy.name;
            same->file = copy.file;
        } else {
            sources.push_back(copy);
        }
    }
    // Nobody could tell which class the unnamed one is beside named ones.
    const auto unnamed = std::find_if(sources.begin(), sources.end(),
                                      [](const auto& s) { return s.name.isEmpty(); });
    if (unnamed != sources.end() && sources.size() > 1) {
        problems << QStringLiteral("la liste %1 n'a pas de nom de classe, et le poste a d'autres "
                                   "classes : ses élèves ne sont pas proposés. Nommez sa classe "
                                   "par class= dans quiltaro.conf.")
                        .arg(unnamed->file);
        sources.erase(unnamed);
    }
    sortFrench(sources);
    return sources;
}

QStringList classNamesServed(const ServerSettings& settings) {
    QStringList names = loginClassNames(settings.className);
    for (const ClassListSource& copy : serverClassCopies(settings.className))
        names << copy.name;
    names.removeAll(QString());
    return names;
}

} // namespace quiltaro
