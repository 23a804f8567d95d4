#include "GameRecording.h"

namespace quiltaro {

GameRecording::GameRecording(ProblemReport& report, const QString& listFile,
                             const QString& className)
    : GameRecording(report, listFile.isEmpty()
                                ? std::vector<ClassListSource>{}
                                : std::vector<ClassListSource>{{className, listFile, true}}) {}

namespace {

std::vector<GameRecording::Class> readClasses(const std::vector<ClassListSource>& sources,
                                              QStringList& problems) {
    std::vector<GameRecording::Class> classes;
    for (const ClassListSource& source : sources) {
        QString problem;
        GameRecording::Class c{source, readClassListFile(source.file, &problem)};
        // A list with no names asks nobody, and needs no telling.
        if (!problem.isEmpty())
            problems << problem;
        else if (!c.list.names.isEmpty())
            classes.push_back(std::move(c));
    }
    return classes;
}

} // namespace

GameRecording::GameRecording(ProblemReport& report, const std::vector<ClassListSource>& sources)
    : classes_(readClasses(sources, problems_)) {
    if (!problems_.isEmpty() && classes_.empty())
        problems_.last() += QStringLiteral(" Les parties sont enregistrées au nom du compte.");
    start(report);
}

bool GameRecording::readAgain(const std::vector<ClassListSource>& sources) {
    if (!class_)
        return false;
    QStringList told; // at start already
    std::vector<Class> classes = readClasses(sources, told);
    if (classes.empty())
        return false;
    classes_ = std::move(classes);
    return true;
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
