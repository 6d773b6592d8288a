// Starting another program and waiting for it while window events run.
#include "platform/toolkit/Process.h"

#include <QElapsedTimer>
#include <QTest>
#include <QThread>
#include <QTimer>

class TestProcess : public QObject {
    Q_OBJECT

private slots:
    // A program that ends while the events run (as a window repaints during the wait) is seen as
    // ended, with its status and what it said, not waited for to the end of the wait.
    void anEndSeenWhileEventsRunIsAnEnd_data()
    {
        QTest::addColumn<bool>("eventsRunAtTheEnd");
        QTest::newRow("ended during the wait itself") << false;
        QTest::newRow("ended while events ran") << true;
    }
    void anEndSeenWhileEventsRunIsAnEnd()
    {
        QFETCH(bool, eventsRunAtTheEnd);
        if (eventsRunAtTheEnd) {
            // The first turn of events outlasts the program and runs the events again, so that they
            // are the ones that see it end.
            QTimer::singleShot(0, this, [] {
                QThread::msleep(300);
                QCoreApplication::processEvents();
            });
        }
        QElapsedTimer clock;
        clock.start();
        const toolkit::ProcessOutcome outcome =
            toolkit::StartProcess(QStringLiteral("/bin/sh"),
                                  {QStringLiteral("-c"), QStringLiteral("sleep 0.1; echo refused >&2; exit 7")}, 5000);
        QVERIFY(outcome.started);
        QVERIFY2(outcome.finished, qPrintable(QStringLiteral("not seen to end in %1 ms").arg(clock.elapsed())));
        QCOMPARE(outcome.exitCode, 7);
        QCOMPARE(outcome.errorOutput, QStringLiteral("refused\n"));
        QVERIFY2(clock.elapsed() < 2000, qPrintable(QStringLiteral("seen to end after %1 ms").arg(clock.elapsed())));
    }
};

QTEST_GUILESS_MAIN(TestProcess)
#include "tst_process.moc"
