#include "SendingActivity.h"

#include <algorithm>
#include <map>

namespace quiltaro {

namespace {

// The '*' of a computer any class sits at is no class of its own.
constexpr QLatin1StringView everyClass("*");

QDate dayOf(const QDateTime& t) {
    return t.toLocalTime().date();
}

// For each class, each computer's last round.
using LastBy = std::map<QString, std::map<QString, QDateTime>>;

// The class of `lastBy` where another computer sent on a later day than
// `role`'s last round there, if any.
QString silentClass(const QString& role, const QStringList& classes, const LastBy& lastBy) {
    for (const QString& c : classes) {
        const auto cls = lastBy.find(c);
        if (cls == lastBy.end())
            continue;
        const QDateTime own = cls->second.count(role) ? cls->second.at(role) : QDateTime();
        for (const auto& [other, last] : cls->second)
            if (other != role && last.isValid() && (!own.isValid() || dayOf(last) > dayOf(own)))
                return c;
    }
    return {};
}

} // namespace

SendingActivity activityOf(const std::vector<SenderRow>& senders,
                           const std::vector<PupilSenderRow>& pupils) {
    std::map<QString, ComputerSeen> byRole;
    LastBy lastBy;
    for (const SenderRow& row : senders) {
        ComputerSeen& seen = byRole[row.role];
        seen.role = row.role;
        seen.classes << (row.className == everyClass ? QStringLiteral("toutes") : row.className);
        seen.rounds += row.rounds;
        if (row.last.isValid() && (!seen.last.isValid() || row.last > seen.last))
            seen.last = row.last;
        if (row.className != everyClass)
            lastBy[row.className][row.role] = row.last;
    }
    SendingActivity activity;
    for (auto& [role, seen] : byRole) {
        seen.silentFor = silentClass(role, seen.classes, lastBy);
        activity.computers.push_back(std::move(seen));
    }
    std::map<std::pair<QString, QString>, std::vector<const PupilSenderRow*>> byPupil;
    for (const PupilSenderRow& row : pupils)
        byPupil[{row.className, row.pupil}].push_back(&row);
    for (auto& [key, rows] : byPupil) {
        std::sort(rows.begin(), rows.end(), [](const PupilSenderRow* a, const PupilSenderRow* b) {
            return a->last > b->last;
        });
        PupilSeen seen{key.first, key.second, {}, rows.front()->last};
        for (const PupilSenderRow* row : rows)
            seen.computers << row->role;
        activity.pupils.push_back(std::move(seen));
    }
    return activity;
}

} // namespace quiltaro
