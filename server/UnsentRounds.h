#pragma once

#include "RecordStore.h"

#include <QString>

#include <cstdint>
#include <vector>

namespace quiltaro {

// The rounds of a record file not yet on the class's server, and the marks
// that say they are: the record itself is the queue of what is to be sent,
// so that nothing is lost when the program ends or is killed, and what was
// played while the server was down goes at the next chance. Used by one
// thread, on a connection of its own beside the record's writer; it never
// creates, migrates or sets aside the file, which is the writer's work.
class UnsentRounds {
public:
    // `pupil` names the rounds that name nobody (written before pupils had names).
    UnsentRounds(QString recordPath, QString pupil);
    ~UnsentRounds();
    UnsentRounds(const UnsentRounds&) = delete;
    UnsentRounds& operator=(const UnsentRounds&) = delete;

    struct Unsent {
        qint64 id; // in the record
        RoundRecord round;
    };
    // The oldest rounds not yet sent, at most `limit`. Empty when there are
    // none, or the record cannot be read now (it is written, migrated...).
    std::vector<Unsent> next(int limit);
    // The round is on the server, or refused by it for good (marked apart,
    // for a later version that might take it): never sent again.
    bool markSent(qint64 id, bool refused = false);

    const QString& path() const { return path_; }
    // Whether the file under the path is still the one the rounds were read
    // from: false once it was erased or set aside, and the next call reads
    // the new one.
    bool current() const;

private:
    bool open();
    void close();

    QString path_;
    QString pupil_;
    QString connection_;
    bool open_ = false;
    std::uint64_t fileId_ = 0;
};

} // namespace quiltaro
