#pragma once

#include "RecordReading.h"
#include "RecordStore.h"
#include "RoundCounts.h"

#include <QString>
#include <QStringList>

#include <functional>
#include <map>
#include <memory>
#include <stop_token>
#include <vector>

namespace quiltaro {

// The rounds of a class, read from any number of pupils' records and merged
// by pupil. Everything here only reads: no record is written, locked or
// migrated, so that a copy of the pupils' homes or a USB key can be read as
// it is, by a teacher who may only read it.

// One pupil's rounds, oldest first, and what the window's figures are made
// of: the rounds counted (RoundCounts). The class's server counts them and
// leaves the rounds where they are until a chart or an export asks for them.
// A pupil is a first name within a class: Léa of CE2-A and Léa of CM1-B are
// two pupils.
struct PupilRounds {
    QString name;
    std::vector<RoundRecord> rounds;
    QString className = {}; // empty when the rounds name no class
    std::shared_ptr<const PupilCount> counted =
        nullptr; // set when the rounds were counted, not read
};

// Reads again the rounds of the pupils named (with their guesses, or only
// their counts), for a chart or an export of pupils whose rounds were
// counted; each pupil's oldest first. A stop asked on `stop` cuts a reading
// from a server under way: what it read is then incomplete, and unused.
using RoundsOfPupils = std::function<std::map<QString, std::vector<RoundRecord>>(
    const QStringList& pupils, Detail detail, std::stop_token stop)>;

struct ClassRecord {
    QStringList files;               // the records read
    std::vector<PupilRounds> pupils; // in the order of their names
    QStringList problems;            // what could not be read, in French, one a record
    bool damaged = false;            // a record was read only in part
    // The teacher's own trial rounds, under the login's name: shown apart,
    // neither a pupil nor counted among the class.
    PupilRounds trial;
    // Where the rounds of counted pupils are read from; unset when every
    // pupil's rounds were read.
    RoundsOfPupils readRounds;
    size_t rounds() const; // every round, counted or read

    const PupilRounds* pupil(const QString& name) const;
};

// Where the teacher's tools look when given nothing: the login's own record
// and, when a class list is set up, every pupil's record beside it.
QStringList defaultSources();

// The records named or found under the given paths: a file is a record, a
// folder is searched through for files named record.sqlite. A path that does
// not exist is said in `problems`.
QStringList findRecords(const QStringList& sources, QStringList* problems = nullptr);

// Whose the rounds of a record are when they name nobody (written before
// pupils had names): the home folder or the pupil's folder the record was
// found in, else "Sans nom". `ownRecord` is the login's own record, whose
// rounds are the account's.
QString pupilOfRecord(const QString& recordPath, const QString& ownRecord = QString());
// The class whose folder holds the record (.../eleves/<Classe>/<Prénom>/),
// for rounds written before rounds named their class; empty elsewhere.
QString classOfRecord(const QString& recordPath);

// Reads every record and merges their rounds by pupil. The same round found
// twice (a record copied twice onto a key) counts once.
ClassRecord readClass(const QStringList& recordFiles, Detail detail = Detail::Guesses,
                      Check check = Check::Now);

// The same pupils and rounds, with the guesses of the rounds that were read
// with their counts only, read again from the records: what an export
// writes. A round the records no longer hold keeps its counts.
std::vector<PupilRounds> withGuesses(const std::vector<PupilRounds>& pupils,
                                     const QStringList& recordFiles);

// The same for rounds read elsewhere (the class's server), whoever sent them.
ClassRecord classOfRounds(std::vector<RoundRecord> rounds);

// The pupils of a class list who have no rounds yet get a line of their own:
// who has not played shows too.
void addListedPupils(ClassRecord& data, const QStringList& names);

// With a class list, the rounds under the login's own name, when it is not
// a pupil of the list, are the teacher's trials: moved to `trial`.
void setTrialApart(ClassRecord& data, const QStringList& names);

// The rounds of the records read as readClass reads them (counts of the
// guesses only), and each pupil's counted once, as the class's server
// counts them: what the window shows.
ClassRecord countClass(const QStringList& recordFiles, Check check = Check::Apart);

// The pupils with their rounds read, whether they were counted or read:
// what an export or a chart needs.
std::vector<PupilRounds> roundsRead(const ClassRecord& data, const std::vector<PupilRounds>& pupils,
                                    Detail detail, std::stop_token stop = {});

// The pupils in the order a French teacher expects: Émilie beside Emma.
void sortByName(std::vector<PupilRounds>& pupils);

// What the game set aside beside the record at `recordPath` because it was
// damaged, said to the teacher as long as it is there.
QStringList setAsideBeside(const QString& recordPath);

// Whether the pupil played the round: a round that ended without a single
// guess, because the program ended or a new round began, was only shown.
bool wasPlayed(const RoundRecord& round);

} // namespace quiltaro
