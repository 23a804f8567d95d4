#include "PupilChooser.h"

#include "Controls.h"

#include <QCollator>
#include <QFontMetrics>
#include <QGridLayout>
#include <QHBoxLayout>
#include <QLabel>
#include <QPushButton>
#include <QScrollArea>
#include <QStyle>
#include <QTextLayout>
#include <QVBoxLayout>

#include <algorithm>
#include <cmath>

namespace quiltaro {

namespace {

// The names' sizes, largest first: the largest at which the whole class
// can be seen, else the smallest, and the grid scrolls. Even the smallest
// is larger than a book's text; the largest are for a full screen, a
// window of its own is sized for 20 points at most.
constexpr int nameSizes[] = {28, 24, 20, 18, 16, 14};
constexpr int largestInAWindow = 20;

// The name as its button shows it: on two lines at most, broken between
// words where it can, the end elided when it is longer still. The whole
// name stays in the tooltip and in what a screen reader says.
QString shownName(const QString& name, const QFont& font, int width) {
    const QFontMetrics metrics(font);
    QString escaped = name;
    // A '&' would otherwise underline the letter after it.
    escaped.replace(QLatin1Char('&'), QLatin1String("&&"));
    if (metrics.horizontalAdvance(name) <= width)
        return escaped;
    QTextLayout layout(name, font);
    QTextOption option;
    option.setWrapMode(QTextOption::WrapAtWordBoundaryOrAnywhere);
    layout.setTextOption(option);
    QStringList lines;
    layout.beginLayout();
    QTextLine line = layout.createLine();
    if (line.isValid()) {
        line.setLineWidth(width);
        lines << name.left(line.textLength()).trimmed();
        const QString rest = name.mid(line.textLength()).trimmed();
        if (!rest.isEmpty())
            lines << metrics.elidedText(rest, Qt::ElideRight, width);
    }
    layout.endLayout();
    return lines.join(QLatin1Char('\n')).replace(QLatin1Char('&'), QLatin1String("&&"));
}

} // namespace

PupilChooser::Wording PupilChooser::Wording::pupils(const QString& className) {
    const QString title = className.isEmpty() ? QStringLiteral("Qui joue ?")
                                              : QStringLiteral("Qui joue ? (%1)").arg(className);
    return {title, QStringLiteral("Clique sur ton prénom."),
            QStringLiteral("Choisis ton prénom : clique dessus, ou va dessus avec les flèches et "
                           "appuie sur Entrée. Échap revient %1.")
                .arg(className.isEmpty() ? QStringLiteral("à l'accueil")
                                         : QStringLiteral("au choix de la classe")),
            className.isEmpty() ? QStringLiteral("Les prénoms de la classe")
                                : QStringLiteral("Les prénoms de la classe %1").arg(className)};
}

PupilChooser::Wording PupilChooser::Wording::classes() {
    return {QStringLiteral("Quelle est ta classe ?"), QStringLiteral("Clique sur ta classe."),
            QStringLiteral("Choisis ta classe : clique dessus, ou va dessus avec les flèches et "
                           "appuie sur Entrée ; ton prénom vient ensuite. Échap revient à "
                           "l'accueil."),
            QStringLiteral("Les classes")};
}

PupilChooser::PupilChooser(const QStringList& names, QWidget* parent, const Wording& wording)
    : QWidget(parent, Qt::Window), names_(names) {
    // In the order of the alphabet, as a class's lists are, whatever order
    // the teacher typed them in: Élodie among the E, Zoé at the end.
    QCollator french{QLocale(QLocale::French, QLocale::France)};
    french.setNumericMode(true); // "Lucas 2" before "Lucas 10"
    std::stable_sort(names_.begin(), names_.end(), french);
    // With no name chosen yet, the window itself takes the keys: the first
    // arrow or initial goes to a name.
    setFocusPolicy(Qt::StrongFocus);
    setObjectName(QStringLiteral("quiJoue"));
    setWindowTitle(wording.title);
    setWindowIcon(QIcon(QStringLiteral(":/assets/emblem.svg")));
    setAccessibleName(wording.title);
    setAccessibleDescription(wording.description);
    // Every other window of the game waits until a name is chosen: a round
    // played meanwhile would go to whoever played before.
    setWindowModality(Qt::ApplicationModal);
    setAutoFillBackground(true);
    QPalette colours = palette();
    colours.setColor(QPalette::Window, Qt::white);
    setPalette(colours);

    auto* title = new QLabel(wording.title, this);
    title->setObjectName(QStringLiteral("titre"));
    title->setFont(makeFont(QStringLiteral("Arial"), 24, true));
    title->setStyleSheet(QStringLiteral("color: #800000;"));
    title->setAlignment(Qt::AlignCenter);
    auto* hint = new QLabel(wording.hint, this);
    hint->setFont(makeFont(QStringLiteral("Arial"), 14));
    hint->setStyleSheet(QStringLiteral("color: #000080;"));
    hint->setAlignment(Qt::AlignCenter);

    // The grid in the middle of whatever room there is.
    auto* inside = new QWidget;
    inside->setAutoFillBackground(false);
    grid_ = new QGridLayout;
    grid_->setSpacing(spacing);
    auto* across = new QHBoxLayout;
    across->addStretch(1);
    across->addLayout(grid_);
    across->addStretch(1);
    auto* down = new QVBoxLayout(inside);
    down->setContentsMargins(spacing, spacing, spacing, spacing);
    down->addStretch(1);
    down->addLayout(across);
    down->addStretch(1);
    for (const QString& name : names_) {
        auto* button = new QPushButton(inside);
        button->setObjectName(QStringLiteral("eleve"));
        button->setAccessibleName(name);
        button->setToolTip(name);
        button->setFocusPolicy(Qt::StrongFocus);
        button->setCursor(Qt::PointingHandCursor);
        button->setStyleSheet(QStringLiteral(
            "QPushButton { color: #000080; background: #e0ffff; border: 3px solid #008080;"
            " border-radius: 12px; }"
            "QPushButton:hover { background: #b0f0f0; }"
            "QPushButton:pressed { background: #80e0e0; }"
            "QPushButton:focus { background: #ffffc0; border: 5px solid #800000; }"));
        button->installEventFilter(this);
        const int index = int(buttons_.size());
        connect(button, &QPushButton::clicked, this, [this, index] { choose(index); });
        buttons_.push_back(button);
    }

    scroll_ = new QScrollArea(this);
    scroll_->setObjectName(QStringLiteral("noms"));
    scroll_->setWidget(inside);
    scroll_->setWidgetResizable(true);
    scroll_->setFrameShape(QFrame::NoFrame);
    scroll_->setHorizontalScrollBarPolicy(Qt::ScrollBarAlwaysOff);
    scroll_->setAccessibleName(wording.listName);
    // The grid follows the room it is shown in, once that room is known.
    scroll_->viewport()->installEventFilter(this);

    auto* layout = new QVBoxLayout(this);
    layout->setContentsMargins(spacing, spacing, spacing, spacing);
    layout->addWidget(title);
    layout->addWidget(hint);
    layout->addWidget(scroll_, 1);
    setNameSize(largestInAWindow);
}

PupilChooser::Cells PupilChooser::cellsAt(int points) const {
    const QFont font = makeFont(QStringLiteral("Arial"), points, true);
    const QFontMetrics metrics(font);
    const int line = metrics.lineSpacing();
    // Wide enough for the longest name, within reason: a name longer still
    // takes two lines rather than making every button wide.
    int widest = 0, longest = 0;
    for (const QString& name : names_) {
        const int width = metrics.horizontalAdvance(name);
        longest = std::max(longest, width);
        if (width <= 9 * line)
            widest = std::max(widest, width);
    }
    Cells cells{font, std::max(widest, 5 * line), {}};
    const bool twoLines = longest > cells.textWidth;
    cells.size = QSize(cells.textWidth + line * 5 / 4, line * (twoLines ? 2 : 1) + line / 2);
    return cells;
}

void PupilChooser::setNameSize(int points) {
    const Cells cells = cellsAt(points);
    nameSize_ = points;
    cell_ = cells.size;
    for (size_t i = 0; i < buttons_.size(); ++i) {
        buttons_[i]->setFont(cells.font);
        buttons_[i]->setText(shownName(names_[int(i)], cells.font, cells.textWidth));
        buttons_[i]->setFixedSize(cell_);
    }
    columns_ = 0;
}

int PupilChooser::columnsFor(int width, QSize cell) const {
    const int room = width - 2 * spacing;
    return std::max(
        1, std::min<int>(int(buttons_.size()), (room + spacing) / (cell.width() + spacing)));
}

bool PupilChooser::fits(int points, QSize room) const {
    const QSize cell = cellsAt(points).size;
    const int columns = columnsFor(room.width(), cell);
    const int rows = (int(buttons_.size()) + columns - 1) / columns;
    return rows * (cell.height() + spacing) + spacing <= room.height();
}

QSize PupilChooser::fitTo(const QSize& available) {
    const int n = std::max(1, int(buttons_.size()));
    const int chrome = layout()->sizeHint().height() - scroll_->sizeHint().height();
    const int scrollBar = style()->pixelMetric(QStyle::PM_ScrollBarExtent);
    QSize size;
    for (const int points : nameSizes) {
        if (points > largestInAWindow)
            continue;
        const QSize cell = cellsAt(points).size;
        auto widthOf = [&](int columns) {
            return columns * (cell.width() + spacing) + 4 * spacing + scrollBar;
        };
        // Wide rather than tall: about half again as many columns as rows.
        int columns = std::max(1, int(std::ceil(std::sqrt(n * 1.5))));
        while (columns > 1 && widthOf(columns) > available.width())
            --columns;
        const int rows = (n + columns - 1) / columns;
        size = QSize(widthOf(columns), chrome + rows * (cell.height() + spacing) + 2 * spacing);
        if (size.height() <= available.height())
            break;
    }
    return size.boundedTo(available);
}

void PupilChooser::placeButtons() {
    const QSize room = scroll_->viewport()->size();
    int points = nameSizes[std::size(nameSizes) - 1];
    for (const int candidate : nameSizes)
        if (fits(candidate, room)) {
            points = candidate;
            break;
        }
    if (points != nameSize_)
        setNameSize(points);
    const int columns = columnsFor(room.width(), cell_);
    if (columns == columns_)
        return;
    columns_ = columns;
    for (QPushButton* button : buttons_)
        grid_->removeWidget(button);
    for (size_t i = 0; i < buttons_.size(); ++i)
        grid_->addWidget(buttons_[i], int(i) / columns, int(i) % columns);
}

void PupilChooser::present(const QString& pupil) {
    choosing_ = false;
    const auto found = std::find(names_.begin(), names_.end(), pupil);
    if (found != names_.end()) {
        focusButton(int(found - names_.begin()));
        return;
    }
    // Nobody played yet in this run: no name is offered, so that a child who
    // presses Enter at once does not play under someone else's name.
    setFocus(Qt::OtherFocusReason);
    scroll_->ensureVisible(0, 0);
}

QPushButton* PupilChooser::buttonOf(const QString& pupil) const {
    const auto found = std::find(names_.begin(), names_.end(), pupil);
    return found != names_.end() ? buttons_[size_t(found - names_.begin())] : nullptr;
}

} // namespace quiltaro
