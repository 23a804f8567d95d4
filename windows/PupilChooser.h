#pragma once

#include <QFont>
#include <QStringList>
#include <QWidget>

#include <functional>
#include <vector>

class QGridLayout;
class QPushButton;
class QScrollArea;

namespace quiltaro {

// "Qui joue ?": the names of a class as large buttons, for a pupil of eight
// to find and click, in a grid that wraps to the window's width and scrolls
// when the class is long. Arrows move between the names, a letter jumps to
// the next name that starts with it, Enter or Space chooses, Escape goes
// back without choosing. The same window asks a login that serves several
// classes for the class first.
class PupilChooser final : public QWidget {
    Q_OBJECT
public:
    // What the window says: its title, the line under it, and what a
    // screen reader tells of the window and of its list.
    struct Wording {
        QString title;
        QString hint;
        QString description;
        QString listName;
        static Wording pupils(const QString& className = {});
        static Wording classes();
    };
    explicit PupilChooser(const QStringList& names, QWidget* parent = nullptr,
                          const Wording& wording = Wording::pupils());

    // A name was chosen (by click, Enter or Space), or the pupil went back.
    std::function<void(const QString&)> chosen;
    std::function<void()> cancelled;

    // Opens with the keyboard's focus on `pupil`, or on no name at all when
    // `pupil` is not in the list (nobody played yet).
    void present(const QString& pupil);
    // The window's first size on a screen with `available` room: the whole
    // class where it fits. The names' size then follows the window's.
    QSize fitTo(const QSize& available);
    int nameSize() const { return nameSize_; }

    QPushButton* buttonOf(const QString& pupil) const;
    int columns() const { return columns_; }

protected:
    bool eventFilter(QObject* watched, QEvent* event) override;
    void keyPressEvent(QKeyEvent* event) override;
    void closeEvent(QCloseEvent* event) override;

private:
    void choose(int index);
    void focusButton(int index);
    bool moveByKey(int index, int key, const QString& text);
    // Between the names, and around them.
    static constexpr int spacing = 14;
    struct Cells {
        QFont font;
        int textWidth;
        QSize size;
    };
    Cells cellsAt(int points) const;
    void setNameSize(int points);
    void placeButtons();
    int columnsFor(int width, QSize cell) const;
    bool fits(int points, QSize room) const;

    QStringList names_;
    std::vector<QPushButton*> buttons_;
    QScrollArea* scroll_ = nullptr;
    QGridLayout* grid_ = nullptr;
    QSize cell_;
    int columns_ = 0;
    int nameSize_ = 0;
    bool choosing_ = false;
};

} // namespace quiltaro
