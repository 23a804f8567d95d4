#pragma once

#include <QString>

namespace quiltaro {

// A class's name (CE2-A, CM1 B, 6e 2…) names a folder of records, a list's
// file and the class's rows on the server: it holds nothing that could cut
// one of those short or lead out of a folder.

// What a class name may hold, in French, for the messages that refuse one.
QString classNameRule();
// Why `name` cannot be a class's name, in French ("« CE2, CM1 » contient
// une virgule"); empty when it can. The name is taken as written, spaces
// around it trimmed.
QString classNameProblem(const QString& name);
// The refusal of a name read from `where` (a file, an option): the problem,
// where it was read and the rule; empty when the name is right.
QString classNameRefusal(const QString& name, const QString& where);

// Two names of the same class, as a teacher would see them: capitals,
// accents and runs of spaces aside ("ce2-a" is "CE2-A").
bool sameClass(const QString& a, const QString& b);
// A name folded for comparing and sorting as a French reader would.
QString foldedName(const QString& name);

} // namespace quiltaro
