#include "PupilChooser.h"

#include <QCloseEvent>
#include <QKeyEvent>
#include <QPushButton>
#include <QScrollArea>

#include <algorithm>

// How "Qui joue ?" is used without a mouse: the focus moved by arrows and
// initials, scrolled into sight, and the choice made or given up.
namespace quiltaro {

namespace {

// The letter a name is found by: "Élodie" under E, "Œdipe" under O.
QChar initial(const QString& text) {
    const QString first = text.left(1).normalized(QString::NormalizationForm_KD).toCaseFolded();
    return first.isEmpty() ? QChar() : first.at(0);
}

} // namespace

void PupilChooser::focusButton(int index) {
    if (index < 0 || index >= int(buttons_.size()))
        return;
    buttons_[size_t(index)]->setFocus(Qt::OtherFocusReason);
    scroll_->ensureWidgetVisible(buttons_[size_t(index)], spacing, spacing);
}

void PupilChooser::choose(int index) {
    // One choice per showing: a double click or Enter held down is one pupil.
    if (choosing_ || index < 0 || index >= int(buttons_.size()))
        return;
    choosing_ = true;
    if (chosen)
        chosen(names_[index]);
}

bool PupilChooser::moveByKey(int index, int key, const QString& text) {
    const int n = int(buttons_.size());
    switch (key) {
    case Qt::Key_Left:
        focusButton(std::max(0, index - 1));
        return true;
    case Qt::Key_Right:
        focusButton(std::min(n - 1, index + 1));
        return true;
    case Qt::Key_Up:
        focusButton(index - columns_ >= 0 ? index - columns_ : index);
        return true;
    case Qt::Key_Down:
        focusButton(index + columns_ < n ? index + columns_ : index);
        return true;
    case Qt::Key_Home:
        focusButton(0);
        return true;
    case Qt::Key_End:
        focusButton(n - 1);
        return true;
    case Qt::Key_Return:
    case Qt::Key_Enter:
        choose(index);
        return true;
    default:
        break;
    }
    const QChar letter = initial(text);
    if (!letter.isLetter())
        return false;
    // The next name with that initial, after the one that has the focus.
    for (int step = 1; step <= n; ++step) {
        const int candidate = (index + step) % n;
        if (initial(names_[candidate]) == letter) {
            focusButton(candidate);
            break;
        }
    }
    return true;
}

bool PupilChooser::eventFilter(QObject* watched, QEvent* event) {
    if (event->type() == QEvent::Resize && watched == scroll_->viewport())
        placeButtons();
    if (event->type() == QEvent::KeyPress) {
        const auto found = std::find(buttons_.begin(), buttons_.end(), watched);
        auto* key = static_cast<QKeyEvent*>(event);
        if (found != buttons_.end() && key->key() != Qt::Key_Escape &&
            moveByKey(int(found - buttons_.begin()), key->key(), key->text()))
            return true;
    }
    return QWidget::eventFilter(watched, event);
}

void PupilChooser::keyPressEvent(QKeyEvent* event) {
    if (event->key() == Qt::Key_Escape) {
        hide();
        if (cancelled)
            cancelled();
        return;
    }
    // No name has the focus yet: the arrows and Home go to the first name,
    // End to the last, an initial to the first name it begins; Enter and
    // Space choose nobody.
    switch (event->key()) {
    case Qt::Key_Left:
    case Qt::Key_Right:
    case Qt::Key_Up:
    case Qt::Key_Down:
    case Qt::Key_Home:
        focusButton(0);
        return;
    case Qt::Key_Return:
    case Qt::Key_Enter:
    case Qt::Key_Space:
        return;
    default:
        if (!moveByKey(-1, event->key(), event->text()))
            QWidget::keyPressEvent(event);
    }
}

void PupilChooser::closeEvent(QCloseEvent* event) {
    // Closed by the window system: as Escape.
    QWidget::closeEvent(event);
    if (cancelled)
        cancelled();
}

} // namespace quiltaro
