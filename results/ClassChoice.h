#pragma once

#include "ClassRecord.h"

#include <QString>
#include <QStringList>

namespace quiltaro {

// Which class the teacher's window, the CSV and the report read, among the
// classes this login serves: one class at a time, so that Léa of CE2-A and
// Léa of CM1-B are never one pupil.

struct ClassChoice {
    QStringList classes; // those there are, in French order; empty: one unnamed class
    QString chosen;      // empty: the one unnamed class
    QString problem;     // in French, when the class asked for is refused
};

// `asked` (--class, empty when not given) among `classes`; without it, the
// class of class= (`configured`) when it is one of them, else the first.
// An asked name is taken as a teacher writes it ("ce2-a" is "CE2-A").
ClassChoice chooseClass(QStringList classes, const QString& asked, const QString& configured);

// The classes of this login's lists (classes/*.txt, and classe.txt when it
// names its class), with `alsoThere` (the server's class) when named.
QStringList loginClassNames(const QString& alsoThere = {});

// The classes of the rounds of `data`, beside those of the login's lists
// (and `alsoThere`), with `asked` chosen among them as chooseClass does.
ClassChoice chooseAmong(const ClassRecord& data, const QString& asked,
                        const QString& alsoThere = {});

// Only the pupils of `className`. Rounds that name no class were played
// before classes had names, with the list named by class=: they belong to
// `unnamedClass`.
void keepClass(ClassRecord& data, const QString& className, const QString& unnamedClass);

// The pupils of the list of `className` among the login's lists (empty:
// classe.txt's).
QStringList listedPupils(const QString& className);

// The window's title for the class shown.
QString resultsTitle(const QString& className);

} // namespace quiltaro
