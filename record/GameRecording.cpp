#include "GameRecording.h"

namespace quiltaro {

GameRecording::GameRecording(ProblemReport& report, const QString& listFile,
                             const QString& className)
    : GameRecording(report, listFile.isEmpty()
                                ? std::vector<ClassListSource>{}
                                : std::vector<ClassListSource>{{className, listFile, true}}) {}

GameRecording::GameRecording(ProblemReport& report, const std::vector<ClassListSource>& sources) {
    for (const ClassListSource& source : sources) {
        QString problem;
        Class c{source, readClassListFile(source.file, &problem)};
        // A list with no names asks nobody, and needs no telling.
        if (!problem.isEmpty())
            problems_ << problem;
        else if (!c.list.names.isEmpty())
            classes_.push_back(std::move(c));
    }
    if (!problems_.isEmpty() && classes_.empty())
        problems_.last() += QStringLiteral(" Les parties sont enregistrées au nom du compte.");
    start(report);
}

void GameRecording::start(ProblemReport& report) {
    if (classes_.empty()) {
        store_.emplace(RecordStore::defaultPath(), report);
        recorder_.emplace(*store_);
        recorder_->setPupil(accountPupilName());
        return;
    }
    class_.emplace(report, [this](const QString& pupil, const QString& className) {
        const Class* c = classNamed(className);
        return c ? pupilRecordPath(pupil, c->source) : pupilRecordPath(pupil, className);
    });
}

const GameRecording::Class* GameRecording::classNamed(const QString& className) const {
    for (const Class& c : classes_)
        if (c.source.name == className)
            return &c;
    return nullptr;
}

QStringList GameRecording::classList() const {
    return classes_.size() == 1 ? classes_.front().list.names : QStringList();
}

const ClassList& GameRecording::list() const {
    static const ClassList none;
    return classes_.size() == 1 ? classes_.front().list : none;
}

RoundObserver& GameRecording::observer() {
    return class_ ? static_cast<RoundObserver&>(*class_) : *recorder_;
}

void GameRecording::whenWritten(const RecordWriter::Written& written) {
    if (class_)
        class_->whenWritten(written);
    else
        recorder_->whenWritten(written);
}

void GameRecording::choose(const QString& pupil, const QString& className) {
    if (class_)
        class_->choose(pupil, className);
}

} // namespace quiltaro
