#include "Pupils.h"

#include "RecordStore.h"

#include <QDir>
#include <QFile>
#include <QFileInfo>
#include <QSaveFile>
#include <QStandardPaths>
#include <QStringDecoder>

#include <pwd.h>
#include <unistd.h>

namespace quiltaro {

namespace {

const QString classListName = QStringLiteral("quiltaro/classe.txt");

} // namespace

QString accountPupilName() {
    if (const passwd* pw = getpwuid(getuid())) {
        // The full name is the first of the comma-separated fields.
        const QString full = QString::fromLocal8Bit(pw->pw_gecos).section(QLatin1Char(','), 0, 0);
        if (!full.trimmed().isEmpty())
            return full.trimmed();
        if (pw->pw_name && *pw->pw_name)
            return QString::fromLocal8Bit(pw->pw_name);
    }
    return qEnvironmentVariable("USER");
}

QString classListFile() {
    return QStandardPaths::locate(QStandardPaths::GenericConfigLocation, classListName);
}

QString writableClassListFile() {
    return QStandardPaths::writableLocation(QStandardPaths::GenericConfigLocation) +
           QLatin1Char('/') + classListName;
}

ClassList readClassListFile(const QString& file, QString* problem) {
    QFile in(file);
    // Only a file: a pipe or a device would keep the game waiting.
    const bool isFile = QFileInfo(file).isFile();
    if (!isFile || !in.open(QIODevice::ReadOnly | QIODevice::Text)) {
        if (problem)
            *problem = QStringLiteral("la liste de la classe %1 ne peut pas être lue : %2.")
                           .arg(file, isFile || !QFileInfo::exists(file)
                                          ? in.errorString()
                                          : QStringLiteral("ce n'est pas un fichier"));
        return {};
    }
    // Bounded: a list is a class, not a file someone pointed here by mistake.
    const QByteArray bytes = in.read(1 << 20);
    // A list saved by an editor that writes Latin-1 keeps its accents; the
    // byte-order mark some editors put first is no part of the first name.
    QStringDecoder utf8(QStringDecoder::Utf8);
    QString text = utf8(bytes);
    if (utf8.hasError())
        text = QString::fromLatin1(bytes);
    if (text.startsWith(QChar(0xFEFF)))
        text.remove(0, 1);
    return parseClassList(text);
}

QStringList readClassList(const QString& file, QString* problem) {
    return readClassListFile(file, problem).names;
}

bool writeClassListFile(const QString& file, const ClassList& list, QString* problem) {
    QFileInfo(file).dir().mkpath(QStringLiteral("."));
    QSaveFile out(file);
    if (out.open(QIODevice::WriteOnly)) {
        out.write(classListText(list).toUtf8());
        if (out.commit())
            return true;
    }
    if (problem)
        *problem = QStringLiteral("la liste de la classe %1 n'a pas pu être écrite : %2.")
                       .arg(file, out.errorString());
    return false;
}

bool writeClassList(const QString& file, const QStringList& names, QString* problem) {
    ClassList list;
    list.names = names;
    return writeClassListFile(file, list, problem);
}

} // namespace quiltaro
