#pragma once

#include <QString>
#include <QStringList>

#include <vector>

namespace quiltaro {

// Where a login's classes are listed, and where their pupils' records live.
//
// A login serves one class with quiltaro/classe.txt (named by class= of
// quiltaro.conf, or unnamed), and any number with one list a class in
// quiltaro/classes/, named by its file: classes/CE2-A.txt is the class
// CE2-A. The user's configuration folder comes before the system's, list by
// list.

struct ClassListSource {
    QString name; // empty: the one unnamed class of classe.txt
    QString file;
    // classe.txt's pupils keep their records where they always were,
    // eleves/<Prénom>/, so that a login set up before classes had names
    // goes on as it was.
    bool firstList = false;
};

// class= in the [record] section of quiltaro/quiltaro.conf (the user's own
// over the system's), as written: `problem` says in French why it was refused.
struct ConfiguredClass {
    QString name;    // empty when none, or refused
    QString problem; // empty when right or absent
    QString file;    // the configuration file read
};
ConfiguredClass configuredClass();
// A value of an INI file as it is written, between its '=' and the end of
// the line, quotes taken off: QSettings would read "CE2, CM1" as a list and
// stop at a ';'. Null when the file has no such key in that section.
QString rawIniValue(const QString& file, const QString& section, const QString& key);

// The classes this login serves, in French alphabetical order. A list in
// classes/ whose file does not name a class rightly is left out, and so is
// classe.txt without a name beside lists of classes/ (nobody could tell
// which class it is); each is told in French in `problems`.
std::vector<ClassListSource> loginClassLists(const QString& classOfFirstList,
                                             QStringList* problems = nullptr);
// Where the teacher's own list of `className` is written, in classes/.
QString writableClassListFileOf(const QString& className);

// The record of one pupil: a folder of its own beside the login's record,
// so that one pupil can be erased alone; under the class's folder when the
// class is named (eleves/<Classe>/<Prénom>/), directly under eleves/ when
// not.
QString pupilRecordPath(const QString& pupil, const QString& className = {});
// The record of a pupil of `source`: classe.txt's stay in eleves/<Prénom>/
// while a record is there.
QString pupilRecordPath(const QString& pupil, const ClassListSource& source);
// A name as a folder's name: nothing that could lead out of the folder.
QString folderName(const QString& name);
// Every pupil's record kept beside the login's record at `recordPath`:
// eleves/<Prénom>/record.sqlite and eleves/<Classe>/<Prénom>/record.sqlite.
// With `absentToo`, the path of a record in every such folder, there or not
// (rounds kept aside may wait for it).
QStringList pupilRecordsBeside(const QString& recordPath, bool absentToo = false);

} // namespace quiltaro
