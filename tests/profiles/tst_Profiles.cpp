// Profiles on the demo installation: what Save writes, the profiles Apply refuses whole, the report of
// an apply (and a dry run) over devices that lack items, do not answer, already match, are of another
// kind or keep another value than was written, and the same bytes from metric and imperial profiles.
#include "platform/objectserver/ObjectServerFactory.h"
#include "platform/objectserver/SqlObjectServer.h"
#include "platform/objectserver/Xif.h"
#include "platform/registry/LonWorksInstallation.h"
#include "profiles/Profiles.h"
#include "support/DemoWorld.h"
#include "support/Failures.h"
#include "support/TestEnvironment.h"
#include "ui/log/LogModel.h"
#include "ui/log/fLog.h"

#include <QJsonArray>
#include <QJsonDocument>
#include <QJsonObject>
#include <QProcess>
#include <QSqlDatabase>
#include <QSqlQuery>
#include <QTest>
#include <QTreeView>

namespace {

const QString Network = QStringLiteral("Demo");
const QString Floor = QStringLiteral("Floor 1");
const QString Prefix = QStringLiteral("Demo/System 1/Floor 1/");
const QStringList Variables = {"nciSetPts", "nciRHmodel", "nciGenOpts", "nciSndHrtBt", "nciMinOutTm", "nciRcvHrtBt"};

QJsonObject Parsed(const QString& json)
{
    return QJsonDocument::fromJson(json.toUtf8()).object();
}

QString Text(const QJsonObject& object)
{
    return QString::fromUtf8(QJsonDocument(object).toJson());
}

// Every settable variable of every device, as the device holds it.
QMap<QString, QByteArray> Snapshot(testsupport::DemoWorld& world)
{
    QMap<QString, QByteArray> raw;
    for (const QString& path : world.devicePaths(Network))
        for (const QString& nv : Variables)
            raw[path + QLatin1Char(':') + nv] = world.admin().nvRaw(testsupport::DemoWorld::refOf(Network, path), nv);
    return raw;
}

// A device of another kind beside the thermostats: the same interface under another program ID.
void AddOtherKind(testsupport::DemoWorld& world)
{
    lns::xif::InterfaceDefinition definition =
        lns::xif::ParseXif(world.lonWorksPath() + QStringLiteral("/Import/KR5M-HU.xif"));
    definition.programId = QStringLiteral("9000D35500040400");
    world.admin().addTemplate(Network, QStringLiteral("Other"), definition);
    world.admin().addDevice(Network, {.subsystem = Floor, .name = QStringLiteral("OT-1"), .templateName = "Other"});
}

QStringList Actions(const fLog& log)
{
    QStringList actions;
    const auto* model = log.OstLog->model();
    for (int row = 0; row < model->rowCount(); ++row)
        actions.append(model->index(row, 1).data().toString());
    return actions;
}

}  // namespace

class TestProfiles : public QObject {
    Q_OBJECT
private slots:
    void saveHoldsWhatTheWindowShows_data();
    void saveHoldsWhatTheWindowShows();
    void badProfileIsRefusedWhole_data();
    void badProfileIsRefusedWhole();
    void applyReportsEachDevice_data();
    void applyReportsEachDevice();
    void unitsGiveTheSameBytes_data();
    void unitsGiveTheSameBytes();
    void devicesOfModelAndSubsystem_data();
    void devicesOfModelAndSubsystem();
    void aServerRestartFailsOnlyTheDeviceInFlight();
    void aStoreThatCannotBeOpenedIsNamedWithWhy();
    void anotherWritersChangeIsKeptOrTheDeviceIsAConflict_data();
    void anotherWritersChangeIsKeptOrTheDeviceIsAConflict();
};

void TestProfiles::saveHoldsWhatTheWindowShows_data()
{
    QTest::addColumn<QString>("device");
    QTest::addColumn<int>("units");
    QTest::addColumn<QString>("item");
    QTest::addColumn<QJsonValue>("expected");  // undefined: not in the profile
    QTest::newRow("set point") << "TS-102" << 0 << "nciSetPts.occ_heat" << QJsonValue(21.5);
    QTest::newRow("set point, imperial") << "TS-102" << 1 << "nciSetPts.occ_heat" << QJsonValue(70.7);
    QTest::newRow("limit") << "TS-102" << 0 << "HeatMax" << QJsonValue(30);
    QTest::newRow("limit, imperial") << "TS-102" << 1 << "HeatMax" << QJsonValue(86);
    QTest::newRow("choice") << "TS-102" << 0 << "SetpointType" << QJsonValue("PERMANENT");
    QTest::newRow("whole number") << "TS-102" << 0 << "RHsetpoint" << QJsonValue(50);
    QTest::newRow("read-only item") << "TS-102" << 0 << "thermostat_model" << QJsonValue(QJsonValue::Undefined);
    QTest::newRow("item the model lacks") << "TS-102" << 0 << "ReverseAOut" << QJsonValue(QJsonValue::Undefined);
    QTest::newRow("item of a full model") << "TS-101" << 0 << "ReverseAOut" << QJsonValue("OFF");
}

void TestProfiles::saveHoldsWhatTheWindowShows()
{
    QFETCH(QString, device);
    QFETCH(int, units);
    QFETCH(QString, item);
    QFETCH(QJsonValue, expected);
    testsupport::DemoWorld world;
    QVERIFY2(world.ok(), qPrintable(world.error()));
    fLog log;
    const QJsonObject profile = Parsed(profiles::Save(Network, Prefix + device, qint16(units), log));
    QCOMPARE(profile.value("format").toString(), QStringLiteral("KR5M-HU profile"));
    QCOMPARE(profile.value("units").toString(), units ? QStringLiteral("imperial") : QStringLiteral("metric"));
    QCOMPARE(profile.value("values").toObject().value(item), expected);
    // The same reads as the window, in its log.
    QVERIFY(Actions(log).contains(QStringLiteral("Reading nciGenOpts")));
}

void TestProfiles::badProfileIsRefusedWhole_data()
{
    QTest::addColumn<QString>("member");  // top-level key, "values.ITEM", or "text" for the whole text
    QTest::addColumn<QString>("json");    // its new value; empty: removed
    QTest::addColumn<QString>("reason");
    QTest::newRow("not JSON") << "text"
                              << "{\"format\": "
                              << "it is not JSON";
    QTest::newRow("a key twice") << "text"
                                 << "{\"values\": {\"HeatMax\": 86, \"Heat\\u004dax\": 80}}"
                                 << "the key \"HeatMax\" appears twice in one object";
    QTest::newRow("no values") << "values"
                               << "{}"
                               << "its \"values\" object is empty";
    QTest::newRow("not a model of the family") << "model"
                                               << "99"
                                               << "its model code is not one of a KR5M-HU thermostat (30, 41,";
    // Input repeated in a message is cut to its start and length, and a NUL is written out.
    QTest::newRow("a long item name") << "values." + QString(50000, QLatin1Char('Q')) << "1"
                                      << QString(48, QLatin1Char('Q')) +
                                             "... (50000 characters): no such settable item";
    QTest::newRow("a NUL in an item name") << QStringLiteral("values.Heat") + QChar(0) + "Max"
                                           << "1"
                                           << "Heat\\u0000Max: no such settable item";
    QTest::newRow("a number too long to repeat") << "values.HeatMax"
                                                 << "1e308"
                                                 << "... (309 characters) is out of range";
    QTest::newRow("a number beyond a double") << "text"
                                              << "{\"values\": {\"HeatMax\": 1e400}}"
                                              << "it holds a number this program cannot take";
    QTest::newRow("the version as a text") << "version"
                                           << "\"1\""
                                           << "its version \"1\" (a text) is not 1";
    QTest::newRow("other version") << "version"
                                   << "2"
                                   << "version 2 is not 1";
    QTest::newRow("other kind") << "programId"
                                << "\"9000D35500040400\""
                                << "another kind of device";
    QTest::newRow("unknown key") << "comment"
                                 << "\"x\""
                                 << "unknown key \"comment\"";
    QTest::newRow("no units") << "units"
                              << ""
                              << "does not state its units";
    QTest::newRow("unknown item") << "values.Bogus"
                                  << "1"
                                  << "Bogus: no such settable item";
    QTest::newRow("read-only item") << "values.thermostat_model"
                                    << "45"
                                    << "thermostat_model: no such settable item";
    QTest::newRow("out of range") << "values.HeatMax"
                                  << "40"
                                  << "40 is out of range, the maximum allowed value is 32";
    QTest::newRow("not whole") << "values.RHsetpoint"
                               << "50.5"
                               << "\"50.5\" is not a whole number";
    QTest::newRow("unknown choice") << "values.SetpointType"
                                    << "\"SOMETIMES\""
                                    << "\"SOMETIMES\" is not one of";
    QTest::newRow("number as text") << "values.HeatMax"
                                    << "\"30\""
                                    << "HeatMax: the value must be a number";
    // Within range itself, but above the occupied cooling set point less the dead band: each device refuses.
    QTest::newRow("cross-field") << "values.nciSetPts.occ_heat"
                                 << "27"
                                 << "nciSetPts.occ_cool (23.5) must be at least DeadBand (2) above "
                                    "nciSetPts.occ_heat (27)";
}

void TestProfiles::badProfileIsRefusedWhole()
{
    QFETCH(QString, member);
    QFETCH(QString, json);
    QFETCH(QString, reason);
    testsupport::DemoWorld world;
    QVERIFY2(world.ok(), qPrintable(world.error()));
    fLog log;
    QJsonObject profile = Parsed(profiles::Save(Network, Prefix + "TS-102", 0, log));
    QString text;
    if (member == QLatin1String("text")) {
        text = json;
    } else {
        const QJsonValue value = QJsonDocument::fromJson("[" + json.toUtf8() + "]").array().at(0);
        QJsonObject* target = &profile;
        QJsonObject values = profile.value("values").toObject();
        QString key = member;
        if (member.startsWith(QLatin1String("values."))) {
            target = &values;
            key = member.mid(7);
        }
        if (json.isEmpty())
            target->remove(key);
        else
            target->insert(key, value);
        if (target == &values)
            profile.insert("values", values);
        text = Text(profile);
    }
    const auto before = Snapshot(world);
    QString message;
    QString report;
    try {
        report = profiles::Apply(Network, world.devicePaths(Network), text, false, log).ToJson();
    } catch (const com::ComError& e) {
        QCOMPARE(e.number(), profiles::ErrProfileRefused);
        message = e.description();
    }
    if (message.isEmpty()) {
        // Refused by each device it was applied to.
        for (const QJsonValue& device : Parsed(report).value("devices").toArray()) {
            if (device["status"] == QLatin1String("failed"))
                continue;  // the device that does not answer
            QCOMPARE(device["status"].toString(), QStringLiteral("refused"));
            message = device["message"].toString();
        }
    }
    QVERIFY2(message.contains(reason), qPrintable(message.left(300)));
    QVERIFY2(message.size() < 400, qPrintable(QStringLiteral("%1 characters").arg(message.size())));
    QCOMPARE(Snapshot(world), before);
    QVERIFY(!Actions(log).join(' ').contains(QStringLiteral("Updating")));
}

void TestProfiles::applyReportsEachDevice_data()
{
    QTest::addColumn<bool>("dryRun");
    // Status by device; TS-102 is the profile's source, TS-105 keeps another value than it is sent.
    QTest::addColumn<QStringList>("statuses");
    QTest::newRow("apply") << false << QStringList{"verified",      "unchanged", "verified", "verified",
                                                   "verify-failed", "verified",  "failed",   "refused"};
    QTest::newRow("dry run") << true << QStringList{"would-change", "unchanged",    "would-change", "would-change",
                                                    "would-change", "would-change", "failed",       "refused"};
}

void TestProfiles::applyReportsEachDevice()
{
    QFETCH(bool, dryRun);
    QFETCH(QStringList, statuses);
    testsupport::DemoWorld world;
    QVERIFY2(world.ok(), qPrintable(world.error()));
    AddOtherKind(world);
    world.admin().setDeviceFaults({Network, Floor, "TS-105"}, {.storesOtherValue = true});
    fLog log;
    const QString profile = profiles::Save(Network, Prefix + "TS-102", 0, log);
    const QStringList paths = world.devicePaths(Network);
    QCOMPARE(paths.size(), statuses.size());
    const auto before = Snapshot(world);
    QStringList progress;
    const QJsonObject report = Parsed(
        profiles::Apply(Network, paths, profile, dryRun, log, [&](quint32 done, quint32 total, const QString& path) {
            progress << QStringLiteral("%1/%2 %3").arg(done).arg(total).arg(path);
        }).ToJson());

    QCOMPARE(report["dryRun"].toBool(), dryRun);
    QCOMPARE(report["ok"].toBool(), false);
    const QJsonArray devices = report["devices"].toArray();
    QStringList seen;
    for (const QJsonValue& device : devices)
        seen << device["status"].toString();
    QCOMPARE(seen, statuses);
    QCOMPARE(progress.size(), paths.size());
    QCOMPARE(progress.last(), QStringLiteral("%1/%1 %2").arg(paths.size()).arg(paths.last()));

    // The model without a fan menu nor auto function (TS-103, model 51) reports what it skipped.
    QStringList skipped;
    for (const QJsonValue& item : devices[2]["items"].toArray())
        if (item["state"] == QLatin1String("skipped"))
            skipped << item["name"].toString();
    QVERIFY2(skipped.contains("FanMenu") && skipped.contains("SeqOpera"), qPrintable(skipped.join(' ')));
    // In the object server's own words, as `nv get` prints them.
    QCOMPARE(devices[6]["message"].toString(), QStringLiteral("The device TS-107 does not answer."));

    const QStringList actions = Actions(log);
    if (dryRun) {
        QCOMPARE(Snapshot(world), before);
        QVERIFY(!actions.join(' ').contains(QStringLiteral("Updating")));
        return;
    }
    QVERIFY(actions.contains(QStringLiteral("Updating nciGenOpts")));
    QVERIFY(actions.contains(QStringLiteral("Reading back nciGenOpts")));
    // Where the check failed: what was written against what the device holds.
    const QJsonObject failed = devices[4]["verification"].toArray().first().toObject();
    QCOMPARE(failed["ok"].toBool(), false);
    QVERIFY(failed["written"] != failed["readBack"]);
    QVERIFY(actions.contains(QStringLiteral("Verification of %1 failed").arg(failed["variable"].toString())));
    // A verified device now matches the profile.
    const QJsonObject again = Parsed(profiles::Compare(Network, paths[0], profile, log));
    QCOMPARE(again["devices"][0]["status"].toString(), QStringLiteral("unchanged"));
}

void TestProfiles::unitsGiveTheSameBytes_data()
{
    QTest::addColumn<int>("units");
    QTest::newRow("metric") << 0;
    QTest::newRow("imperial") << 1;
}

void TestProfiles::unitsGiveTheSameBytes()
{
    QFETCH(int, units);
    testsupport::DemoWorld world;
    QVERIFY2(world.ok(), qPrintable(world.error()));
    const lns::admin::DeviceRef source{Network, Floor, "TS-101"};
    const lns::admin::DeviceRef target{Network, Floor, "TS-103"};
    // The target has the source's model and standby set points (fields no profile holds); its own
    // occupied and unoccupied set points and limits.
    world.admin().setNvText(target, "nciSetPts", "23,26,27,20,19,17");
    world.admin().setNvText(target, "nciGenOpts",
                            "ON_OFF 2.5 4 OFF REM_NSB NONE NONE NO_SCROLL OFF CELSIUS TWO_PIPE HEAT_COOL LOW_MED_HIGH "
                            "31 14 TEMPORARY 2 5 1.5 0.5 NO_WITH_OCCUPANCY RTB_15_MINUTES");
    world.admin().setNvRaw(target, "nciSccModel", world.admin().nvRaw(source, "nciSccModel"));
    fLog log;
    const QString profile = profiles::Save(Network, Prefix + "TS-101", qint16(units), log);
    const QJsonObject report = Parsed(profiles::Apply(Network, {Prefix + "TS-103"}, profile, false, log).ToJson());
    QCOMPARE(report["devices"][0]["status"].toString(), QStringLiteral("verified"));
    for (const QString& nv : Variables)
        QCOMPARE(world.admin().nvRaw(target, nv).toHex(' '), world.admin().nvRaw(source, nv).toHex(' '));
}

void TestProfiles::devicesOfModelAndSubsystem_data()
{
    QTest::addColumn<int>("model");  // 0: by subsystem
    QTest::addColumn<QString>("subsystem");
    QTest::addColumn<QStringList>("devices");
    QTest::newRow("model 45") << 45 << "" << QStringList{"TS-102"};
    QTest::newRow("model of the unreachable device") << 47 << "" << QStringList{};
    QTest::newRow("subsystem") << 0 << "Demo/System 1/Floor 1"
                               << QStringList{"TS-101", "TS-102", "TS-103", "TS-104", "TS-105", "TS-106", "TS-107"};
}

void TestProfiles::devicesOfModelAndSubsystem()
{
    QFETCH(int, model);
    QFETCH(QString, subsystem);
    QFETCH(QStringList, devices);
    testsupport::DemoWorld world;
    QVERIFY2(world.ok(), qPrintable(world.error()));
    QStringList expected;
    for (const QString& device : devices)
        expected << Prefix + device;
    QCOMPARE(
        model ? profiles::DevicesOfModel(Network, qint16(model)) : profiles::DevicesOfSubsystem(Network, subsystem),
        expected);

    // The same on an object server handed in, with the installation the registry names now one without
    // a network database (the same types format the values): the calls find the devices, and an apply
    // writes them, only through the server given.
    const QString demo = world.lonWorksPath();
    QTemporaryDir elsewhere;
    QVERIFY(QFile::link(demo + "/types", elsewhere.path() + "/types"));
    QVERIFY(registry::SetLonWorksPathSetting(elsewhere.path()));
    int made = 0;
    const profiles::ObjectServerMaker server = [&] {
        ++made;
        return std::make_unique<lns::SqlObjectServer>(demo);
    };
    QCOMPARE(model ? profiles::DevicesOfModel(Network, qint16(model), server)
                   : profiles::DevicesOfSubsystem(Network, subsystem, server),
             expected);
    fLog log;
    const QString profile = QStringLiteral("{\"format\": \"KR5M-HU profile\", \"version\": 1, \"programId\": "
                                           "\"8000D3550004040B\", \"model\": 45, \"units\": \"metric\", "
                                           "\"values\": {\"TOccTime\": 9}}");
    const profiles::Report report =
        model ? profiles::ApplyToModel(Network, qint16(model), profile, {.objectServer = server}, log)
              : profiles::ApplyToSubsystem(Network, subsystem, profile, {.objectServer = server}, log);
    QCOMPARE(made, 3);
    QCOMPARE(qsizetype(report.devices().size()), expected.size());
    QVERIFY(!QFile::exists(lns::ObjectServerDatabasePath(elsewhere.path())));
    QVERIFY(registry::SetLonWorksPathSetting(demo));
    for (const QString& path : expected) {
        const auto ref = testsupport::DemoWorld::refOf(Network, path);
        const bool answers = !world.admin().deviceFaults(ref).unreachable;
        QCOMPARE(world.admin().nvText(ref, "nciGenOpts").split(' ').value(16) == QLatin1String("9"), answers);
    }
}

// On a PostgreSQL store of the test's own (cmake/with-own-postgres.sh): the server goes down for two
// seconds while an apply goes through twenty devices. The device then in flight fails with the
// server's words; the apply waits for the server and applies every later one.
void TestProfiles::aServerRestartFailsOnlyTheDeviceInFlight()
{
    const QString cluster = qEnvironmentVariable("KR5M_PG_CLUSTER");
    if (cluster.isEmpty())
        QSKIP("needs a PostgreSQL cluster of its own (cmake/with-own-postgres.sh)");
    testsupport::DemoWorld world;
    QVERIFY2(world.ok(), qPrintable(world.error()));
    fLog log;
    QJsonObject profile = Parsed(profiles::Save(Network, Prefix + "TS-102", 0, log));
    QJsonObject values = profile.value("values").toObject();
    values.insert("TOccTime", 7);
    profile.insert("values", values);
    QStringList paths;
    for (int round = 0; round < 4; ++round)
        for (const char* device : {"TS-101", "TS-102", "TS-103", "TS-104", "TS-105"})
            paths << Prefix + QLatin1String(device);
    int restartedAfter = 0;
    const QJsonArray devices =
        Parsed(profiles::Apply(
                   Network, paths, Text(profile), false, log,
                   [&](quint32 done, quint32, const QString&) {
                       if (done != 6)
                           return;
                       QProcess restart;
                       restart.start(testsupport::SourceDir() + "/cmake/pg-cluster.sh", {"bounce", cluster, "2"});
                       QVERIFY(restart.waitForFinished(60000));
                       QCOMPARE(restart.exitCode(), 0);
                       restartedAfter = int(done);
                   })
                   .ToJson())["devices"]
            .toArray();
    QCOMPARE(restartedAfter, 6);
    QCOMPARE(devices.size(), paths.size());
    for (int i = 0; i < devices.size(); ++i) {
        const QString status = devices[i]["status"].toString();
        const QString message = devices[i]["message"].toString();
        if (i == 6 && status == QLatin1String("failed"))
            continue;
        QVERIFY2(status == QLatin1String("verified") || status == QLatin1String("unchanged"),
                 qPrintable(QStringLiteral("device %1: %2 %3").arg(i).arg(status, message)));
    }
    // The test's own connection went with the restart too: its first call fails, the next connects again.
    testsupport::FailureOf([&] { world.admin().nvText({Network, Floor, "TS-105"}, "nciGenOpts"); });
    QCOMPARE(world.admin().nvText({Network, Floor, "TS-105"}, "nciGenOpts").split(' ').value(16), QStringLiteral("7"));
}

// A store that cannot be reached: every profile call names the network, the store and the store's own
// reason, as nv get and list do, never only "Cannot open the network".
void TestProfiles::aStoreThatCannotBeOpenedIsNamedWithWhy()
{
    testsupport::TestEnvironment environment;
    environment.set("LONWORKS_OBJECT_SERVER",
                    QStringLiteral("postgresql:///postgres?host=/nowhere/kr5m&user=postgres"));
    fLog log;
    for (const auto& call : std::vector<std::function<void()>>{
             [&] { profiles::Save(Network, Prefix + "TS-101", 0, log); },
             [&] {
                 profiles::Compare(Network, Prefix + "TS-101",
                                   QStringLiteral("{\"format\": \"KR5M-HU profile\", \"version\": 1, \"programId\": "
                                                  "\"8000D3550004040B\", \"model\": 45, \"units\": \"metric\", "
                                                  "\"values\": {\"SetpointType\": \"PERMANENT\"}}"),
                                   log);
             },
         }) {
        try {
            call();
            QFAIL("the call went through");
        } catch (const com::ComError& e) {
            QCOMPARE(e.number(), 20006);
            QVERIFY2(
                e.description().startsWith(QLatin1String("Cannot open the network Demo: Cannot open the object "
                                                         "server database postgresql:///postgres?host=/nowhere/kr5m")),
                qPrintable(e.description()));
            QVERIFY2(e.description().contains(QLatin1String("/nowhere/kr5m/.s.PGSQL")), qPrintable(e.description()));
        }
    }
}

// Another writer changes a limit of the thermostat while the apply writes it: the database's own trigger
// changes nciGenOpts when the apply has written nciSetPts, after the apply read both. A limit the
// profile does not change keeps the other writer's value; one it changes too makes the device a
// conflict, with nothing of the profile left on it.
void TestProfiles::anotherWritersChangeIsKeptOrTheDeviceIsAConflict_data()
{
    QTest::addColumn<int>("theirs");  // the field of nciGenOpts the other writer raises by 1
    QTest::addColumn<QString>("status");
    QTest::newRow("another limit") << 14 << "verified";
    QTest::newRow("the limit the profile changes") << 13 << "conflict";
}

void TestProfiles::anotherWritersChangeIsKeptOrTheDeviceIsAConflict()
{
    QFETCH(int, theirs);
    QFETCH(QString, status);
    testsupport::DemoWorld world;
    QVERIFY2(world.ok(), qPrintable(world.error()));
    const lns::admin::DeviceRef device{Network, Floor, "TS-101"};
    fLog log;
    QJsonObject profile = Parsed(profiles::Save(Network, Prefix + "TS-101", 0, log));
    QStringList setPoints = world.admin().nvText(device, "nciSetPts").split(',');
    QStringList options = world.admin().nvText(device, "nciGenOpts").split(' ');
    const QByteArray setPointsBefore = world.admin().nvRaw(device, "nciSetPts");
    const QByteArray optionsBefore = world.admin().nvRaw(device, "nciGenOpts");
    profile["values"] =
        QJsonObject{{"nciSetPts.occ_heat", setPoints[3].toDouble() - 1}, {"HeatMax", options[13].toDouble() + 0.5}};

    // The other writer's bytes: the read value with one field raised.
    QStringList changed = options;
    changed[theirs] = QString::number(options[theirs].toDouble() + 1);
    world.admin().setNvText(device, "nciGenOpts", changed.join(' '));
    const QByteArray other = world.admin().nvRaw(device, "nciGenOpts");
    world.admin().setNvRaw(device, "nciGenOpts", optionsBefore);
    {
        QSqlDatabase db = QSqlDatabase::addDatabase(QStringLiteral("QSQLITE"), QStringLiteral("writer"));
        db.setDatabaseName(world.admin().databasePath());
        QVERIFY(db.open());
        const QString device = "(SELECT id FROM devices WHERE name = 'TS-101')";
        const QString nv = "(SELECT id FROM template_nvs WHERE name = '%1')";
        QSqlQuery q(db);
        QVERIFY2(
            q.exec(QStringLiteral("CREATE TRIGGER other_writer AFTER UPDATE ON device_nv_values WHEN "
                                  "NEW.device_id = %1 AND NEW.nv_id IN %2 BEGIN UPDATE device_nv_values SET "
                                  "value = X'%3' WHERE device_id = %1 AND nv_id IN %4; END")
                       .arg(device, nv.arg("nciSetPts"), QString::fromLatin1(other.toHex()), nv.arg("nciGenOpts"))),
            qPrintable(q.lastQuery()));
        db.close();
    }
    QSqlDatabase::removeDatabase(QStringLiteral("writer"));

    const QJsonObject report = Parsed(
        profiles::Apply(Network, {Prefix + "TS-101"}, QString::fromUtf8(QJsonDocument(profile).toJson()), false, log)
            .ToJson());
    const QJsonObject outcome = report["devices"][0].toObject();
    QCOMPARE(outcome["status"].toString(), status);
    const QStringList held = world.admin().nvText(device, "nciGenOpts").split(' ');
    if (status == QLatin1String("conflict")) {
        // Nothing of the profile: the set points put back, the limit as the other writer left it.
        QCOMPARE(world.admin().nvRaw(device, "nciSetPts"), setPointsBefore);
        QCOMPARE(world.admin().nvRaw(device, "nciGenOpts"), other);
        QStringList conflicts;
        for (const QJsonValue& item : outcome["items"].toArray())
            if (item["state"] == QLatin1String("conflict"))
                conflicts << item["name"].toString() + ": " + item["reason"].toString();
        QCOMPARE(conflicts, QStringList{"HeatMax: changed on the device since the read, to " + changed[13]});
        QVERIFY(!report["ok"].toBool());
        return;
    }
    QCOMPARE(world.admin().nvText(device, "nciSetPts").split(',')[3].toDouble(), setPoints[3].toDouble() - 1);
    QCOMPARE(held[13].toDouble(), options[13].toDouble() + 0.5);
    QCOMPARE(held[theirs], changed[theirs]);
    for (int field = 0; field < held.size(); ++field)
        if (field != 13 && field != theirs)
            QCOMPARE(held[field], options[field]);
}

QTEST_MAIN(TestProfiles)
#include "tst_Profiles.moc"
