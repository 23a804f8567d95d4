#pragma once

// What every suite that writes files starts from: a temporary folder of its
// own, the desktop's locale, and Qt's test paths, so that no test reaches the
// user's own record.
#include "DesktopLocale.h"

#include <QStandardPaths>
#include <QTemporaryDir>
#include <QtTest>

namespace quiltaro::test {

class SuiteFolder {
protected:
    QString file(const QString& name) const { return dir_.filePath(name); }
    QString folder() const { return dir_.path(); }

    // For initTestCase: a failure here skips every test of the suite.
    void startSuite() const {
        QUILTARO_ADOPT_DESKTOP_LOCALE();
        QVERIFY(dir_.isValid());
        QStandardPaths::setTestModeEnabled(true);
    }

private:
    QTemporaryDir dir_;
};

} // namespace quiltaro::test
