// Configuration profiles through the real executable over a real session bus: the Profiles interface
// of the plug-in object (save, compare, apply with its progress signals) and the director's profile
// verbs as a whole process, on the demo network.
#include "BusClient.h"
#include "support/DemoWorld.h"

#include <QDBusConnectionInterface>
#include <QDBusPendingCallWatcher>
#include <QElapsedTimer>
#include <QJsonArray>
#include <QJsonDocument>
#include <QJsonObject>
#include <QScopeGuard>
#include <QTemporaryDir>
#include <QTest>

#include <csignal>
#include <optional>

using namespace e2e;

namespace {

const QString Profiles = QStringLiteral("KR5MHUConfigure.Profiles");

QJsonObject parsed(const QString& json)
{
    return QJsonDocument::fromJson(json.toUtf8()).object();
}

// The statuses of a report, by device path.
QMap<QString, QString> statuses(const QJsonObject& report)
{
    QMap<QString, QString> byPath;
    for (const QJsonValue& d : report.value(QLatin1String("devices")).toArray())
        byPath.insert(d.toObject().value(QLatin1String("path")).toString(),
                      d.toObject().value(QLatin1String("status")).toString());
    return byPath;
}

}  // namespace

// Records the Progress signals of one object, and whether each came before the reply of the call.
class ProgressRecorder : public QObject {
    Q_OBJECT
public:
    QList<QList<QVariant>> received;
    bool replied = false;
    bool afterReply = false;
public slots:
    void onProgress(uint done, uint total, const QString& path)
    {
        received.append({done, total, path});
        afterReply = afterReply || replied;
    }
};

class TestE2eProfiles : public QObject {
    Q_OBJECT
private slots:
    void initTestCase()
    {
        QVERIFY2(!qEnvironmentVariable("KR5M_TEST_WORLD").isEmpty(), "started by cmake/run-on-bus.sh");
        m_world = std::make_unique<testsupport::DemoWorld>();
        QVERIFY2(m_world->ok(), qPrintable(m_world->error()));
        const QString registered = RegisterServer();
        QVERIFY2(registered.isEmpty(), qPrintable(registered));
        m_well = device([](int model, const lns::admin::DeviceFaults& f) {
            return model == 45 && f.stateCode == 4 && f.commissioned && !f.unreachable;
        });
        m_other = device([](int model, const lns::admin::DeviceFaults& f) {
            return model == 30 && f.stateCode == 4 && f.commissioned && !f.unreachable;
        });
        m_fresh = device([](int model, const lns::admin::DeviceFaults& f) {
            return model == 60 && f.stateCode == 4 && f.commissioned && !f.unreachable;
        });
        m_spare = device([](int model, const lns::admin::DeviceFaults& f) {
            return model == 61 && f.stateCode == 4 && f.commissioned && !f.unreachable;
        });
        m_unreachable = device([](int, const lns::admin::DeviceFaults& f) { return f.unreachable; });
        QVERIFY(!m_well.isEmpty() && !m_other.isEmpty() && !m_fresh.isEmpty() && !m_spare.isEmpty() &&
                !m_unreachable.isEmpty());
        QVERIFY(m_dir.isValid());
    }
    void cleanupTestCase() { m_world.reset(); }

    // Save, compare and apply on one object: the saved profile matches its device, an apply reports
    // each device (one that does not answer fails, the others go on) with one Progress signal per
    // device, all of them before the reply; then the device holds the value and compares equal.
    void saveCompareApplyOverTheBus()
    {
        const QString object = createObject();
        QVERIFY(!object.isEmpty());
        const QDBusMessage saved = call(object, Profiles, QStringLiteral("SaveInUnits"),
                                        {QStringLiteral("Demo"), m_well, QStringLiteral("metric")});
        QCOMPARE(saved.type(), QDBusMessage::ReplyMessage);
        QJsonObject profile = parsed(saved.arguments().value(0).toString());
        QCOMPARE(profile.value(QLatin1String("model")).toInt(), 45);
        QCOMPARE(profile.value(QLatin1String("units")).toString(), QStringLiteral("metric"));
        QVERIFY(!profile.value(QLatin1String("values")).toObject().isEmpty());

        const QDBusMessage same = call(object, Profiles, QStringLiteral("Compare"),
                                       {QStringLiteral("Demo"), m_well, saved.arguments().value(0).toString()});
        QCOMPARE(same.type(), QDBusMessage::ReplyMessage);
        QCOMPARE(statuses(parsed(same.arguments().value(0).toString())).value(m_well), QStringLiteral("unchanged"));

        QJsonObject values = profile.value(QLatin1String("values")).toObject();
        const double heat = values.value(QLatin1String("nciSetPts.occ_heat")).toDouble();
        values.insert(QStringLiteral("nciSetPts.occ_heat"), heat - 1);
        profile.insert(QStringLiteral("values"), values);
        const QString changed = QString::fromUtf8(QJsonDocument(profile).toJson());

        ProgressRecorder progress;
        QVERIFY(QDBusConnection::sessionBus().connect(Service, object, Profiles, QStringLiteral("Progress"), &progress,
                                                      SLOT(onProgress(uint, uint, QString))));
        QDBusMessage apply = QDBusMessage::createMethodCall(Service, object, Profiles, QStringLiteral("Apply"));
        const QStringList paths{m_well, m_unreachable, m_other};
        apply.setArguments({QStringLiteral("Demo"), paths, changed, false});
        QDBusPendingCallWatcher watcher(QDBusConnection::sessionBus().asyncCall(apply, 120000));
        QEventLoop loop;
        connect(&watcher, &QDBusPendingCallWatcher::finished, &progress, [&] {
            progress.replied = true;
            loop.quit();
        });
        loop.exec();
        QCOMPARE(watcher.reply().type(), QDBusMessage::ReplyMessage);
        QCOMPARE(progress.received.size(), paths.size());
        QCOMPARE(progress.received.last().value(0).toUInt(), uint(paths.size()));
        QCOMPARE(progress.received.last().value(1).toUInt(), uint(paths.size()));
        QVERIFY(!progress.afterReply);

        const QJsonObject report = parsed(watcher.reply().arguments().value(0).toString());
        QCOMPARE(report.value(QLatin1String("ok")).toBool(), false);
        const QMap<QString, QString> status = statuses(report);
        QCOMPARE(status.value(m_well), QStringLiteral("verified"));
        QCOMPARE(status.value(m_unreachable), QStringLiteral("failed"));
        QCOMPARE(status.value(m_other), QStringLiteral("verified"));
        QCOMPARE(
            m_world->admin()
                .nvText(testsupport::DemoWorld::refOf(QStringLiteral("Demo"), m_other), QStringLiteral("nciSetPts"))
                .split(QLatin1Char(','))
                .value(3)
                .toDouble(),
            heat - 1);
        const QDBusMessage again =
            call(object, Profiles, QStringLiteral("Compare"), {QStringLiteral("Demo"), m_other, changed});
        QCOMPARE(statuses(parsed(again.arguments().value(0).toString())).value(m_other), QStringLiteral("unchanged"));
        QVERIFY(releaseAndWaitForEnd(object));
    }

    // What one director asks of the shared server is bounded, and a director that leaves in the middle of
    // an apply ends it there: another director's object lives on, and the server ends as soon as the last
    // object is released rather than after thousands more devices nobody waits for.
    void oneDirectorCannotTakeTheServerDown()
    {
        const QString connectionName = QStringLiteral("second director");
        const auto closeSecond = qScopeGuard([&] { QDBusConnection::disconnectFromBus(connectionName); });
        // Held as an optional: the connection closes only when no handle of it is left.
        std::optional<QDBusConnection> held =
            QDBusConnection::connectToBus(QDBusConnection::SessionBus, connectionName);
        const QDBusConnection& second = *held;
        const QString mine = createObject();
        const QString theirs = createObject(second);
        QVERIFY(!mine.isEmpty() && !theirs.isEmpty());
        const QString profile = call(mine, Profiles, QStringLiteral("Save"), {QStringLiteral("Demo"), m_well})
                                    .arguments()
                                    .value(0)
                                    .toString();
        QVERIFY(!profile.isEmpty());

        const auto apply = [&](const QStringList& paths) {
            return call(theirs, Profiles, QStringLiteral("Apply"), {QStringLiteral("Demo"), paths, profile, true},
                        second);
        };
        const QDBusMessage tooMany = apply(QStringList(10001, m_well));
        QCOMPARE(tooMany.errorName(), QStringLiteral("org.freedesktop.DBus.Error.InvalidArgs"));
        QVERIFY2(tooMany.errorMessage().contains(QLatin1String("at most 10000 devices")),
                 qPrintable(tooMany.errorMessage()));
        const QDBusMessage tooLong = apply({QString(2 * 1024 * 1024, QLatin1Char('x'))});
        QCOMPARE(tooLong.errorName(), QStringLiteral("org.freedesktop.DBus.Error.InvalidArgs"));
        QVERIFY2(tooLong.errorMessage().contains(QLatin1String("at most 1024 characters, not 2097152")),
                 qPrintable(tooLong.errorMessage().left(200)));
        QVERIFY(tooLong.errorMessage().size() < 200);
        QCOMPARE(busProperty(mine, QStringLiteral("Name")).toString(), QStringLiteral("Kestrova KR5M-HU Configure"));

        // How long a fifth of the long apply takes here, to tell stopping from finishing on any machine.
        QStringList many;
        for (int i = 0; i < 2500; ++i)
            many << m_well << m_other << m_fresh << m_spare;
        QElapsedTimer fifth;
        fifth.start();
        QCOMPARE(apply(many.mid(0, 2000)).type(), QDBusMessage::ReplyMessage);
        const qint64 fifthTook = fifth.elapsed();
        QDBusMessage longApply = QDBusMessage::createMethodCall(Service, theirs, Profiles, QStringLiteral("Apply"));
        longApply.setArguments({QStringLiteral("Demo"), many, profile, true});
        second.asyncCall(longApply, 600000);
        QTest::qWait(int(fifthTook / 2));
        held.reset();
        QDBusConnection::disconnectFromBus(connectionName);
        QElapsedTimer ending;
        ending.start();
        QVERIFY2(releaseAndWaitForEnd(mine), "the server went on with the apply of a director that had left");
        // Finishing would take about four more fifths.
        QVERIFY2(ending.elapsed() < fifthTook * 3 / 2,
                 qPrintable(QStringLiteral("ended %1 ms after the director left; a fifth of the apply takes %2 ms")
                                .arg(ending.elapsed())
                                .arg(fifthTook)));
    }

    // The plug-in killed during a director's apply: the director says so, how far the apply had got, and
    // that running it again writes only what still differs.
    void aPlugInKilledDuringAnApplyIsSaidSo()
    {
        const QString file = m_dir.filePath(QStringLiteral("killed.json"));
        QCOMPARE(director({QStringLiteral("save"), QStringLiteral("Demo"), m_well, file}).status, 0);
        QStringList arguments{QStringLiteral("profile"), QStringLiteral("apply"), QStringLiteral("Demo"), file,
                              QStringLiteral("--dry-run")};
        for (int i = 0; i < 2500; ++i)
            arguments << m_well << m_other << m_fresh << m_spare;
        QProcess apply;
        apply.start(testsupport::BinDir() + QStringLiteral("/lnsdirector"), arguments);
        QVERIFY(apply.waitForStarted());
        QDBusConnectionInterface* bus = QDBusConnection::sessionBus().interface();
        QTRY_VERIFY_WITH_TIMEOUT(bus->isServiceRegistered(Service), 30000);
        QTest::qWait(1000);
        const uint pid = bus->servicePid(Service);
        QVERIFY(pid > 0);
        QCOMPARE(::kill(pid_t(pid), SIGKILL), 0);
        QVERIFY(apply.waitForFinished(60000));
        const QString said = QString::fromUtf8(apply.readAllStandardError());
        QCOMPARE(apply.exitCode(), 1);
        QVERIFY2(said.contains(QLatin1String("the plug-in ended during the apply, when it had reported ")) &&
                     said.contains(QLatin1String(" of 10000 devices done")) &&
                     said.contains(QLatin1String("the same apply run again writes only what still differs")),
                 qPrintable(said));
    }

    // The director's profile verbs as a person or script runs them.
    void directorVerbs_data()
    {
        // FILE stands for a profile saved from WELL; WELL, FRESH and SPARE (values of their own) and
        // UNREACHABLE for device paths.
        QTest::addColumn<QStringList>("arguments");
        QTest::addColumn<int>("status");
        QTest::addColumn<QString>("expected");  // standard output or error contains this
        QTest::newRow("apply verified") << QStringList{"apply", "Demo", "FILE", "FRESH"} << 0 << "verified";
        QTest::newRow("apply with a device that does not answer")
            << QStringList{"apply", "Demo", "FILE", "WELL", "UNREACHABLE", "--json"} << 1 << "\"failed\"";
        QTest::newRow("dry run, nothing to change")
            << QStringList{"apply", "Demo", "FILE", "WELL", "--dry-run"} << 0 << "unchanged";
        QTest::newRow("dry run, changes shown")
            << QStringList{"apply", "Demo", "FILE", "SPARE", "--dry-run"} << 0 << " -> ";
        QTest::newRow("save prints without a file")
            << QStringList{"save", "Demo", "WELL", "--units", "imperial"} << 0 << "\"units\": \"imperial\"";
        QTest::newRow("diff") << QStringList{"diff", "Demo", "WELL", "FILE"} << 0 << "unchanged";
        QTest::newRow("diff of a device that differs") << QStringList{"diff", "Demo", "SPARE", "FILE"} << 1 << " -> ";
        // The models are the plug-in's: 47 is one, though the demo's only model-47 thermostat does not answer.
        QTest::newRow("model the plug-in does not know")
            << QStringList{"apply", "Demo", "FILE", "--model", "99"} << 2
            << "--model takes a model code of a KR5M-HU thermostat (30, 41, 42, 43, 44, 45, 46, 47, 48, 49, 50, "
               "51, 60, 61), not '99'";
        QTest::newRow("a model no device answers for")
            << QStringList{"apply", "Demo", "FILE", "--model", "47"} << 1 << "has no device of model 47";
        QTest::newRow("by model, found in the plug-in")
            << QStringList{"apply", "Demo", "FILE", "--model", "45", "--dry-run"} << 0 << "unchanged";
        QTest::newRow("two ways of naming devices")
            << QStringList{"apply", "Demo", "FILE", "WELL", "--model", "45"} << 2 << "usage: lnsdirector profile";
    }
    void directorVerbs()
    {
        QFETCH(QStringList, arguments);
        QFETCH(int, status);
        QFETCH(QString, expected);
        const QString file = m_dir.filePath(QStringLiteral("profile.json"));
        if (!QFile::exists(file)) {
            const Run save = director({QStringLiteral("save"), QStringLiteral("Demo"), m_well, file,
                                       QStringLiteral("--units"), QStringLiteral("metric")});
            QCOMPARE(save.status, 0);
            QCOMPARE(parsed(QString::fromUtf8(readAll(file))).value(QLatin1String("model")).toInt(), 45);
        }
        arguments.replaceInStrings(QStringLiteral("FILE"), file);
        arguments.replaceInStrings(QStringLiteral("UNREACHABLE"), m_unreachable);
        arguments.replaceInStrings(QStringLiteral("WELL"), m_well);
        arguments.replaceInStrings(QStringLiteral("FRESH"), m_fresh);
        arguments.replaceInStrings(QStringLiteral("SPARE"), m_spare);
        const Run run = director(arguments);
        QCOMPARE(run.status, status);
        QVERIFY2((run.out + run.err).contains(expected), qPrintable(run.out + run.err));
        if (arguments.contains(QStringLiteral("--json")))
            QVERIFY(!parsed(run.out).value(QLatin1String("devices")).toArray().isEmpty());
    }

    // An apply is one batch in the history, named by its profile's file; its revert puts back every
    // device that still holds what the apply wrote, and refuses, naming it, the one another writer
    // changed since. Judged on the bytes the store holds.
    void anApplyIsOneBatchAndItsRevertUndoesIt()
    {
        const QString saved = m_dir.filePath(QStringLiteral("well.json"));
        QCOMPARE(director({QStringLiteral("save"), QStringLiteral("Demo"), m_well, saved}).status, 0);
        QJsonObject profile = parsed(QString::fromUtf8(readAll(saved)));
        QJsonObject values = profile.value(QLatin1String("values")).toObject();
        values.insert(QStringLiteral("nciSetPts.occ_heat"),
                      values.value(QLatin1String("nciSetPts.occ_heat")).toDouble() - 1.5);
        profile.insert(QStringLiteral("values"), values);
        const QString winter = m_dir.filePath(QStringLiteral("winter.json"));
        QFile file(winter);
        QVERIFY(file.open(QIODevice::WriteOnly));
        file.write(QJsonDocument(profile).toJson());
        file.close();

        auto& admin = m_world->admin();
        const auto bytes = [&](const QString& path, const QString& nv) {
            QStringList list;
            for (const char byte : admin.nvRaw(testsupport::DemoWorld::refOf(QStringLiteral("Demo"), path), nv))
                list << QString::number(uchar(byte));
            return list.join(QLatin1Char(' '));
        };
        const QStringList devices{m_fresh, m_spare};
        QMap<QString, QString> before;  // "path|nv" -> bytes
        for (const QString& path : devices)
            for (const QString& nv : admin.nvNames(testsupport::DemoWorld::refOf(QStringLiteral("Demo"), path)))
                before.insert(path + QLatin1Char('|') + nv, bytes(path, nv));

        const Run apply = director({QStringLiteral("apply"), QStringLiteral("Demo"), winter, m_fresh, m_spare});
        QCOMPARE(apply.status, 0);
        const QString id = apply.out.section(QStringLiteral("apply id "), 1).section(QLatin1Char(' '), 0, 0);
        QVERIFY2(id.startsWith(QLatin1String("apply-")), qPrintable(apply.out));

        const QJsonArray changes =
            parsed(run({QStringLiteral("history"), QStringLiteral("Demo"), QStringLiteral("--json")}).out)
                .value(QLatin1String("changes"))
                .toArray();
        QSet<QString> written;
        for (const auto& c : changes) {
            const QJsonObject change = c.toObject();
            if (change.value(QLatin1String("batch")).toString() != id)
                continue;
            const QString path = change.value(QLatin1String("path")).toString();
            const QString nv = change.value(QLatin1String("variable")).toString();
            QCOMPARE(change.value(QLatin1String("program")).toString(), QStringLiteral("profile apply winter"));
            QCOMPARE(change.value(QLatin1String("after")).toString(), bytes(path, nv));
            written.insert(path);
        }
        QCOMPARE(written, QSet<QString>(devices.cbegin(), devices.cend()));

        // Another writer changes the spare's set points after the apply.
        const auto spare = testsupport::DemoWorld::refOf(QStringLiteral("Demo"), m_spare);
        QByteArray theirs = admin.nvRaw(spare, QStringLiteral("nciSetPts"));
        theirs[1] = char(theirs[1] ^ 0x10);
        admin.setNvRaw(spare, QStringLiteral("nciSetPts"), theirs);
        const QString spareNow = bytes(m_spare, QStringLiteral("nciSetPts"));

        const Run revert = run({QStringLiteral("revert"), QStringLiteral("Demo"), id});
        QCOMPARE(revert.status, 1);
        QVERIFY2(revert.err.contains(m_spare + QStringLiteral(" nciSetPts: refused")), qPrintable(revert.err));
        for (auto it = before.cbegin(); it != before.cend(); ++it) {
            const QString path = it.key().section(QLatin1Char('|'), 0, 0);
            const QString nv = it.key().section(QLatin1Char('|'), 1);
            if (it.key() == m_spare + QStringLiteral("|nciSetPts"))
                QCOMPARE(bytes(path, nv), spareNow);
            else
                QVERIFY2(bytes(path, nv) == it.value(), qPrintable(it.key()));
        }
    }

private:
    struct Run {
        int status = -1;
        QString out;
        QString err;
    };
    Run director(const QStringList& arguments) { return run(QStringList{QStringLiteral("profile")} + arguments); }
    static Run run(const QStringList& arguments)
    {
        QProcess p;
        p.start(testsupport::BinDir() + QStringLiteral("/lnsdirector"), arguments);
        Run run;
        if (!p.waitForFinished(120000))
            return run;
        run.status = p.exitStatus() == QProcess::NormalExit ? p.exitCode() : -1;
        run.out = QString::fromUtf8(p.readAllStandardOutput());
        run.err = QString::fromUtf8(p.readAllStandardError());
        return run;
    }
    static QByteArray readAll(const QString& file)
    {
        QFile f(file);
        return f.open(QIODevice::ReadOnly) ? f.readAll() : QByteArray();
    }
    QString device(const std::function<bool(int, const lns::admin::DeviceFaults&)>& predicate)
    {
        return m_world->findDevice(QStringLiteral("Demo"), predicate);
    }

    std::unique_ptr<testsupport::DemoWorld> m_world;
    QTemporaryDir m_dir;
    QString m_well;
    QString m_other;
    QString m_fresh;
    QString m_spare;
    QString m_unreachable;
};

QTEST_GUILESS_MAIN(TestE2eProfiles)
#include "test_e2e_profiles.moc"
