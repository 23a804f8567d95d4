#pragma once

#include "Levels.h"
#include "Pupils.h"

#include <QString>

#include <optional>

namespace quiltaro {

// The level set for every class of the computer by whoever runs the school's
// computers, in the [jeu] section of quiltaro/quiltaro.conf in the system's
// configuration folders (/etc/xdg): never the user's own, so that a login
// cannot lift what the school locked.
//
//   [jeu]
//   niveau=dixiemes
//   verrouille=true
//
// Unlocked, it is the level of a class whose list and command line say none;
// locked, it is every game's, whatever they say.
struct SystemLevel {
    std::optional<LevelRange> level;
    bool locked = false; // only with a level
    QString file;        // the file read, when there is one
    QString problem;     // a level the game does not know, in French; the default is kept
};
SystemLevel readSystemLevel();

// The level a pupil plays at, the strongest setting first: the system's when
// locked, the command line's, the pupil's line of the class list, the
// class's, the system's, else the score alone as without any setting.
LevelRange levelFor(const SystemLevel& system, const std::optional<LevelRange>& commandLine,
                    const ClassList& list, const QString& pupil);

// A level as a teacher reads it, in French.
QString describeLevel(const LevelRange& range);
// What the teacher's window says of the class list's level: the system's
// when locked, else the list's, else the system's or the default.
QString describeClassLevel(const SystemLevel& system, const ClassList& list);

} // namespace quiltaro
