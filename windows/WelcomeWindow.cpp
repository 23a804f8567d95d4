#include "WelcomeWindow.h"

#include "Controls.h"
#include "NumberText.h"
#include "Palette.h"
#include "Program.h"
#include "SurfaceView.h"

#include <QIcon>
#include <QPushButton>

namespace quiltaro {

namespace {
const QColor white(255, 255, 255);
const QColor navy(0, 0, 128);
const QColor maroon(128, 0, 0);
} // namespace

WelcomeWindow::WelcomeWindow(Program& program)
    : ProgramWindow(program, QStringLiteral("accueil"), twips(0, 0, 14700, 8535).size(), white) {
    setWindowTitle(QStringLiteral("accueil"));
    setWindowIcon(QIcon(QStringLiteral(":/assets/emblem.svg")));
    Surface& g = addSurface(QSizeF(735, 426.75))->surface();
    view_->setAccessibleName(QStringLiteral("Droite graduée"));
    view_->setAccessibleDescription(QStringLiteral("Un nombre en rouge entre 0 et 999."));
    g.setForeColor(QColor(0, 0, 192));
    g.setFontName(QStringLiteral("Times New Roman"));
    g.setFontSize(18);
    g.setEmphasis(true);

    const QFont rules = makeFont(QStringLiteral("Arial"), 13.5, false, true);
    auto* titre =
        makeLabel(QStringLiteral("titre"), QStringLiteral("Quiltaro"), twips(1440, 480, 6495, 615),
                  makeFont(QStringLiteral("Arial"), 24, true), maroon, white, this);
    auto* texte2 = makeLabel(
        QStringLiteral("Texte2"),
        QStringLiteral("Le but de ce jeu est de deviner le nombre en rouge, en effectuant le "
                       "minimum d'essais."),
        twips(1560, 3600, 6375, 855), rules, navy, white, this);

    commande2_ = new QPushButton(QStringLiteral("commencer"), this);
    commande2_->setObjectName(QStringLiteral("Commande2"));
    commande2_->setGeometry(twips(10320, 7800, 3135, 495));
    commande2_->setFont(makeFont(QStringLiteral("Arial"), 12, true));
    commande2_->setAutoDefault(false);
    QPalette buttonColours = commande2_->palette();
    buttonColours.setColor(QPalette::Button, buttonColours.color(QPalette::Base));
    commande2_->setPalette(buttonColours);
    connect(commande2_, &QPushButton::clicked, this,
            [this] { program_.react([this] { program_.commence(); }); });

    auto* label1 =
        makeLabel(QStringLiteral("Label1"),
                  QStringLiteral("Il est possible d'agrandir l'image en cliquant sur cette loupe."),
                  twips(9720, 3120, 3975, 855), rules, navy, white, this);
    auto* label2 = makeLabel(
        QStringLiteral("Label2"),
        QStringLiteral("si vous le trouvez en 5 essais ou moins, vous gagnez deux points"),
        twips(1920, 6000, 5415, 855), rules, navy, white, this);
    auto* label3 =
        makeLabel(QStringLiteral("Label3"),
                  QStringLiteral("si vous le trouvez en 10 essais ou moins, vous gagnez un point"),
                  twips(1920, 5160, 5415, 855), rules, navy, white, this);
    auto* label4 = makeLabel(QStringLiteral("Label4"),
                             QStringLiteral("Mais attention si vous proposez un nombre en dehors "
                                            "de l'intervalle vous perdez un point"),
                             twips(1800, 7680, 5535, 735), rules, maroon, white, this);
    (void)titre, (void)texte2, (void)label1, (void)label2, (void)label3, (void)label4;
    if (!program_.notice().isEmpty())
        makeLabel(QStringLiteral("avis"), program_.notice(), twips(8400, 240, 6060, 1335),
                  makeFont(QStringLiteral("Arial"), 9, false), maroon, white, this)
            ->setAccessibleName(QStringLiteral("Avis"));

    auto* image2 =
        new ImageControl(QStringLiteral("Image2"), QStringLiteral(":/assets/magnifier.svg"),
                         twips(11040, 2000, 870, 855), this);
    image2->setAccessibleName(QStringLiteral("Loupe"));
    arret_ = new ImageControl(QStringLiteral("arret"), QStringLiteral(":/assets/stop.svg"),
                              twips(240, 7800, 480, 480), this);
    arret_->setAccessibleName(QStringLiteral("Arrêt : quitter"));
    arret_->onClick = [this] { program_.react([this] { program_.openFarewell(); }); };

    load();
}

void WelcomeWindow::load() {
    RoundState& s = program_.state();
    s.tryNumber = 0;
    s.score = 0;
}

Surface& WelcomeWindow::surface() {
    return view_->surface();
}

void WelcomeWindow::activated() {
    drawWelcomeIllustration();
}

bool WelcomeWindow::takesKey(int, const QString& text) const {
    return !text.isEmpty();
}

void WelcomeWindow::keyReaction(int, const QString& text) {
    // The key itself is not examined: whatever it yields, the pupil leaves.
    if (!text.isEmpty())
        program_.openFarewell();
}

void WelcomeWindow::drawWelcomeIllustration() {
    Surface& g = surface();
    g.setLineWidth(2);
    g.filledBox(41, 101, 428, 139, palette::lightCyan);
    g.setForeColor(palette::lightBlue);
    g.line(40, 120, 430, 120);
    g.setForeColor(palette::blue);
    const double w = g.textWidth(QString::fromStdString(numberToText(0)));
    g.setPosition(40 - w, 75);
    g.print({Surface::Number{0}}, Surface::LineEnd::End);
    g.setPosition(426, 75);
    g.print({Surface::Number{999}}, Surface::LineEnd::End);
    g.line(40, 100, 40, 140);
    g.line(430, 100, 430, 140);
    g.line(40, 100, 50, 100);
    g.line(430, 100, 420, 100);
    g.line(40, 140, 50, 140);
    g.line(430, 140, 420, 140);
    g.setForeColor(palette::lightRed);
    g.line(199, 110, 199, 130);
    g.setPosition(194, 82);
    g.print(QStringLiteral("?"), Surface::LineEnd::End);
}

} // namespace quiltaro
