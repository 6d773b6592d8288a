// The director's register-commands and deregister-commands against the real plug-in activated on a
// private session bus, and apps to see the result.
#include "RegistrationWorld.h"

#include <QDBusConnection>
#include <QElapsedTimer>
#include <QProcess>
#include <QTest>

using namespace regtest;

namespace {

struct Run {
    int exitCode = -1;
    QString out;
    QString err;
};

Run Director(const QStringList& arguments)
{
    QProcess process;
    process.start(testsupport::BinDir() + QStringLiteral("/lnsdirector"), arguments);
    Run run;
    if (!process.waitForFinished(120000)) {
        process.kill();
        process.waitForFinished();
        run.err = QStringLiteral("timed out");
        return run;
    }
    run.exitCode = process.exitStatus() == QProcess::NormalExit ? process.exitCode() : -1;
    run.out = QString::fromUtf8(process.readAllStandardOutput());
    run.err = QString::fromUtf8(process.readAllStandardError());
    return run;
}

// Our lines of "apps": template, name, class, command, default (the ProgID checked on the way).
QStringList OurAppLines(const QString& network)
{
    const Run apps = Director({QStringLiteral("apps"), network});
    if (apps.exitCode != 0)
        return {QStringLiteral("apps failed: ") + apps.err};
    QStringList out;
    for (const QString& line : apps.out.split(QLatin1Char('\n'), Qt::SkipEmptyParts)) {
        const QStringList f = line.split(QLatin1Char('\t'));
        if (f.size() == 6 && f[2] == QLatin1String("KR5MHUConfigure.LNSPlugInAPI"))
            out << QStringList{f[0], f[1], f[3], f[4], f[5]}.join(QLatin1Char('|'));
    }
    return out;
}

}  // namespace

class TestRegisterCommandsBus : public QObject {
    Q_OBJECT
private slots:
    void initTestCase()
    {
        QVERIFY2(QDBusConnection::sessionBus().isConnected(), "the test runs on its own session bus");
        QVERIFY2(!qEnvironmentVariable("KR5M_TEST_WORLD").isEmpty(), "started by cmake/run-on-bus.sh");
        framework::LoadPlugInIdentity();
        // Every box the activated plug-in shows is recorded (and none is expected).
        m_record = qEnvironmentVariable("KR5M_TEST_WORLD") + QStringLiteral("/boxes.txt");
        QVERIFY(WriteFile(qEnvironmentVariable("KR5M_TEST_WORLD") + QStringLiteral("/answers.txt"), QByteArray()));
        QCOMPARE(QProcess::execute(QStringLiteral("dbus-update-activation-environment"),
                                   {QStringLiteral("KR5M_RECORD=") + m_record,
                                    QStringLiteral("KR5M_ANSWERS=") + qEnvironmentVariable("KR5M_TEST_WORLD") +
                                        QStringLiteral("/answers.txt")}),
                 0);
        QProcess reg;
        reg.start(testsupport::BinDir() + QStringLiteral("/KR5MHUConfigure"), {QStringLiteral("/regserver")});
        QVERIFY(reg.waitForFinished(20000));
        QCOMPARE(reg.exitCode(), 0);
    }

    void registerAndDeregister()
    {
        Installation world;
        QVERIFY(world.installConverter());
        world.createNetwork(Net);
        world.putXif(ModelA, QStringLiteral("KR5M-HU.xif"));
        world.putXif(ModelB, QStringLiteral("KR5M-HU-RoHS.xif"));

        const Run reg = Director({QStringLiteral("register-commands"), Net});
        QVERIFY2(reg.exitCode == 0, qPrintable(reg.out + reg.err));
        // Both templates imported from the import folder, each with our two entries as the default.
        const QStringList expected = {NameA + QStringLiteral("|Kestrova KR5M-HU LonMarkObject Configure|28|13|true"),
                                      NameA + QStringLiteral("|Kestrova KR5M-HU Device Configure|7|13|true"),
                                      NameB + QStringLiteral("|Kestrova KR5M-HU LonMarkObject Configure|28|13|true"),
                                      NameB + QStringLiteral("|Kestrova KR5M-HU Device Configure|7|13|true")};
        QCOMPARE(OurAppLines(Net), expected);

        const Run again = Director({QStringLiteral("register-commands"), Net});
        QVERIFY2(again.exitCode == 0, qPrintable(again.out + again.err));
        QCOMPARE(OurAppLines(Net), expected);

        const Run dereg = Director({QStringLiteral("deregister-commands"), Net});
        QVERIFY2(dereg.exitCode == 0, qPrintable(dereg.out + dereg.err));
        QCOMPARE(OurAppLines(Net), QStringList{});
        QCOMPARE(world.admin.templateNames(Net).size(), 2);
        QVERIFY2(ReadAll(m_record).isEmpty(), ReadAll(m_record).constData());
    }

    // Another writer holds the database: the first removal that cannot be written ends command 51
    // with 20000 and the object server's reason, and every entry is still there.
    void deregisterCommandsOnALockedDatabaseFails()
    {
        // The bus's world is shared by the tests: a network of its own.
        const QString network = QStringLiteral("Locked");
        Installation world;
        QVERIFY(world.installConverter());
        world.createNetwork(network);
        world.putXif(ModelA, QStringLiteral("KR5M-HU.xif"));
        world.putXif(ModelB, QStringLiteral("KR5M-HU-RoHS.xif"));
        const Run reg = Director({QStringLiteral("register-commands"), network});
        QVERIFY2(reg.exitCode == 0, qPrintable(reg.out + reg.err));
        const QStringList registered = OurAppLines(network);
        QCOMPARE(registered.size(), 4);

        Run dereg;
        QElapsedTimer clock;
        {
            DatabaseWriter writer(world.lonWorks);
            QVERIFY(writer.locked);
            clock.start();
            dereg = Director({QStringLiteral("deregister-commands"), network});
        }
        // One wait for the lock, not one per entry.
        QVERIFY2(clock.elapsed() < 30000, qPrintable(QString::number(clock.elapsed())));
        const QString said = dereg.out + dereg.err;
        QCOMPARE(dereg.exitCode, 1);
        QVERIFY2(said.contains(QStringLiteral("error 20000 ") + framework::PlugInName() +
                               QStringLiteral(": Unable to remove Supported Commands: ")),
                 qPrintable(said));
        QVERIFY2(said.contains(QStringLiteral("locked")), qPrintable(said));
        QCOMPARE(OurAppLines(network), registered);
        QVERIFY2(ReadAll(m_record).isEmpty(), ReadAll(m_record).constData());
    }

    void unknownNetwork_data()
    {
        QTest::addColumn<QString>("verb");
        QTest::newRow("register-commands") << "register-commands";
        QTest::newRow("deregister-commands") << "deregister-commands";
        QTest::newRow("apps") << "apps";
    }
    void unknownNetwork()
    {
        QFETCH(QString, verb);
        Installation world;
        const Run run = Director({verb, QStringLiteral("Nowhere")});
        QCOMPARE(run.exitCode, 1);
        QVERIFY2(run.err.contains(QStringLiteral("Nowhere")) ||
                     run.out.contains(QStringLiteral("Cannot open the network Nowhere")),
                 qPrintable(run.out + run.err));
    }

    void usage_data()
    {
        QTest::addColumn<QStringList>("arguments");
        QTest::addColumn<int>("exitCode");
        QTest::newRow("register-commands without network") << QStringList{"register-commands"} << 2;
        QTest::newRow("apps with two networks") << QStringList{"apps", "a", "b"} << 2;
        QTest::newRow("deregister-commands --help") << QStringList{"deregister-commands", "--help"} << 0;
    }
    void usage()
    {
        QFETCH(QStringList, arguments);
        QFETCH(int, exitCode);
        const Run run = Director(arguments);
        QCOMPARE(run.exitCode, exitCode);
        QVERIFY((exitCode == 0 ? run.out : run.err).contains(QStringLiteral("usage: lnsdirector ") + arguments[0]));
    }

private:
    QString m_record;
};

QTEST_MAIN(TestRegisterCommandsBus)
#include "tst_registercommands_bus.moc"
