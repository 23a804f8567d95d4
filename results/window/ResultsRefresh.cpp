#include "ResultsWindow.h"

#include "ClassTable.h"

#include <QApplication>
#include <QHeaderView>
#include <QScrollBar>
#include <QSplitter>
#include <QTimer>

#include <algorithm>
#include <memory>

// The window shown again while the class plays, or for another period: new
// rounds arrive, and the teacher keeps their place in it.
namespace quiltaro {

void ResultsWindow::refresh(ClassRecord data, const QDateTime& now) {
    int sortSection = -1;
    Qt::SortOrder sortOrder = Qt::AscendingOrder;
    QWidget* focused = QApplication::focusWidget();
    const bool tableHadFocus = table_ && focused == table_;
    int scrolled = 0;
    QList<int> sizes;
    if (table_) {
        const QHeaderView* header = table_->horizontalHeader();
        sortSection = header->sortIndicatorSection();
        sortOrder = header->sortIndicatorOrder();
        scrolled = table_->verticalScrollBar()->value();
        sizes = split_->sizes();
    }
    const QString chosen = shownPupil_;
    data_ = std::move(data);
    now_ = now;
    sizeForWhatItShows();
    fill(chosen, sortSection, sortOrder);
    if (!table_)
        return;
    if (!sizes.isEmpty())
        split_->setSizes(sizes);
    if (tableHadFocus)
        table_->setFocus();
    // The list's height is known once it is laid out: the place is given
    // back as soon as the scroll bar reaches it.
    QScrollBar* bar = table_->verticalScrollBar();
    bar->setValue(scrolled);
    if (bar->maximum() >= scrolled)
        return;
    auto following = std::make_shared<QMetaObject::Connection>();
    *following =
        connect(bar, &QScrollBar::rangeChanged, this, [bar, scrolled, following](int, int maximum) {
            bar->setValue(std::min(scrolled, maximum));
            if (maximum >= scrolled)
                disconnect(*following);
        });
}

void ResultsWindow::refreshWhenFree(ClassRecord data, const QDateTime& now) {
    waiting_ = std::move(data);
    waitingNow_ = now;
    refreshWaiting();
}

void ResultsWindow::refreshWaiting() {
    if (!waiting_)
        return;
    if (QApplication::activeModalWidget() || QApplication::activePopupWidget()) {
        retry_->start();
        return;
    }
    retry_->stop();
    ClassRecord data = std::move(*waiting_);
    waiting_.reset();
    refresh(std::move(data), waitingNow_);
}

} // namespace quiltaro
