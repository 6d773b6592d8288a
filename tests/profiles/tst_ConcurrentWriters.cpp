// Two writers on the same thermostats at once, each in a process of its own: a window-like client (a
// read, a pause while the user types, then the window's plan and write, a conflict answered at random)
// and profile applies. Whatever the interleaving, judged on the store and its history afterwards:
//  - every write is in the history, each one's "before" the "after" of the one before it, and the device
//    holds the last one's "after": every field ends with the value of its last writer;
//  - no write changed a field its writer did not mean to change: a change made from an old read never
//    puts that read's values back over the other writer's;
//  - a device an apply reports as a conflict holds nothing of that apply.
// KR5M_SEED chooses the values and pauses; a failure prints it and the device's history up to the fault.
#include "device/CNvCpTable.h"
#include "device/ConfigModel.h"
#include "device/WritePlan.h"
#include "framework/ActivityLog.h"
#include "platform/objectserver/ObjectServerFactory.h"
#include "platform/objectserver/ValueFormats.h"
#include "platform/registry/LonWorksInstallation.h"
#include "profiles/Profiles.h"
#include "support/DemoWorld.h"

#include <QJsonDocument>
#include <QJsonObject>
#include <QProcess>
#include <QRandomGenerator>
#include <QTest>
#include <QThread>

#include <cstdio>

namespace {

const QString Network = QStringLiteral("Demo");
const QString WindowProgram = QStringLiteral("window-like client");
const QString ApplyProgram = QStringLiteral("profile apply rounds");
// The fields each writer changes, as the history names them.
const QSet<QString> WindowFields{QStringLiteral("occupied_heat"), QStringLiteral("occupied_cool")};
const QSet<QString> ApplyFields{QStringLiteral("occupied_heat"), QStringLiteral("unoccupied_heat")};

class QuietLog final : public framework::ActivityLog {
public:
    void LogCommand(const QString&, const QString&) override {}
    void LogError(const QString&) override {}
};

QString Pick(QRandomGenerator& random, const QStringList& values)
{
    return values[random.bounded(int(values.size()))];
}

std::unique_ptr<CNvCpTable> ReadTable(lns::AppDevice& device, const QString& key)
{
    auto table = std::make_unique<CNvCpTable>();
    table->Name = table->Key = key;
    table->Format =
        key == QLatin1String("nciSetPts") ? QStringLiteral("SNVT_temp_setpt") : QStringLiteral("UNVT_fc_gen_opts");
    table->Separator = key == QLatin1String("nciSetPts") ? QStringLiteral(",") : QStringLiteral(" ");
    table->LocalizationSpecific = true;
    table->MyNetworkVariable = device.DeviceInterface()->InterfaceNetworkVariables()->NvCollectionItem(key);
    table->GetNetworkValue();
    return table;
}

// The window-like client: --window SEED ROUNDS PATH|MODEL...; prints how its writes went.
int RunWindow(const QStringList& arguments)
{
    QRandomGenerator random(arguments.value(0).toUInt());
    const int rounds = arguments.value(1).toInt();
    std::unique_ptr<lns::ObjectServer> server = lns::CreateObjectServer();
    server->SetChangeOrigin(WindowProgram);
    server->OpenObjectServer();
    const lns::Ptr<lns::Network> network = server->Networks()->Item(Network);
    network->OpenNetwork();
    const lns::Ptr<lns::System> system = network->NetworkSystems()->Item(1);
    system->OpenSystem();
    const QString lonWorksPath = registry::LonWorksPath();
    std::map<QString, int> outcomes;
    for (int round = 0; round < rounds; ++round) {
        const QString& chosen = arguments[2 + random.bounded(int(arguments.size() - 2))];
        const QStringList path = chosen.section(QLatin1Char('|'), 0, 0).split(QLatin1Char('/'));
        const auto model = qint16(chosen.section(QLatin1Char('|'), 1).toInt());
        const lns::Ptr<lns::AppDevice> device =
            system->SystemSubsystems()->Item(path[2])->SubsystemAppDevices()->Item(path[3]);
        std::map<QString, std::unique_ptr<CNvCpTable>> tables;
        std::vector<device::HeldVariable> held;
        for (const QString& key : {QStringLiteral("nciSetPts"), QStringLiteral("nciGenOpts")}) {
            tables[key] = ReadTable(*device, key);
            held.push_back(device::HeldOf(*tables[key]));
        }
        QThread::msleep(random.bounded(20));  // the user types
        std::vector<device::Edit> edits;
        if (random.bounded(2) == 0)
            edits.push_back({device::config::names::OccHeat, Pick(random, {"19", "19.5", "20", "20.5", "21"})});
        if (edits.empty() || random.bounded(2) == 0)
            edits.push_back({device::config::names::OccCool, Pick(random, {"23", "23.5", "24", "24.5", "25"})});
        const device::Plan plan = device::MakePlan(held, edits, 0, lonWorksPath);
        if (!device::CheckPlan(plan, model).empty()) {
            ++outcomes["refused by a rule"];
            continue;
        }
        for (const device::PlannedVariable* v : device::WriteOrder(plan)) {
            try {
                try {
                    const device::Written written = device::WriteVariable(*tables[v->key], plan, *v);
                    ++outcomes[written.merged ? "merged" : "as planned"];
                } catch (const device::WriteConflict&) {
                    const auto choice =
                        random.bounded(2) ? device::OnConflict::Overwrite : device::OnConflict::KeepTheirs;
                    ++outcomes["conflict"];
                    device::WriteVariable(*tables[v->key], plan, *v, choice);
                }
            } catch (const com::ComError&) {
                ++outcomes["not written"];
                break;
            }
        }
    }
    for (const auto& [outcome, count] : outcomes)
        std::printf("%s=%d\n", outcome.toUtf8().constData(), count);
    return 0;
}

QStringList FieldsChanged(const lns::NvChange& change, const QString& lonWorksPath)
{
    const QVector<lns::formats::FieldReading> fields =
        lns::formats::Read(QStringLiteral("SNVT_temp_setpt"), change.before, lonWorksPath);
    QStringList changed;
    for (const auto& f : fields)
        if (change.before.mid(f.offset, f.bytes) != change.after.mid(f.offset, f.bytes))
            changed << f.name;
    return changed;
}

}  // namespace

class TestConcurrentWriters : public QObject {
    Q_OBJECT
private slots:
    void aWindowAndAnApplyNeverUndoEachOther()
    {
        testsupport::DemoWorld world;
        QVERIFY2(world.ok(), qPrintable(world.error()));
        const quint64 seed = testsupport::GeneratedSeed();
        QRandomGenerator random(quint32(seed ^ (seed >> 32)));
        QStringList devices;
        QStringList windowDevices;
        for (const int wanted : {45, 30, 60}) {
            const QString path = world.findDevice(Network, [wanted](int model, const lns::admin::DeviceFaults& f) {
                return model == wanted && f.stateCode == 4 && f.commissioned && !f.unreachable && !f.refusesWrites &&
                       !f.storesOtherValue;
            });
            QVERIFY(!path.isEmpty());
            devices << path;
            windowDevices << QStringLiteral("%1|%2").arg(path).arg(wanted);
        }
        QuietLog log;
        const QString base = profiles::Save(Network, devices[0], qint16(0), log);

        QProcess window;
        window.start(QCoreApplication::applicationFilePath(),
                     QStringList{QStringLiteral("--window"), QString::number(quint32(seed)), QStringLiteral("60")} +
                         windowDevices);
        QVERIFY(window.waitForStarted());
        std::map<QString, QString> statusOf;  // "applyId path" -> status
        int applies = 0;
        while (window.state() != QProcess::NotRunning || applies < 3) {
            QJsonObject profile = QJsonDocument::fromJson(base.toUtf8()).object();
            profile.insert(QStringLiteral("name"), QStringLiteral("rounds"));
            profile.insert(
                QStringLiteral("values"),
                QJsonObject{
                    {device::config::names::OccHeat, Pick(random, {"19", "19.5", "20", "20.5", "21"}).toDouble()},
                    {device::config::names::UnoccHeat, Pick(random, {"15", "15.5", "16", "16.5", "17"}).toDouble()}});
            const profiles::Report report =
                profiles::Apply(Network, devices, QString::fromUtf8(QJsonDocument(profile).toJson()), false, log);
            for (const profiles::DeviceSummary& d : report.devices())
                statusOf[report.applyId() + QLatin1Char(' ') + d.path] = profiles::StatusText(d.status);
            ++applies;
            window.waitForFinished(0);
        }
        QVERIFY(window.state() == QProcess::NotRunning || window.waitForFinished(120000));
        const QString said = QString::fromUtf8(window.readAllStandardOutput());
        QVERIFY2(window.exitStatus() == QProcess::NormalExit && window.exitCode() == 0,
                 qPrintable(QString::fromUtf8(window.readAllStandardError())));
        qInfo("seed %llu, %d applies; the window-like client: %s", seed, applies, qPrintable(said.simplified()));
        QVERIFY2(said.contains(QLatin1String("merged=")) || said.contains(QLatin1String("conflict=")),
                 qPrintable(QStringLiteral("the two writers never met: ") + said));

        // The history, oldest first, through an object server of its own.
        std::unique_ptr<lns::ObjectServer> server = lns::CreateObjectServer(world.lonWorksPath());
        server->OpenObjectServer();
        const lns::Ptr<lns::Network> network = server->Networks()->Item(Network);
        network->OpenNetwork();
        QList<lns::NvChange> history = network->NetworkChanges({});
        std::reverse(history.begin(), history.end());
        std::map<QString, QList<const lns::NvChange*>> byDevice;
        for (const lns::NvChange& change : history)
            if (change.variable == QLatin1String("nciSetPts"))
                byDevice[change.devicePath].append(&change);
        for (const QString& path : devices) {
            const QList<const lns::NvChange*>& changes = byDevice[path];
            QStringList shown;
            const auto failure = [&](const QString& what) {
                return QStringLiteral("seed %1, %2: %3\n%4").arg(seed).arg(path, what, shown.join('\n')).toLocal8Bit();
            };
            for (qsizetype i = 0; i < changes.size(); ++i) {
                const lns::NvChange& c = *changes[i];
                shown << QStringLiteral("%1 %2 %3 %4").arg(c.id).arg(c.program, c.batch, c.fields);
                if (i > 0)
                    QVERIFY2(c.before == changes[i - 1]->after,
                             failure(QStringLiteral("a write is missing before this one")).constData());
                const QStringList changed = FieldsChanged(c, world.lonWorksPath());
                const QSet<QString>& meant = c.program == WindowProgram ? WindowFields : ApplyFields;
                QVERIFY2(c.program == WindowProgram || c.program == ApplyProgram,
                         failure(QStringLiteral("another writer")).constData());
                for (const QString& field : changed)
                    QVERIFY2(
                        meant.contains(field),
                        failure(field + QStringLiteral(" changed by a writer that did not change it")).constData());
                if (c.program == ApplyProgram)
                    QVERIFY2(
                        statusOf[c.batch + QLatin1Char(' ') + path] != QLatin1String("conflict") || changed.isEmpty(),
                        failure(QStringLiteral("an apply wrote to a device it reports as a conflict")).constData());
            }
            QVERIFY2(!changes.isEmpty(), failure(QStringLiteral("nothing written")).constData());
            qInfo("%s: %lld writes", qPrintable(path), qlonglong(changes.size()));
            QVERIFY2(world.admin().nvRaw(testsupport::DemoWorld::refOf(Network, path), QStringLiteral("nciSetPts")) ==
                         changes.last()->after,
                     failure(QStringLiteral("the device holds other bytes than the last write")).constData());
        }
    }
};

int main(int argc, char** argv)
{
    QCoreApplication app(argc, argv);
    const QStringList arguments = app.arguments().mid(1);
    if (arguments.value(0) == QLatin1String("--window")) {
        try {
            return RunWindow(arguments.mid(1));
        } catch (const com::ComError& e) {
            std::fprintf(stderr, "%s\n", qPrintable(e.description()));
            return 1;
        }
    }
    TestConcurrentWriters test;
    return QTest::qExec(&test, argc, argv);
}

#include "tst_ConcurrentWriters.moc"
