#pragma once

// A login of the tests' own for the class's suites: its configuration (the
// user's and the system's) and its data in a temporary folder, emptied
// before each test, never the real user's.
#include "RecordStore.h"

#include <QCoreApplication>
#include <QDir>
#include <QTemporaryDir>
#include <QTest>

#include <vector>

namespace quiltaro::test {

class TestLogin {
public:
    QTemporaryDir dir;
    QString config() const { return dir.filePath("config"); }
    QString systemConfig() const { return dir.filePath("etc-xdg"); }
    QString classList() const { return config() + "/quiltaro/classe.txt"; }

    // Once, from the suite's initTestCase.
    void setUp() {
        QVERIFY(dir.isValid());
        qputenv("XDG_CONFIG_HOME", config().toUtf8());
        qputenv("XDG_CONFIG_DIRS", systemConfig().toUtf8());
        qputenv("XDG_DATA_HOME", dir.filePath("data").toUtf8());
        QCoreApplication::setApplicationName("quiltaro");
        QVERIFY(RecordStore::defaultPath().startsWith(dir.path()));
    }

    // Before each test.
    void empty() {
        QDir(config()).removeRecursively();
        QDir(systemConfig()).removeRecursively();
        QDir(dir.filePath("data")).removeRecursively();
    }
};

inline QStringList pupilsOf(const std::vector<RoundRecord>& rounds) {
    QStringList names;
    for (const RoundRecord& r : rounds)
        names << r.pupil;
    return names;
}

} // namespace quiltaro::test
