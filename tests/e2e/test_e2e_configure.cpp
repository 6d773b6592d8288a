// A director configuring thermostats through the real executable over a real session bus.
#include "BusClient.h"
#include "support/DemoWorld.h"

#include <QSignalSpy>
#include <QTest>

using namespace e2e;

class TestE2eConfigure : public QObject {
    Q_OBJECT
private slots:
    void initTestCase()
    {
        QVERIFY2(!qEnvironmentVariable("KR5M_TEST_WORLD").isEmpty(), "started by cmake/run-on-bus.sh");
        m_world = std::make_unique<testsupport::DemoWorld>();
        QVERIFY2(m_world->ok(), qPrintable(m_world->error()));
        const QString registered = RegisterServer();
        QVERIFY2(registered.isEmpty(), qPrintable(registered));
        m_answers = m_world->lonWorksPath() + QStringLiteral("/../answers.txt");
        m_record = m_world->lonWorksPath() + QStringLiteral("/../record.txt");
        QVERIFY(setActivationEnvironment(
            {{QStringLiteral("KR5M_ANSWERS"), m_answers}, {QStringLiteral("KR5M_RECORD"), m_record}}));
    }
    void cleanupTestCase() { m_world.reset(); }

    void init()
    {
        QFile::remove(m_record);
        QVERIFY(!serverRunning());
    }

    void configureSucceeds()
    {
        answer({});
        const QString object = createObject();
        QVERIFY(!object.isEmpty());
        QCOMPARE(setBusProperty(object, QStringLiteral("networkName"), QStringLiteral("Demo")).type(),
                 QDBusMessage::ReplyMessage);
        const QDBusMessage reply =
            sendCommand(object, 13, 7, device([](const auto& f) {
                            return f.stateCode == 4 && f.commissioned && !f.unreachable && f.testResult == 0;
                        }));
        QCOMPARE(reply.type(), QDBusMessage::ReplyMessage);
        QCOMPARE(setBusProperty(object, QStringLiteral("Visible"), true).type(), QDBusMessage::ReplyMessage);
        QCOMPARE(setBusProperty(object, QStringLiteral("Visible"), false).type(), QDBusMessage::ReplyMessage);
        QVERIFY(readLines(m_record).isEmpty());
        QVERIFY(releaseAndWaitForEnd(object));
    }

    void unreachableDeviceAnsweredIgnore()
    {
        // The state, eleven reads, and the model code that could not be read.
        answer(QStringList(13, QStringLiteral("Ignore")));
        const QString object = createObject();
        QCOMPARE(setBusProperty(object, QStringLiteral("networkName"), QStringLiteral("Demo")).type(),
                 QDBusMessage::ReplyMessage);
        QCOMPARE(sendCommand(object, 13, 7, device([](const auto& f) { return f.unreachable; })).type(),
                 QDBusMessage::ReplyMessage);
        const QStringList boxes = readLines(m_record);
        QCOMPARE(boxes.size(), 13);
        QVERIFY(boxes[0].startsWith(QStringLiteral("fMain InitDevice\t")));
        QVERIFY(boxes[1].startsWith(
            QStringLiteral("fMain ReadInitValues\tError reading nciSetPts \\r\\nFailed to communicate with target "
                           "device.\tAbort/Retry/Ignore\tCritical\tIgnore")));
        QVERIFY(boxes[11].startsWith(QStringLiteral("fMain ReadInitValues\tError reading nciSccModel (Raw) ")));
        for (const QString& line : boxes)
            QVERIFY2(!line.contains(QStringLiteral("UNEXPECTED")), qPrintable(line));
        QVERIFY(releaseAndWaitForEnd(object));
    }

    void missingObjectAndBadNetworkAreErrors()
    {
        answer({});
        const QString object = createObject();
        const QDBusMessage badNetwork =
            setBusProperty(object, QStringLiteral("networkName"), QStringLiteral("Atlantis"));
        QCOMPARE(badNetwork.errorName(), QStringLiteral("KR5MHUConfigure.Error.E20006"));
        QCOMPARE(badNetwork.errorMessage(), QStringLiteral("Cannot open the network Atlantis"));
        QCOMPARE(setBusProperty(object, QStringLiteral("networkName"), QStringLiteral("Demo")).type(),
                 QDBusMessage::ReplyMessage);
        const QDBusMessage missing = sendCommand(object, 13, 7, QStringLiteral("Demo/System 1/Nowhere/Nobody"));
        QCOMPARE(missing.errorName(), QStringLiteral("KR5MHUConfigure.Error.E20005"));
        QCOMPARE(missing.errorMessage(), QStringLiteral("Object not found: Demo/System 1/Nowhere/Nobody"));
        QCOMPARE(missing.arguments().value(1).toString(), QStringLiteral("Kestrova KR5M-HU Configure"));
        QVERIFY(readLines(m_record).isEmpty());
        // Releasing the last object while the window is hidden ends the process without a question.
        QVERIFY(releaseAndWaitForEnd(object));
        QVERIFY(readLines(m_record).isEmpty());
    }

    // One process serves one network. A second director (a bus connection of its own) may name the
    // network the first works on and share it, but neither another network nor another Remote mode
    // while an object of the first lives: the first one's network, and its configure, stay as they
    // were. Once the first has released its objects, the network is the second's to change.
    void secondDirectorSharesButNeverTakesTheNetwork()
    {
        answer({});
        const QString connectionName = QStringLiteral("second director");
        const auto closeSecond = qScopeGuard([&] { QDBusConnection::disconnectFromBus(connectionName); });
        const QDBusConnection second = QDBusConnection::connectToBus(QDBusConnection::SessionBus, connectionName);
        const QString first = createObject();
        const QString theirs = createObject(second);
        QVERIFY(!first.isEmpty() && !theirs.isEmpty());
        QCOMPARE(setBusProperty(first, QStringLiteral("networkName"), QStringLiteral("Demo")).type(),
                 QDBusMessage::ReplyMessage);

        const QString taken = QStringLiteral(": another director's plug-in object works on the network Demo (one "
                                             "network at a time; it is free when that director has released its "
                                             "objects)");
        const QDBusMessage otherNetwork =
            setBusProperty(theirs, QStringLiteral("networkName"), QStringLiteral("Plant"), second);
        QCOMPARE(otherNetwork.errorName(), QStringLiteral("KR5MHUConfigure.Error.E20006"));
        QCOMPARE(otherNetwork.errorMessage(), QStringLiteral("Cannot open the network Plant") + taken);
        const QDBusMessage otherMode = setBusProperty(theirs, QStringLiteral("Remote"), true, second);
        QCOMPARE(otherMode.errorName(), QStringLiteral("KR5MHUConfigure.Error.E20006"));
        QCOMPARE(otherMode.errorMessage(), QStringLiteral("Cannot change Remote") + taken);
        QCOMPARE(busProperty(first, QStringLiteral("networkName")).toString(), QStringLiteral("Demo"));
        QCOMPARE(busProperty(first, QStringLiteral("Remote")).toBool(), false);
        // The same network is shared; the first director's configure finds its device as before.
        QCOMPARE(setBusProperty(theirs, QStringLiteral("networkName"), QStringLiteral("Demo"), second).type(),
                 QDBusMessage::ReplyMessage);
        QCOMPARE(busProperty(theirs, QStringLiteral("networkName"), second).toString(), QStringLiteral("Demo"));
        const QString path = device([](const auto& f) { return f.stateCode == 4 && !f.unreachable; });
        QCOMPARE(sendCommand(first, 13, 7, path).type(), QDBusMessage::ReplyMessage);

        QCOMPARE(call(first, Interface, QStringLiteral("Release")).type(), QDBusMessage::ReplyMessage);
        QCOMPARE(setBusProperty(theirs, QStringLiteral("networkName"), QStringLiteral("Plant"), second).type(),
                 QDBusMessage::ReplyMessage);
        QCOMPARE(busProperty(theirs, QStringLiteral("networkName"), second).toString(), QStringLiteral("Plant"));
        QVERIFY(readLines(m_record).isEmpty());
        QDBusServiceWatcher watcher(Service, QDBusConnection::sessionBus(),
                                    QDBusServiceWatcher::WatchForUnregistration);
        QSignalSpy ended(&watcher, &QDBusServiceWatcher::serviceUnregistered);
        QCOMPARE(call(theirs, Interface, QStringLiteral("Release"), {}, second).type(), QDBusMessage::ReplyMessage);
        QVERIFY(ended.count() > 0 || ended.wait(15000) || !serverRunning());
    }

private:
    void answer(const QStringList& answers)
    {
        QFile f(m_answers);
        QVERIFY(f.open(QIODevice::WriteOnly | QIODevice::Truncate | QIODevice::Text));
        f.write(answers.join(QLatin1Char('\n')).toUtf8());
    }
    QString device(const std::function<bool(const lns::admin::DeviceFaults&)>& predicate)
    {
        return m_world->findDevice(QStringLiteral("Demo"),
                                   [&](int, const lns::admin::DeviceFaults& f) { return predicate(f); });
    }

    std::unique_ptr<testsupport::DemoWorld> m_world;
    QString m_answers;
    QString m_record;
};

QTEST_GUILESS_MAIN(TestE2eConfigure)
#include "test_e2e_configure.moc"
