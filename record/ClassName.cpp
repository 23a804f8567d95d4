#include "ClassName.h"

namespace quiltaro {

namespace {

constexpr qsizetype longest = 40;

bool allowed(QChar c) {
    return c.isLetterOrNumber() || c == QLatin1Char(' ') || c == QLatin1Char('-') ||
           c == QLatin1Char('_') || c == QLatin1Char('.') || c == QLatin1Char('\'') ||
           c == QChar(0x2019); // the typographic apostrophe of a French keyboard
}

QString named(QChar c) {
    switch (c.unicode()) {
    case ',':
        return QStringLiteral("une virgule");
    case ';':
        return QStringLiteral("un point-virgule");
    case '/':
        return QStringLiteral("une barre oblique");
    case '\\':
        return QStringLiteral("une barre oblique inverse");
    default:
        break;
    }
    if (c.category() == QChar::Other_Control || c.isSpace())
        return QStringLiteral("un caractère invisible (tabulation, retour à la ligne…)");
    return QStringLiteral("le caractère « %1 »").arg(c);
}

} // namespace

QString classNameRule() {
    return QStringLiteral("un nom de classe a de 1 à %1 caractères : lettres, chiffres, espaces, "
                          "tirets (-), soulignés (_), points et apostrophes, comme CE2-A ou "
                          "CM1 B ; ni virgule, ni point-virgule, ni barre oblique")
        .arg(longest);
}

QString classNameProblem(const QString& written) {
    const QString name = written.trimmed();
    if (name.isEmpty())
        return QStringLiteral("le nom de la classe est vide");
    if (name.size() > longest)
        return QStringLiteral("« %1 » a %2 caractères, plus que %3")
            .arg(name)
            .arg(name.size())
            .arg(longest);
    for (const QChar c : name)
        if (!allowed(c))
            return QStringLiteral("« %1 » contient %2").arg(name, named(c));
    // "." and ".." name folders of their own.
    if (name.startsWith(QLatin1Char('.')))
        return QStringLiteral("« %1 » commence par un point").arg(name);
    return {};
}

QString classNameRefusal(const QString& name, const QString& where) {
    const QString problem = classNameProblem(name);
    if (problem.isEmpty())
        return {};
    return QStringLiteral("%1 : %2 ; %3.").arg(where, problem, classNameRule());
}

QString foldedName(const QString& name) {
    QString plain;
    for (const QChar c : name.normalized(QString::NormalizationForm_D))
        if (c.category() != QChar::Mark_NonSpacing)
            plain += c;
    return plain.toCaseFolded().simplified();
}

bool sameClass(const QString& a, const QString& b) {
    return foldedName(a) == foldedName(b);
}

} // namespace quiltaro
