#pragma once

#include <QString>
#include <QStringList>

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

// The first names of a class list: one a line, in the order written, without
// blank lines, surrounding spaces, lines starting with '#', or repeats. A
// file that cannot be read gives no names and says why in `problem`.
QStringList readClassList(const QString& file, QString* problem = nullptr);
// Writes the names, one a line, replacing the file as a whole (never half
// written); false with the reason in `problem` when it could not.
bool writeClassList(const QString& file, const QStringList& names, QString* problem = nullptr);

// The record of one pupil of a class list: a folder of its own beside the
// login's record, so that one pupil can be erased alone.
QString pupilRecordPath(const QString& pupil);

} // namespace quiltaro
