#pragma once

#include "RecordStore.h"

#include <QString>

#include <cstdint>
#include <set>

#include <sys/types.h>
#include <vector>

namespace quiltaro {

// Rounds that ended while the record could not take them (another copy held
// it, it was being migrated or opened), kept on disk beside it until it
// can: record.sqlite.attente-<id>, one line per round and one per round
// since written, appended and synced into room taken when the file was made. The program holds a
// lock on its own file; a file nobody holds is what a copy that ended or was killed left, and the
// next copy to open the record writes it in.
class Spill {
public:
    explicit Spill(QString recordPath);
    ~Spill();
    Spill(const Spill&) = delete;
    Spill& operator=(const Spill&) = delete;

    // Makes this copy's file and takes room on disk for `reservedRoom` bytes
    // of rounds, so that rounds that end once the disk is full are kept all
    // the same. False when not even the file could be made.
    bool reserve();
    // Appends a round and waits for it to be on disk; false when it could not.
    bool add(std::uint64_t id, const RoundRecord& round);
    // The round is in the record now. The file goes at the end, when every
    // round is.
    void written(std::uint64_t id);

    // This copy is done with the file: it goes if every round is in the
    // record, and stays, unlocked, for the next copy otherwise.
    void release();

    // About a thousand rounds: a whole day of a class on one computer.
    static constexpr off_t reservedRoom = 512 * 1024;

    // The rounds of every file beside the record that no running copy holds,
    // that are not yet in the record. Each file found is locked and
    // returned, to be removed once its rounds are written.
    struct Leftover {
        QString path;
        int fd = -1;
        std::vector<RoundRecord> rounds;
    };
    static std::vector<Leftover> leftovers(const QString& recordPath);
    // Removes a leftover file once its rounds are in the record, or lets go of it.
    static void finish(Leftover& leftover, bool written);
    // Every round of a file, as read without taking its lock: for the tools.
    static std::vector<RoundRecord> read(const QString& path);

private:
    QString recordPath_;
    QString path_;
    int fd_ = -1;
    std::set<std::uint64_t> unwritten_;
};

} // namespace quiltaro
