// The teacher's tools only read: a record that a killed game left with its
// log and the log's index is left as it was, byte for byte and to the
// nanosecond, and a game that writes while they read loses none of its
// rounds to them.
#include "RecordReading.h"
#include "RecordStore.h"
#include "RecordTesting.h"
#include "SuiteFolder.h"

#include <QCryptographicHash>
#include <QProcess>
#include <QtTest>

#include <csignal>
#include <cstdio>

#include <sys/stat.h>

using namespace quiltaro;
using namespace quiltaro::test;

namespace {

RoundRecord numbered(int i) {
    RoundRecord r = knownRounds()[0];
    r.gameToken = QStringLiteral("partie-%1").arg(i / 10);
    r.started = base.addSecs(60 * i);
    r.ended = r.started.addSecs(30);
    return r;
}

// A game that writes rounds one after the other and says each on its
// standard output once it is in; killed with its log open after `rounds`
// rounds, or left to be killed by the suite when `rounds` is 0.
int writingCopy(const QString& path, int rounds) {
    ProblemReport report;
    RecordStore store(path, report);
    for (int i = 1; rounds == 0 || i <= rounds; ++i) {
        if (!store.write(numbered(i)))
            return 1;
        std::printf("%d\n", i);
        std::fflush(stdout);
    }
    raise(SIGKILL);
    return 1;
}

// What a file is, bytes and times: what a reading must leave alone.
QByteArray stateOf(const QString& path) {
    struct stat st {};
    if (::stat(QFile::encodeName(path).constData(), &st) != 0)
        return "absent";
    return QCryptographicHash::hash(contents(path), QCryptographicHash::Sha256).toHex() + ' ' +
           QByteArray::number(qint64(st.st_mtim.tv_sec)) + '.' +
           QByteArray::number(qint64(st.st_mtim.tv_nsec)) + ' ' +
           QByteArray::number(qint64(st.st_ctim.tv_nsec)) + ' ' + QByteArray::number(st.st_size);
}

QStringList statesBeside(const QString& record) {
    QStringList states;
    for (const char* suffix : {"", "-wal", "-shm", "-journal"})
        states << QString::fromLatin1(stateOf(record + QLatin1String(suffix)));
    return states;
}

} // namespace

class RecordUntouchedTest : public QObject, private SuiteFolder {
    Q_OBJECT

private slots:
    void initTestCase() { startSuite(); }

    void theFilesAKilledGameLeftStayAsTheyWere() {
        const QString path = file("killed/record.sqlite");
        QVERIFY(QDir().mkpath(file("killed")));
        QProcess writer;
        writer.start(QCoreApplication::applicationFilePath(), {"--writing", path, "7"});
        QVERIFY(writer.waitForFinished(30000));
        QCOMPARE(writer.exitStatus(), QProcess::CrashExit);
        QVERIFY(QFileInfo::exists(path + "-wal") && QFileInfo::exists(path + "-shm"));
        const QStringList before = statesBeside(path);
        // Time enough for a changed time to show, whatever the filesystem's grain.
        QTest::qWait(20);
        QByteArray output;
        const QString csv = file("killed.csv");
        QCOMPARE(run(QUILTARO_BINARY, {"--export-csv", csv, path}, &output), 0);
        QCOMPARE(contents(csv).count("\r\n"), qsizetype(1 + 7));
        QCOMPARE(readRecord(path, Detail::Counts).rounds.size(), size_t(7));
        QCOMPARE(checkedFile(path), std::optional<bool>(true));
        QCOMPARE(statesBeside(path), before);
        QVERIFY(QDir(file("killed")).entryList(QDir::Files).size() == 3);
    }

    // The tools read a copy of the record and its log: a game that writes
    // meanwhile, checkpoints included, has every round it wrote before a
    // reading began in that reading.
    void aGameWritingMeanwhileLosesNoRoundToTheTools() {
        const QString path = file("live/record.sqlite");
        QVERIFY(QDir().mkpath(file("live")));
        QProcess writer;
        writer.start(QCoreApplication::applicationFilePath(), {"--writing", path, "0"});
        int written = 0;
        const auto catchUp = [&] {
            while (writer.canReadLine())
                written = writer.readLine().trimmed().toInt();
        };
        for (int reading = 0; reading < 25; ++reading) {
            QVERIFY(writer.waitForReadyRead(10000));
            catchUp();
            const int before = written;
            const RecordContents read = readRecord(path, Detail::Counts);
            QCOMPARE(read.state, RecordContents::State::Whole);
            QVERIFY2(
                read.rounds.size() >= size_t(before),
                qPrintable(
                    QStringLiteral("%1 read, %2 written").arg(read.rounds.size()).arg(before)));
            QTest::qWait(reading % 5 * 7);
        }
        writer.kill();
        writer.waitForFinished();
        catchUp();
        QVERIFY2(written > 100, "the game wrote too few rounds to have checkpointed");
        // Killed between a round's commit and its line, it wrote one more.
        const size_t left = readRecord(path, Detail::Counts).rounds.size();
        QVERIFY(left == size_t(written) || left == size_t(written) + 1);
    }
};

int main(int argc, char** argv) {
    if (argc == 4 && std::string(argv[1]) == "--writing") {
        QCoreApplication app(argc, argv);
        return writingCopy(QString::fromLocal8Bit(argv[2]), std::atoi(argv[3]));
    }
    QCoreApplication app(argc, argv);
    RecordUntouchedTest test;
    return QTest::qExec(&test, argc, argv);
}

#include "test_record_untouched.moc"
