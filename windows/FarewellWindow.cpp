#include "FarewellWindow.h"

#include "Controls.h"
#include "Program.h"

#include <QApplication>
#include <QLabel>

namespace quiltaro {

// Shown on the farewell window; a reserved domain, so that no real mailbox
// receives what pupils type in.
static const char* const contactAddress = "contact@quiltaro.example";
static QRect noticeRect() {
    return twips(480, 240, 12345, 3600);
}
static QFont noticeFont() {
    return makeFont(QStringLiteral("Arial"), 14, true);
}

FarewellWindow::FarewellWindow(Program& program)
    : ProgramWindow(program, QStringLiteral("Aurevoir"), twips(0, 0, 13305, 8640).size(),
                    QApplication::palette().color(QPalette::Base)) {
    setWindowTitle(QString());
    setAccessibleName(QStringLiteral("Au revoir"));
    setFont(makeFont(QStringLiteral("Arial"), 15.75));
    const QColor background = QApplication::palette().color(QPalette::Base);
    const QColor text = QApplication::palette().color(QPalette::Text);

    makeLabel(QStringLiteral("Label2"), QStringLiteral("Au revoir"), twips(7440, 3960, 3015, 1095),
              makeFont(QStringLiteral("Brush Script MT"), 36, false, true), QColor(255, 0, 0),
              background, this, Qt::AlignLeft | Qt::AlignTop);

    auto* fleche = new ImageControl(QStringLiteral("flèche"), QStringLiteral(":/assets/arrow.svg"),
                                    twips(11280, 4200, 480, 480), this);
    fleche->setAccessibleName(QStringLiteral("Flèche : quitter le jeu"));
    // The click waits its turn like any other; once it runs, whatever is
    // still queued behind it is dropped.
    fleche->onClick = [this] { program_.react([this] { program_.end(); }); };

    auto* envelope =
        new ImageControl(QStringLiteral("Picture1"), QStringLiteral(":/assets/envelope.svg"),
                         twips(7560, 7920, 495, 495), this);
    envelope->setBackground(background);
    envelope->setAccessibleName(QStringLiteral("Enveloppe"));

    // Room above the farewell, where nothing else is drawn; red like the
    // farewell, so that the teacher passing by sees it from afar.
    notice_ = makeLabel(QStringLiteral("avertissement"), QString(), noticeRect(), noticeFont(),
                        QColor(192, 0, 0), background, this, Qt::AlignLeft | Qt::AlignTop);
    notice_->hide();

    makeLabel(QStringLiteral("mail"), QString::fromLatin1(contactAddress),
              twips(8760, 8040, 3075, 285), makeFont(QStringLiteral("Tahoma"), 12), text,
              background, this, Qt::AlignLeft | Qt::AlignTop);
}

} // namespace quiltaro

namespace quiltaro {

void FarewellWindow::showNotice(const QString& text) {
    // Wrapped at design size, as every label is: the lines stay at any scale.
    QStringList lines;
    for (const QString& paragraph : text.split(QLatin1Char('\n')))
        lines << linesAt(paragraph, noticeFont(), noticeRect().width());
    notice_->setText(lines.join(QLatin1Char('\n')));
    notice_->setAccessibleName(text);
    notice_->setVisible(!text.isEmpty());
}

} // namespace quiltaro
