#pragma once

#include "Pupils.h"

#include <QByteArray>
#include <QString>
#include <QStringList>

#include <vector>

namespace quiltaro {

// The pupils of a CSV export of the school register, as a class list takes
// them: first name, the family name's letters that tell two first names
// apart, and the class. Nothing else is kept (no birth date, no address).

struct RegisterPupil {
    QString firstName;
    QString familyName;
    QString className; // the "Classe" or "Division" column; empty without one
    QString level;     // the "Niveau" column; empty without one
};

struct SchoolRegister {
    std::vector<RegisterPupil> pupils;
    // Why the file could not be read, in French; empty when it was.
    QString problem;
    bool hasClasses = false; // a column of classes
    bool hasLevels = false;  // a column of levels

    // The classes, and the levels, named in the file, in French order.
    QStringList classes() const;
    QStringList levels() const;
};

// Reads a register: ';' or ',' between fields, fields between quotes or not,
// UTF-8 (with or without a byte-order mark) or Windows-1252; the columns
// found by their header, whatever its capitals, accents and spaces.
SchoolRegister readRegister(const QString& file);
SchoolRegister parseRegister(const QByteArray& bytes);

// One class of a register, chosen.
struct RegisterClass {
    QString name;       // the list's name: the class or level chosen
    QStringList pupils; // the names as a class list writes them, in French order
    QString problem;    // why none could be chosen, in French; empty when one was
};
// The class or level `choice` (capitals and accents aside); without one, the
// only class of the file. Refused, saying what the file holds, when the
// choice is in none, or when several classes are there and none was chosen.
RegisterClass chooseClass(const SchoolRegister& reg, const QString& choice);

// The names a class list shows: a first name alone when it is the only one
// in the class, else with the family name's initial ("Lucas B.", "Lucas
// M."), or as many letters as tell them apart ("Lucas Ma.", "Lucas Mo.").
QStringList namesForList(const std::vector<RegisterPupil>& pupils);

// `list` with the names of the import: the level of the class, the levels of
// the pupils who stay and the teacher's comments kept.
ClassList withNames(ClassList list, const QStringList& names);

} // namespace quiltaro
