#include "ResultsWindow.h"

#include "PupilPanel.h"

#include <QPushButton>

#include <algorithm>
#include <memory>

// The rounds the window counted rather than read, read when a chart or an
// export needs them: from the class's server, which may be slow or not
// answer at all, or from the records. Always on a thread of their own, so
// that the window answers meanwhile, and says it reads.
namespace quiltaro {

ResultsWindow::~ResultsWindow() {
    // Every reading is asked to stop at once; each is then joined as it
    // goes, and none calls back into a window that is no more.
    for (const std::unique_ptr<Worker>& reading : readings_)
        reading->requestStop();
}

bool ResultsWindow::toRead(const std::vector<PupilRounds>& pupils) const {
    return data_.readRounds && std::any_of(pupils.begin(), pupils.end(), [](const PupilRounds& p) {
               return p.counted && p.rounds.empty() && p.counted->rounds > 0;
           });
}

void ResultsWindow::readThen(std::vector<PupilRounds> pupils, Detail detail,
                             std::function<void(std::vector<PupilRounds>)> then) {
    if (!toRead(pupils)) {
        then(std::move(pupils));
        return;
    }
    // A reading whose answer is no longer awaited (another pupil chosen) is
    // left to end on its own: waiting for it here would hold the window as
    // long as a server that does not answer.
    std::erase_if(readings_, [](const std::unique_ptr<Worker>& w) { return w->ended(); });
    ClassRecord source;
    source.readRounds = data_.readRounds;
    auto reading = std::make_unique<Worker>();
    reading->start([this, source = std::move(source), pupils = std::move(pupils), detail,
                    then = std::move(then)](std::stop_token stop) {
        auto read =
            std::make_shared<std::vector<PupilRounds>>(roundsRead(source, pupils, detail, stop));
        if (stop.stop_requested())
            return;
        QMetaObject::invokeMethod(
            this, [then, read] { then(std::move(*read)); }, Qt::QueuedConnection);
    });
    readings_.push_back(std::move(reading));
}

void ResultsWindow::showPupil(const QString& name) {
    const PupilSummary* pupil = summary_.pupil(name);
    const PupilRounds* rounds = data_.pupil(name);
    if (!pupil || !rounds || !panel_ || name == shownPupil_)
        return;
    shownPupil_ = name;
    const bool reading = toRead({*rounds});
    // The figures at once; the charts once the pupil's rounds are read.
    panel_->show(*pupil, summary_.mean, inPeriod(*rounds, period_), reading);
    const int mine = ++chartsAsked_;
    if (!reading)
        return;
    readThen({*rounds}, Detail::Counts,
             [this, mine, summary = *pupil](std::vector<PupilRounds> read) {
                 if (mine == chartsAsked_ && panel_ && !read.empty())
                     panel_->show(summary, summary_.mean, inPeriod(read.front(), period_));
             });
}

void ResultsWindow::whileReading(QPushButton* button, bool reading) {
    if (!button)
        return;
    // The button's own words come back once the rounds are read.
    if (reading) {
        button->setProperty("wordsBeforeReading", button->text());
        button->setText(QStringLiteral("Lecture…"));
    } else if (const QVariant words = button->property("wordsBeforeReading"); words.isValid()) {
        button->setText(words.toString());
    }
    button->setEnabled(!reading);
}

} // namespace quiltaro
