#pragma once

// The commands of a guide, as the tests run them: the shell blocks marked
// `<!-- essai : NAME -->` just before them, with what must be a test's own
// (temporary folders, a port) put in place of what the guide writes.
#include <QFile>
#include <QRegularExpression>
#include <QString>
#include <QStringList>

#include <map>

namespace quiltaro::test {

// The shell blocks of the guide marked `<!-- essai : NAME -->`, by name.
inline std::map<QString, QString> markedBlocks(const QString& guide) {
    QFile file(guide);
    std::map<QString, QString> blocks;
    if (!file.open(QIODevice::ReadOnly))
        return blocks;
    const QString text = QString::fromUtf8(file.readAll());
    static const QRegularExpression marked(
        QStringLiteral("<!-- essai : ([a-z-]+) -->\\n```sh\\n(.*?)```"),
        QRegularExpression::DotMatchesEverythingOption);
    for (auto m = marked.globalMatch(text); m.hasNext();) {
        const auto match = m.next();
        blocks[match.captured(1)] = match.captured(2);
    }
    return blocks;
}

// Replaces every key of `by` found in `text`, in one pass: what was put in
// is never replaced again.
inline QString substituted(const QString& text, const std::map<QString, QString>& by) {
    QStringList keys;
    for (const auto& [key, value] : by)
        keys << QRegularExpression::escape(key);
    const QRegularExpression any(keys.join(QLatin1Char('|')));
    QString out;
    qsizetype last = 0;
    for (auto m = any.globalMatch(text); m.hasNext();) {
        const auto match = m.next();
        out += text.mid(last, match.capturedStart() - last) + by.at(match.captured());
        last = match.capturedEnd();
    }
    return out + text.mid(last);
}

} // namespace quiltaro::test
