// Two processes on one object-server database: a write is seen by the other at once, and a writer
// killed in the middle of its writes leaves a value that is whole.
#include "ObjectServerWorld.h"
#include "platform/objectserver/ObjectServerFactory.h"
#include "support/TestEnvironment.h"

#include <QCoreApplication>
#include <QElapsedTimer>
#include <QProcess>
#include <QTemporaryDir>
#include <QTest>
#include <QThread>
#include <memory>

using namespace objectservertest;
using lns::Ptr;

class TestObjectServerProcesses : public QObject {
    Q_OBJECT

private slots:
    void init();
    void cleanup();
    void writesAreSeenAtOnce_data();
    void writesAreSeenAtOnce();
    void faultsSetByAnotherProcessApplyAtOnce();
    void killedWriterLeavesAWholeValue_data();
    void killedWriterLeavesAWholeValue();
    void writersAtOnceLeaveWrittenValues_data();
    void writersAtOnceLeaveWrittenValues();

private:
    QString tool() const { return QCoreApplication::applicationDirPath() + QStringLiteral("/objectserver_nv_tool"); }
    QStringList toolArguments(const QString& nv, const QString& format) const
    {
        return {m_dir->path(), Network, Floor, QStringLiteral("Thermostat 1"), nv, format};
    }
    // Runs the tool to its end; its standard output, trimmed.
    QString runTool(const QStringList& arguments, int expectedExit = 0)
    {
        QProcess process;
        process.start(tool(), arguments);
        if (!process.waitForFinished(30000)) {
            process.kill();
            process.waitForFinished();
        }
        const QString output = QString::fromUtf8(process.readAllStandardOutput()).trimmed();
        const QString errors = QString::fromUtf8(process.readAllStandardError());
        if (process.exitStatus() != QProcess::NormalExit || process.exitCode() != expectedExit)
            return QStringLiteral("<exit %1: %2>").arg(process.exitCode()).arg(errors);
        return expectedExit == 0 ? output : errors.trimmed();
    }
    Ptr<lns::NetworkVariable> openVariable(const QString& nv)
    {
        m_server = lns::CreateObjectServer(m_dir->path());
        m_server->OpenObjectServer();
        auto network = m_server->Networks()->Item(Network);
        network->OpenNetwork();
        auto system = network->NetworkSystems()->Item(1);
        system->OpenSystem();
        return system->SystemSubsystems()
            ->Item(Floor)
            ->SubsystemAppDevices()
            ->Item(QStringLiteral("Thermostat 1"))
            ->DeviceInterface()
            ->InterfaceNetworkVariables()
            ->NvCollectionItem(nv);
    }

    // One per test function, so that on PostgreSQL each starts on an empty schema.
    std::unique_ptr<testsupport::TestEnvironment> m_env;
    std::unique_ptr<QTemporaryDir> m_dir;
    std::unique_ptr<lns::ObjectServer> m_server;
};

void TestObjectServerProcesses::init()
{
    QVERIFY(QFileInfo(tool()).isExecutable());
    m_env = std::make_unique<testsupport::TestEnvironment>();
    m_dir = std::make_unique<QTemporaryDir>();
    QVERIFY(m_dir->isValid());
    lns::admin::ObjectServerAdmin admin(m_dir->path());
    BuildDemo(admin);
    admin.setNvText(Device(QStringLiteral("Thermostat 1")), QStringLiteral("nciSetPts"),
                    QStringLiteral("23,25,27,21,19,17"));
}

void TestObjectServerProcesses::cleanup()
{
    m_server.reset();
    m_dir.reset();
    m_env.reset();
}

void TestObjectServerProcesses::writesAreSeenAtOnce_data()
{
    QTest::addColumn<QString>("writer");
    QTest::addColumn<QString>("nv");
    QTest::addColumn<QString>("format");
    QTest::addColumn<QString>("text");
    QTest::newRow("other process writes, this one reads") << "other"
                                                          << "nciSetPts"
                                                          << "SNVT_temp_setpt#SI"
                                                          << "22,24,26,20,18,16";
    QTest::newRow("other process writes in F") << "other"
                                               << "nciSetPts"
                                               << "SNVT_temp_setpt#US"
                                               << "71.6,75.2,78.8,68,64.4,60.8";
    QTest::newRow("this process writes, other reads") << "this"
                                                      << "nciSndHrtBt"
                                                      << "SNVT_time_sec"
                                                      << "120.5";
    QTest::newRow("this process writes an enumeration") << "this"
                                                        << "nciHvacType"
                                                        << "SNVT_hvac_type"
                                                        << "HVT_VAV";
}

void TestObjectServerProcesses::writesAreSeenAtOnce()
{
    QFETCH(QString, writer);
    QFETCH(QString, nv);
    QFETCH(QString, format);
    QFETCH(QString, text);
    // The handle stays open across the other process's work: nothing may be cached in it.
    auto variable = openVariable(nv);
    variable->SetNvFormatSpec(format);
    const QString before = variable->NvFormattedValue();
    QVERIFY(before != text);
    if (writer == QLatin1String("other")) {
        QCOMPARE(runTool(toolArguments(nv, format) << QStringLiteral("write") << text), QString());
        QCOMPARE(variable->NvFormattedValue(), text);
    } else {
        QCOMPARE(runTool(toolArguments(nv, format) << QStringLiteral("read")), before);
        variable->SetNvFormattedValue(text);
        QCOMPARE(runTool(toolArguments(nv, format) << QStringLiteral("read")), text);
    }
}

void TestObjectServerProcesses::faultsSetByAnotherProcessApplyAtOnce()
{
    auto variable = openVariable(QStringLiteral("nciSetPts"));
    lns::admin::ObjectServerAdmin admin(m_dir->path());
    admin.setDeviceFaults(Device(QStringLiteral("Thermostat 1")), {true, 4, 0, false, true});
    const QString refused = runTool(toolArguments(QStringLiteral("nciSetPts"), QStringLiteral("SNVT_temp_setpt"))
                                        << QStringLiteral("write") << QStringLiteral("1,2,3,4,5,6"),
                                    1);
    QVERIFY2(refused.startsWith(QStringLiteral("error %1 ").arg(lns::ObjectServerError(lns::ErrWriteFailed))),
             qPrintable(refused));
    admin.setDeviceFaults(Device(QStringLiteral("Thermostat 1")), {true, 4, 0, true, false});
    QCOMPARE(ErrorOf([&] { variable->NvFormattedValue(); }), lns::ObjectServerError(lns::ErrDeviceCommunication));
    admin.setDeviceFaults(Device(QStringLiteral("Thermostat 1")), {});
    QCOMPARE(variable->NvFormattedValue(), QStringLiteral("23,25,27,21,19,17"));
}

void TestObjectServerProcesses::killedWriterLeavesAWholeValue_data()
{
    QTest::addColumn<int>("delayMs");
    QTest::newRow("at once") << 0;
    QTest::newRow("after 3 ms") << 3;
    QTest::newRow("after 17 ms") << 17;
    QTest::newRow("after 60 ms") << 60;
    QTest::newRow("after 150 ms") << 150;
}

void TestObjectServerProcesses::killedWriterLeavesAWholeValue()
{
    QFETCH(int, delayMs);
    const QStringList texts{QStringLiteral("10,11,12,13,14,15"), QStringLiteral("30,31,32,33,34,35"),
                            QStringLiteral("-5.5,-6.5,-7.5,-8.5,-9.5,-10.5"),
                            QStringLiteral("INVALID,0,0,0,0,INVALID")};
    const QString initial = QStringLiteral("23,25,27,21,19,17");
    for (int round = 0; round < 3; ++round) {
        QProcess writer;
        writer.start(tool(), toolArguments(QStringLiteral("nciSetPts"), QStringLiteral("SNVT_temp_setpt"))
                                 << QStringLiteral("loop") << texts);
        QVERIFY(writer.waitForStarted());
        QElapsedTimer waited;
        waited.start();
        while (!writer.readAllStandardOutput().contains("ready") && waited.elapsed() < 30000)
            writer.waitForReadyRead(100);
        QVERIFY2(writer.state() == QProcess::Running, writer.readAllStandardError().constData());
        QThread::msleep(static_cast<unsigned long>(delayMs + round));
        writer.kill();  // SIGKILL: no chance to finish anything
        QVERIFY(writer.waitForFinished());
        QCOMPARE(writer.exitStatus(), QProcess::CrashExit);

        // Whatever the moment, the database opens and the value is one that was written whole.
        auto variable = openVariable(QStringLiteral("nciSetPts"));
        const QString value = variable->NvFormattedValue();
        QVERIFY2(texts.contains(value), qPrintable(value));
        QVERIFY(value != initial);
        variable->SetNvFormattedValue(initial);
        m_server.reset();
    }
}

void TestObjectServerProcesses::writersAtOnceLeaveWrittenValues_data()
{
    QTest::addColumn<int>("killAfterMs");
    QTest::newRow("one killed at once") << 0;
    QTest::newRow("one killed after 40 ms") << 40;
    QTest::newRow("one killed after 250 ms") << 250;
}

// Two other processes write the same variable in loops while this one writes and reads it too;
// one of them is killed mid-write. Every value read, during and after, is one that was written whole.
void TestObjectServerProcesses::writersAtOnceLeaveWrittenValues()
{
    QFETCH(int, killAfterMs);
    const QList<QStringList> loops{
        {QStringLiteral("10,11,12,13,14,15"), QStringLiteral("30,31,32,33,34,35")},
        {QStringLiteral("-5.5,-6.5,-7.5,-8.5,-9.5,-10.5"), QStringLiteral("INVALID,0,0,0,0,INVALID")}};
    const QStringList own{QStringLiteral("1,2,3,4,5,6"), QStringLiteral("7,8,9,10,11,12")};
    QStringList written = own;
    QList<std::shared_ptr<QProcess>> writers;
    for (const QStringList& texts : loops) {
        written += texts;
        auto writer = std::make_shared<QProcess>();
        writer->start(tool(), toolArguments(QStringLiteral("nciSetPts"), QStringLiteral("SNVT_temp_setpt"))
                                  << QStringLiteral("loop") << texts);
        QVERIFY(writer->waitForStarted());
        writers.append(writer);
    }
    for (const auto& writer : writers) {
        QElapsedTimer waited;
        waited.start();
        while (!writer->readAllStandardOutput().contains("ready") && waited.elapsed() < 30000)
            writer->waitForReadyRead(100);
        QVERIFY2(writer->state() == QProcess::Running, writer->readAllStandardError().constData());
    }
    auto variable = openVariable(QStringLiteral("nciSetPts"));
    variable->SetNvFormatSpec(QStringLiteral("SNVT_temp_setpt"));
    QElapsedTimer clock;
    clock.start();
    for (int i = 0; clock.elapsed() < killAfterMs + 300; ++i) {
        if (writers.size() == 2 && clock.elapsed() >= killAfterMs) {
            writers.first()->kill();  // SIGKILL, whatever it was doing
            QVERIFY(writers.first()->waitForFinished());
            QCOMPARE(writers.first()->exitStatus(), QProcess::CrashExit);
            QCOMPARE(writers.first()->readAllStandardError(), QByteArray());
            writers.removeFirst();
        }
        variable->SetNvFormattedValue(own[i % 2]);
        const QString value = variable->NvFormattedValue();
        QVERIFY2(written.contains(value), qPrintable(value));
    }
    writers.first()->kill();
    QVERIFY(writers.first()->waitForFinished());
    QCOMPARE(writers.first()->readAllStandardError(), QByteArray());  // no write of its failed
    m_server.reset();
    const QString value = openVariable(QStringLiteral("nciSetPts"))->NvFormattedValue();
    QVERIFY2(written.contains(value), qPrintable(value));
}

QTEST_GUILESS_MAIN(TestObjectServerProcesses)
#include "tst_ObjectServerProcesses.moc"
