#include "LevelSettings.h"

#include <QFileInfo>
#include <QSettings>
#include <QStandardPaths>

namespace quiltaro {

namespace {

// The system's folders: every configuration folder but the user's own.
QString systemConfigFile() {
    const QString own = QStandardPaths::writableLocation(QStandardPaths::GenericConfigLocation);
    for (const QString& dir :
         QStandardPaths::standardLocations(QStandardPaths::GenericConfigLocation)) {
        const QString file = dir + QStringLiteral("/quiltaro/quiltaro.conf");
        if (dir != own && QFileInfo(file).isFile())
            return file;
    }
    return {};
}

} // namespace

SystemLevel readSystemLevel() {
    SystemLevel system;
    system.file = systemConfigFile();
    if (system.file.isEmpty())
        return system;
    const QSettings conf(system.file, QSettings::IniFormat);
    const QString value = conf.value(QStringLiteral("jeu/niveau")).toString().trimmed();
    if (value.isEmpty())
        return system;
    system.level = parseLevel(value.toStdString());
    if (!system.level) {
        system.problem = QStringLiteral("%1 : le niveau « %2 » n'existe pas (entiers, dixiemes, "
                                        "centiemes, ou deux d'entre eux comme "
                                        "entiers-dixiemes) ; le niveau par défaut est gardé.")
                             .arg(system.file, value);
        return system;
    }
    system.locked = conf.value(QStringLiteral("jeu/verrouille")).toBool();
    return system;
}

LevelRange levelFor(const SystemLevel& system, const std::optional<LevelRange>& commandLine,
                    const ClassList& list, const QString& pupil) {
    if (system.locked && system.level)
        return *system.level;
    if (commandLine)
        return *commandLine;
    if (const std::optional<LevelRange> listed = list.levelOf(pupil))
        return *listed;
    return system.level.value_or(LevelRange{});
}

QString describeLevel(const LevelRange& range) {
    return QString::fromStdString(levelDescription(range));
}

QString describeClassLevel(const SystemLevel& system, const ClassList& list) {
    if (system.locked && system.level)
        return describeLevel(*system.level) +
               QStringLiteral(" (fixé pour tous les postes par l'administrateur)");
    if (list.level)
        return describeLevel(*list.level);
    if (system.level)
        return describeLevel(*system.level) + QStringLiteral(" (réglage du poste)");
    return describeLevel(LevelRange{});
}

} // namespace quiltaro
