#include "ResultsWindow.h"

#include "ClassTable.h"

#include <QApplication>
#include <QHeaderView>
#include <QScrollArea>
#include <QScrollBar>
#include <QTimer>

#include <algorithm>
#include <memory>

// The window shown again while the class plays: new rounds arrive, and the
// teacher keeps their place in it.
namespace quiltaro {

void ResultsWindow::refresh(ClassRecord data, const QDateTime& now) {
    int sortSection = -1;
    Qt::SortOrder sortOrder = Qt::AscendingOrder;
    const bool tableHadFocus = table_ && table_->hasFocus();
    if (table_) {
        const QHeaderView* header = table_->horizontalHeader();
        sortSection = header->sortIndicatorSection();
        sortOrder = header->sortIndicatorOrder();
    }
    const QString chosen = shownPupil_;
    const int scrolled = scroll_->verticalScrollBar()->value();
    data_ = std::move(data);
    fill(now, chosen, sortSection, sortOrder);
    if (tableHadFocus && table_)
        table_->setFocus();
    // The new content's height is known once it is laid out: the place is
    // given back as soon as the scroll bar reaches it.
    QScrollBar* bar = scroll_->verticalScrollBar();
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
