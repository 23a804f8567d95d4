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
    : report_(report), classes_(readClasses(sources, problems_)) {
    if (!problems_.isEmpty() && classes_.empty())
        problems_.last() += QStringLiteral(" Les parties sont enregistrées au nom du compte.");
    if (!classes_.empty()) {
        startClasses();
        seated_.to = &*class_;
        return;
    }
    store_.emplace(RecordStore::defaultPath(), report);
    recorder_.emplace(*store_);
    recorder_->setPupil(accountPupilName());
    seated_.to = &*recorder_;
}

bool GameRecording::readAgain(const std::vector<ClassListSource>& sources) {
    QStringList told; // at start already
    std::vector<Class> classes = readClasses(sources, told);
    if (classes.empty())
        return false;
    classes_ = std::move(classes);
    if (!class_)
        startClasses();
    return true;
}

void GameRecording::startClasses() {
    class_.emplace(report_, [this](const QString& pupil, const QString& className) {
        const Class* c = classNamed(className);
        return c ? pupilRecordPath(pupil, c->source) : pupilRecordPath(pupil, className);
    });
    if (written_)
        class_->whenWritten(written_);
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
    return seated_;
}

void GameRecording::whenWritten(const RecordWriter::Written& written) {
    written_ = written;
    if (class_)
        class_->whenWritten(written);
    if (recorder_)
        recorder_->whenWritten(written);
}

void GameRecording::choose(const QString& pupil, const QString& className) {
    if (!class_)
        return;
    class_->choose(pupil, className);
    seated_.to = &*class_;
}

} // namespace quiltaro
