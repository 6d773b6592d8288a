// The demo on a machine without a display, run whole: scripts/demo-headless.sh in the test's world.
#include "support/TestEnvironment.h"

#include <QProcess>
#include <QTest>

class TestE2eDemo : public QObject {
    Q_OBJECT
private slots:
    void initTestCase()
    {
        QVERIFY2(!qEnvironmentVariable("KR5M_TEST_WORLD").isEmpty(), "started by cmake/run-on-bus.sh");
    }

    void endsByItself_data()
    {
        QTest::addColumn<QString>("device");
        QTest::addColumn<QString>("failure");  // empty: the demo succeeds
        QTest::newRow("two-pipe") << QStringLiteral("Demo/System 1/Floor 1/TS-101") << QString();
        QTest::newRow("RoHS, other network") << QStringLiteral("Plant/System 1/Plant Room/TS-202") << QString();
        QTest::newRow("device not answering")
            << QStringLiteral("Demo/System 1/Floor 1/TS-107") << QStringLiteral("The device TS-107 does not answer.");
        QTest::newRow("no such device") << QStringLiteral("Demo/System 1/Floor 1/TS-999")
                                        << QStringLiteral("Object not found");
    }

    // The demo ends by itself, well within its bound: with the pictures, the values the window shows
    // (each as the object server reads it) and the log, or with a message and status 1.
    void endsByItself()
    {
        QFETCH(QString, device);
        QFETCH(QString, failure);
        const QString out = qEnvironmentVariable("KR5M_TEST_WORLD") + QStringLiteral("/demo-output");
        QProcess demo;
        QProcessEnvironment env = QProcessEnvironment::systemEnvironment();
        env.remove(QStringLiteral("DISPLAY"));
        env.remove(QStringLiteral("WAYLAND_DISPLAY"));
        demo.setProcessEnvironment(env);
        QElapsedTimer clock;
        clock.start();
        demo.start(QStringLiteral("bash"), {testsupport::SourceDir() + QStringLiteral("/scripts/demo-headless.sh"),
                                            QStringLiteral("--out"), out, device});
        QVERIFY(demo.waitForFinished(90000));
        QVERIFY2(clock.elapsed() < 30000, qPrintable(QString::number(clock.elapsed())));
        const QString output = QString::fromUtf8(demo.readAllStandardOutput());
        const QString errors = QString::fromUtf8(demo.readAllStandardError());
        if (!failure.isEmpty()) {
            QCOMPARE(demo.exitCode(), 1);
            QVERIFY2(errors.contains(failure), qPrintable(errors));
            return;
        }
        QVERIFY2(demo.exitCode() == 0, qPrintable(output + errors));

        const QDir dir(out);
        const QStringList pictures = dir.entryList({QStringLiteral("*.png")}, QDir::Files, QDir::Name);
        QCOMPARE(pictures.size(), 7);
        for (const QString& picture : pictures)
            QVERIFY2(!QImage(dir.filePath(picture)).isNull(), qPrintable(picture));

        QFile values(dir.filePath(QStringLiteral("values.tsv")));
        QVERIFY(values.open(QIODevice::ReadOnly | QIODevice::Text));
        const QStringList rows = QString::fromUtf8(values.readAll()).split(QLatin1Char('\n'), Qt::SkipEmptyParts);
        QVERIFY(rows.size() >= 30);
        QMap<QString, QStringList> read;  // variable and format -> its fields as the object server gives them
        const QString network = device.section(QLatin1Char('/'), 0, 0);
        for (const QString& row : rows) {
            // field, variable, field number, format read, text shown, units, the model has it
            const QStringList cells = row.split(QLatin1Char('\t'));
            QCOMPARE(cells.size(), 7);
            QVERIFY2(output.contains(cells[0]), qPrintable(cells[0]));
            if (cells[6] == QLatin1String("no"))
                continue;
            const QString key = cells[1] + QLatin1Char(' ') + cells[3];
            if (!read.contains(key)) {
                QProcess nv;
                nv.start(testsupport::BinDir() + QStringLiteral("/lnsdirector"),
                         {QStringLiteral("nv"), QStringLiteral("get"), network, device, cells[1],
                          QStringLiteral("--format"), cells[3]});
                QVERIFY(nv.waitForFinished(20000));
                QCOMPARE(nv.exitCode(), 0);
                const QString value =
                    QString::fromUtf8(nv.readAllStandardOutput()).trimmed().section(QLatin1Char('\n'), -1);
                read.insert(key, value.split(QRegularExpression(QStringLiteral("[, ]"))));
            }
            const QString expected = read[key].value(cells[2].toInt());
            bool shownIsNumber = false, readIsNumber = false;
            const double shown = cells[4].toDouble(&shownIsNumber);
            const double device = expected.toDouble(&readIsNumber);
            // Set points are shown rounded to half a degree.
            if (shownIsNumber && readIsNumber)
                QVERIFY2(qAbs(shown - device) <= 0.25, qPrintable(row + QStringLiteral(" / ") + expected));
            else
                QCOMPARE(cells[4], expected);
        }

        QFile log(dir.filePath(QStringLiteral("log.tsv")));
        QVERIFY(log.open(QIODevice::ReadOnly | QIODevice::Text));
        const QString logText = QString::fromUtf8(log.readAll());
        QCOMPARE(logText.count(QStringLiteral("\tok\tReading ")), 11);
        QVERIFY(output.contains(QStringLiteral("Reading nciSetPts")));
    }
};

QTEST_GUILESS_MAIN(TestE2eDemo)
#include "test_e2e_demo.moc"
