#include "SchoolRegister.h"

#include "ClassName.h"

#include <QCollator>
#include <QFile>
#include <QFileInfo>
#include <QStringDecoder>

#include <algorithm>
#include <map>
#include <set>

namespace quiltaro {

namespace {

// A register is a school, not a file pointed here by mistake.
constexpr qint64 largest = 16 << 20;

QCollator french() {
    QCollator c{QLocale(QLocale::French, QLocale::France)};
    c.setNumericMode(true);
    return c;
}

QStringList sortedFrench(QStringList names) {
    const QCollator c = french();
    std::stable_sort(names.begin(), names.end(), c);
    return names;
}

// The characters of Windows-1252 between 0x80 and 0x9F; the rest is Latin-1.
QString fromWindows1252(const QByteArray& bytes) {
    static const char16_t high[32] = {
        0x20AC, 0xFFFD, 0x201A, 0x0192, 0x201E, 0x2026, 0x2020, 0x2021, 0x02C6, 0x2030, 0x0160,
        0x2039, 0x0152, 0xFFFD, 0x017D, 0xFFFD, 0xFFFD, 0x2018, 0x2019, 0x201C, 0x201D, 0x2022,
        0x2013, 0x2014, 0x02DC, 0x2122, 0x0161, 0x203A, 0x0153, 0xFFFD, 0x017E, 0x0178};
    QString text;
    text.reserve(bytes.size());
    for (const char byte : bytes) {
        const auto b = static_cast<unsigned char>(byte);
        text += b >= 0x80 && b < 0xA0 ? QChar(high[b - 0x80]) : QChar(b);
    }
    return text;
}

QString decoded(const QByteArray& bytes) {
    QStringDecoder utf8(QStringDecoder::Utf8);
    QString text = utf8(bytes);
    if (utf8.hasError())
        text = fromWindows1252(bytes);
    if (text.startsWith(QChar(0xFEFF)))
        text.remove(0, 1);
    return text;
}

// The separator of the header line: the one found most outside quotes.
QChar separatorOf(const QString& text) {
    int semicolons = 0, commas = 0;
    bool quoted = false;
    for (const QChar c : text) {
        if (c == QLatin1Char('"'))
            quoted = !quoted;
        else if (!quoted && (c == QLatin1Char('\n') || c == QLatin1Char('\r')))
            break;
        else if (!quoted && c == QLatin1Char(';'))
            ++semicolons;
        else if (!quoted && c == QLatin1Char(','))
            ++commas;
    }
    return semicolons >= commas ? QLatin1Char(';') : QLatin1Char(',');
}

// The rows of a CSV text: fields between quotes may hold the separator,
// line breaks and doubled quotes.
std::vector<QStringList> rowsOf(const QString& text, QChar separator) {
    std::vector<QStringList> rows;
    QStringList row;
    QString field;
    bool quoted = false;
    const auto endRow = [&] {
        row << field;
        field.clear();
        if (row.size() > 1 || !row.front().trimmed().isEmpty())
            rows.push_back(row);
        row.clear();
    };
    for (qsizetype i = 0; i < text.size(); ++i) {
        const QChar c = text.at(i);
        if (quoted) {
            if (c != QLatin1Char('"'))
                field += c;
            else if (i + 1 < text.size() && text.at(i + 1) == QLatin1Char('"'))
                field += text.at(++i);
            else
                quoted = false;
        } else if (c == QLatin1Char('"')) {
            quoted = true;
        } else if (c == separator) {
            row << field;
            field.clear();
        } else if (c == QLatin1Char('\n')) {
            endRow();
        } else if (c != QLatin1Char('\r')) {
            field += c;
        }
    }
    if (!field.isEmpty() || !row.isEmpty())
        endRow();
    return rows;
}

QString header(const QString& written) {
    return foldedName(QString(written).replace(QChar(0x2019), QLatin1Char('\'')));
}

// The first column whose header is one of `exact`, else the first that
// starts with one of `starts`; -1 when none.
qsizetype columnOf(const QStringList& headers, std::initializer_list<const char*> exact,
                   std::initializer_list<const char*> starts = {}) {
    for (const char* name : exact)
        if (const qsizetype at = headers.indexOf(QLatin1String(name)); at >= 0)
            return at;
    for (qsizetype i = 0; i < headers.size(); ++i)
        for (const char* start : starts)
            if (headers[i].startsWith(QLatin1String(start)))
                return i;
    return -1;
}

// "LUCAS" and "JEAN-PIERRE", as some registers write them, become "Lucas"
// and "Jean-Pierre"; a name written in small letters stays as written.
QString asWritten(const QString& name) {
    const QString trimmed = name.simplified();
    if (trimmed != trimmed.toUpper() || trimmed == trimmed.toLower())
        return trimmed;
    QString titled = trimmed.toLower();
    for (qsizetype i = 0; i < titled.size(); ++i)
        if (i == 0 || !titled.at(i - 1).isLetter())
            titled[i] = titled.at(i).toUpper();
    return titled;
}

} // namespace

SchoolRegister parseRegister(const QByteArray& bytes) {
    SchoolRegister reg;
    const QString text = decoded(bytes);
    const std::vector<QStringList> rows = rowsOf(text, separatorOf(text));
    if (rows.empty()) {
        reg.problem = QStringLiteral("le fichier est vide");
        return reg;
    }
    QStringList headers;
    for (const QString& h : rows.front())
        headers << header(h);
    const qsizetype first = columnOf(
        headers, {"prenom", "prenom 1", "prenom usuel", "prenom de l'eleve", "prenom eleve"},
        {"prenom"});
    const qsizetype family = columnOf(
        headers, {"nom", "nom de famille", "nom d'usage", "nom de l'eleve", "nom eleve"}, {"nom "});
    const qsizetype klass = columnOf(headers, {"classe", "division"}, {"classe", "division"});
    const qsizetype level = columnOf(headers, {"niveau"}, {"niveau"});
    if (first < 0) {
        reg.problem = QStringLiteral("le fichier n'a pas de colonne « Prénom » sur sa première "
                                     "ligne (elle a : %1) ; exportez la liste des élèves de la "
                                     "base élèves au format CSV, avec ses en-têtes")
                          .arg(rows.front().join(QStringLiteral(" | ")).left(200));
        return reg;
    }
    reg.hasClasses = klass >= 0;
    reg.hasLevels = level >= 0;
    const auto at = [](const QStringList& row, qsizetype column) {
        return column >= 0 ? row.value(column).simplified() : QString();
    };
    for (auto row = rows.begin() + 1; row != rows.end(); ++row) {
        RegisterPupil pupil{asWritten(at(*row, first)), asWritten(at(*row, family)),
                            at(*row, klass), at(*row, level)};
        if (!pupil.firstName.isEmpty())
            reg.pupils.push_back(std::move(pupil));
    }
    if (reg.pupils.empty())
        reg.problem = QStringLiteral("le fichier ne contient aucun élève sous ses en-têtes");
    return reg;
}

SchoolRegister readRegister(const QString& file) {
    QFile in(file);
    const QFileInfo info(file);
    QString why;
    if (!info.exists())
        why = QStringLiteral("ce fichier n'existe pas");
    else if (!info.isFile())
        why = QStringLiteral("ce n'est pas un fichier");
    else if (info.size() > largest)
        why = QStringLiteral("il est bien trop grand pour un registre d'élèves");
    else if (!in.open(QIODevice::ReadOnly))
        why = in.errorString();
    SchoolRegister reg;
    if (why.isEmpty()) {
        const QByteArray bytes = in.read(largest);
        if (bytes.contains('\0'))
            why = QStringLiteral("ce n'est pas un fichier CSV (texte)");
        else
            reg = parseRegister(bytes);
    }
    if (!why.isEmpty())
        reg.problem = why;
    if (!reg.problem.isEmpty())
        reg.problem =
            QStringLiteral("le registre %1 ne peut pas être lu : %2.").arg(file, reg.problem);
    return reg;
}

namespace {

QStringList distinct(const std::vector<RegisterPupil>& pupils, QString RegisterPupil::*field) {
    std::map<QString, QString> byFolded;
    for (const RegisterPupil& p : pupils)
        if (!(p.*field).isEmpty())
            byFolded.try_emplace(foldedName(p.*field), p.*field);
    QStringList names;
    for (const auto& [folded, name] : byFolded)
        names << name;
    return sortedFrench(names);
}

} // namespace

QStringList SchoolRegister::classes() const {
    return distinct(pupils, &RegisterPupil::className);
}

QStringList SchoolRegister::levels() const {
    return distinct(pupils, &RegisterPupil::level);
}

} // namespace quiltaro
