#pragma once

#include "ClassLists.h"
#include "Levels.h"

#include <QString>
#include <QStringList>

#include <map>
#include <optional>

namespace quiltaro {

// Who plays, and the class a teacher may have listed.

// The pupil of a personal login: the account's full name, as the system's
// user database gives it, else the login name.
QString accountPupilName();

// The class list in use: quiltaro/classe.txt in the first configuration
// folder that has one (the user's own, then the system's); empty when none.
QString classListFile();
// Where a teacher's own class list is written: in the user's configuration.
QString writableClassListFile();

// A class list as the teacher writes it: the first names, and the level the
// class plays at, for the class and for some pupils.
struct ClassList {
    QStringList names;
    std::optional<LevelRange> level;           // a line "niveau : dixiemes"
    std::map<QString, LevelRange> pupilLevels; // a line "Lucas : entiers"
    // The lines whose level is not one the game knows, in French: the
    // level they would set stays as without them.
    QStringList levelProblems;
    // The teacher's comments ("# ..."), each with the number of names
    // before it: written back where they were.
    std::vector<std::pair<qsizetype, QString>> comments;

    // The pupil's own level, else the class's; none when neither is set.
    std::optional<LevelRange> levelOf(const QString& pupil) const;
    bool operator==(const ClassList&) const = default;
};

// The class list in `file`: one first name a line, in the order written,
// without blank lines, surrounding spaces, lines starting with '#', or
// repeats; "Prénom : niveau" gives a pupil a level, and "niveau : ..." the
// class. A file that cannot be read gives no names and says why in `problem`.
ClassList readClassListFile(const QString& file, QString* problem = nullptr);
// Its first names only.
QStringList readClassList(const QString& file, QString* problem = nullptr);
// Reads the text of a class list, as the file holds it or a teacher typed it.
ClassList parseClassList(const QString& text);
// The names written twice, or that differ only by capitals or accents
// ("Léa" and "lea"): two children would share one record. Each pair once,
// as written.
std::vector<std::pair<QString, QString>> sameNames(const QString& text);
// The text readClassListFile reads back as `list`: the class's level first, then
// the names, one a line, with the comments where they were.
QString classListText(const ClassList& list);
// The same but the class's level: what the teacher edits.
QStringList classListLines(const ClassList& list);
// Writes the list, replacing the file as a whole (never half written); false
// with the reason in `problem` when it could not.
bool writeClassListFile(const QString& file, const ClassList& list, QString* problem = nullptr);
bool writeClassList(const QString& file, const QStringList& names, QString* problem = nullptr);

} // namespace quiltaro
