#include "GameRecording.h"

#include "Pupils.h"

namespace quiltaro {

GameRecording::GameRecording(ProblemReport& report, const QString& listFile) {
    if (!listFile.isEmpty()) {
        list_ = readClassListFile(listFile, &problem_);
        if (!problem_.isEmpty())
            problem_ += QStringLiteral(" Les parties sont enregistrées au nom du compte.");
    }
    if (list_.names.isEmpty()) {
        store_.emplace(RecordStore::defaultPath(), report);
        recorder_.emplace(*store_);
        recorder_->setPupil(accountPupilName());
    } else {
        class_.emplace(report, &pupilRecordPath);
    }
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

void GameRecording::choose(const QString& pupil) {
    if (class_)
        class_->choose(pupil);
}

} // namespace quiltaro
