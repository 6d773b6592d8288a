// bench_objectserver [N]: reads and writes the ten configuration variables of one thermostat N times
// through the object server (handles, format names, faults checked, one transaction per write), and
// does the same with bare SQL on the same database in the same run (statements prepared once, each
// write in its own transaction, no formatting). Prints the figures and the ratios object server / bare.
// With LONWORKS_OBJECT_SERVER naming a PostgreSQL server, the same on that server (in a schema of its
// own, dropped at the end), and then 1 against 4 processes each writing its own device for a fixed
// time: RESULT objectserver-read-pg, objectserver-write-pg, objectserver-pg-concurrency.
#include "DemoTypes.h"
#include "platform/objectserver/ObjectServerAdmin.h"
#include "platform/objectserver/ObjectServerFactory.h"
#include "platform/objectserver/StoreLocation.h"

#include <QCoreApplication>
#include <QDateTime>
#include <QDir>
#include <QElapsedTimer>
#include <QProcess>
#include <QSqlDatabase>
#include <QSqlError>
#include <QSqlQuery>
#include <QTemporaryDir>
#include <QTextStream>
#include <QUrl>
#include <QUrlQuery>
#include <algorithm>
#include <cstdio>
#include <functional>
#include <memory>

namespace {

struct Variable {
    const char* name;
    const char* type;
    int size;
    const char* format;  // as the plug-in reads it
};

// The thermostat's ten variables, and the formats the configuration window reads them in.
const Variable Variables[] = {
    {"nciSetPts", "SNVT_temp_setpt", 12, "SNVT_temp_setpt#SI"},
    {"nciRHmodel", "UNVT_rh_model", 5, "UNVT_rh_model"},
    {"nciGenOpts", "UNVT_fc_gen_opts", 26, "UNVT_fc_gen_opts#SI"},
    {"nciSccModel", "UNVT_model_info2", 2, "UNVT_model_info2"},
    {"nciHvacType", "SNVT_hvac_type", 1, "SNVT_hvac_type"},
    {"nciSndHrtBt", "SNVT_time_sec", 2, "SNVT_time_sec"},
    {"nciMinOutTm", "SNVT_time_sec", 2, "SNVT_time_sec"},
    {"nciRcvHrtBt", "SNVT_time_sec", 2, "SNVT_time_sec"},
    {"nciMajVer", "INT", 1, "INT"},
    {"nciMinVer", "INT", 1, "INT"},
};

void die(const QString& why)
{
    std::fprintf(stderr, "bench_objectserver: %s\n", qPrintable(why));
    std::exit(1);
}

// Nanoseconds per operation. The machine is shared: the best of several rounds is the figure least
// disturbed by others.
double timed(qint64 operations, const std::function<void()>& body)
{
    QElapsedTimer timer;
    timer.start();
    body();
    return double(timer.nsecsElapsed()) / double(operations);
}

QSqlQuery prepared(QSqlDatabase& db, const char* sql)
{
    QSqlQuery query(db);
    query.setForwardOnly(true);
    if (!query.prepare(QString::fromLatin1(sql)))
        die(query.lastError().text());
    return query;
}

void run(QSqlQuery& query)
{
    if (!query.exec())
        die(query.lastError().text());
}

// The server's address with a schema of its own as the search path; the schema is made here.
QString inSchema(const QString& server, const QString& schema)
{
    {
        QSqlDatabase db = QSqlDatabase::addDatabase(QStringLiteral("QPSQL"), QStringLiteral("schema"));
        db.setConnectOptions(lns::sql::ConnectOptions(lns::sql::ConnectionKeywords(server)));
        QSqlQuery query(db);
        if (!db.open() || !query.exec(QStringLiteral("CREATE SCHEMA ") + schema))
            die(db.lastError().text() + query.lastError().text());
    }
    QSqlDatabase::removeDatabase(QStringLiteral("schema"));
    QUrl url(server);
    QUrlQuery query(url);
    query.addQueryItem(QStringLiteral("options"), QStringLiteral("-c search_path=") + schema);
    url.setQuery(query);
    return url.toString(QUrl::FullyEncoded);
}

void dropSchema(const QString& server, const QString& schema)
{
    {
        QSqlDatabase db = QSqlDatabase::addDatabase(QStringLiteral("QPSQL"), QStringLiteral("schema"));
        db.setConnectOptions(lns::sql::ConnectOptions(lns::sql::ConnectionKeywords(server)));
        QSqlQuery query(db);
        if (db.open()) {
            query.exec(QStringLiteral("SET client_min_messages TO warning"));
            query.exec(QStringLiteral("DROP SCHEMA ") + schema + QStringLiteral(" CASCADE"));
        }
    }
    QSqlDatabase::removeDatabase(QStringLiteral("schema"));
}

// One writer process of the concurrency run: writes its device's set points for the given time and
// prints how many writes it made.
int writer(const QString& lonWorksPath, const QString& device, int milliseconds)
{
    try {
        auto server = lns::CreateObjectServer(lonWorksPath);
        server->OpenObjectServer();
        auto net = server->Networks()->Item(QStringLiteral("Bench"));
        net->OpenNetwork();
        auto system = net->NetworkSystems()->Item(1);
        system->OpenSystem();
        auto nv = system->SystemSubsystems()
                      ->Item(QStringLiteral("Floor 1"))
                      ->SubsystemAppDevices()
                      ->Item(device)
                      ->DeviceInterface()
                      ->InterfaceNetworkVariables()
                      ->NvCollectionItem(QStringLiteral("nciSetPts"));
        nv->SetNvFormatSpec(QStringLiteral("SNVT_temp_setpt#SI"));
        const QString texts[] = {QStringLiteral("23,25,27,21,19,17"), QStringLiteral("22,24,26,20,18,16")};
        QElapsedTimer timer;
        timer.start();
        qint64 writes = 0;
        while (timer.elapsed() < milliseconds)
            nv->SetNvFormattedValue(texts[writes++ % 2]);
        QTextStream(stdout) << writes << '\n';
    } catch (const com::ComError& e) {
        die(e.description());
    }
    return 0;
}

// Writes per second of `processes` writers at once, each on its own device.
double throughput(const QString& lonWorksPath, int processes, int milliseconds)
{
    QList<std::shared_ptr<QProcess>> running;
    for (int i = 1; i <= processes; ++i) {
        auto process = std::make_shared<QProcess>();
        process->start(QCoreApplication::applicationFilePath(),
                       {QStringLiteral("--writer"), lonWorksPath, QStringLiteral("Writer %1").arg(i),
                        QString::number(milliseconds)});
        running.append(process);
    }
    qint64 writes = 0;
    for (const auto& process : running) {
        if (!process->waitForFinished(milliseconds + 60000) || process->exitCode() != 0)
            die(QStringLiteral("a writer failed: ") + QString::fromUtf8(process->readAllStandardError()));
        writes += QString::fromUtf8(process->readAllStandardOutput()).trimmed().toLongLong();
    }
    return double(writes) * 1000.0 / milliseconds;
}

}  // namespace

int main(int argc, char** argv)
{
    QCoreApplication app(argc, argv);
    if (argc == 5 && QString::fromLocal8Bit(argv[1]) == QLatin1String("--writer"))
        return writer(QString::fromLocal8Bit(argv[2]), QString::fromLocal8Bit(argv[3]),
                      QString::fromLocal8Bit(argv[4]).toInt());
    const int n = argc > 1 ? std::max(1, QString::fromLocal8Bit(argv[1]).toInt()) : 1000;
    // On PostgreSQL, a schema of this run's own, so that runs do not meet.
    const QString address = qEnvironmentVariable(lns::sql::ObjectServerEnvironment);
    const bool postgres = !address.isEmpty();
    const QString schema = QStringLiteral("bench_%1").arg(QCoreApplication::applicationPid());
    if (postgres)
        qputenv(lns::sql::ObjectServerEnvironment, inSchema(address, schema).toUtf8());
    const QString suffix = postgres ? QStringLiteral("-pg") : QString();
    const int rounds = 5;
    QTemporaryDir dir;
    if (!dir.isValid())
        die(QStringLiteral("no temporary folder"));
    const QString lonWorksPath = dir.path();
    if (const QString error = bench::InstallDemoTypes(lonWorksPath); !error.isEmpty())
        die(error);

    const QString network = QStringLiteral("Bench");
    const lns::admin::DeviceRef device{network, QStringLiteral("Floor 1"), QStringLiteral("Thermostat 1")};
    QStringList texts;
    try {
        lns::admin::ObjectServerAdmin admin(lonWorksPath);
        admin.createNetwork({network});
        admin.addSubsystem(network, device.subsystem);
        lns::xif::InterfaceDefinition definition;
        definition.programId = QStringLiteral("8000D3550004040B");
        int index = 0;
        for (const Variable& v : Variables)
            definition.networkVariables.append(
                {index++, QString::fromLatin1(v.name), QString::fromLatin1(v.type), v.size, true, true});
        admin.addTemplate(network, QStringLiteral("KR5M-HU"), definition);
        admin.addDevice(network, {device.subsystem, device.device, QStringLiteral("KR5M-HU"), {}});
        for (int i = 1; postgres && i <= 4; ++i)
            admin.addDevice(network,
                            {device.subsystem, QStringLiteral("Writer %1").arg(i), QStringLiteral("KR5M-HU"), {}});
        admin.setNvText(device, QStringLiteral("nciSetPts"), QStringLiteral("23,25,27,21,19,17"));
        admin.setNvText(device, QStringLiteral("nciSndHrtBt"), QStringLiteral("60"));
        for (const Variable& v : Variables)
            texts.append(admin.nvText(device, QString::fromLatin1(v.name), QString::fromLatin1(v.format)));
    } catch (const com::ComError& e) {
        die(e.description());
    }

    // ---- Through the object server, as the configuration window does it.
    auto server = lns::CreateObjectServer(lonWorksPath);
    QVector<lns::Ptr<lns::NetworkVariable>> handles;
    std::function<void()> serverReads, serverWrites, bareReads, bareWrites, recordedWrites;
    try {
        server->OpenObjectServer();
        auto net = server->Networks()->Item(network);
        net->OpenNetwork();
        auto system = net->NetworkSystems()->Item(1);
        system->OpenSystem();
        auto nvs = system->SystemSubsystems()
                       ->Item(device.subsystem)
                       ->SubsystemAppDevices()
                       ->Item(device.device)
                       ->DeviceInterface()
                       ->InterfaceNetworkVariables();
        for (const Variable& v : Variables)
            handles.append(nvs->NvCollectionItem(QString::fromLatin1(v.name)));
        // Every variable gets its stored row, which the bare side reads and rewrites.
        for (int k = 0; k < 10; ++k)
            handles[k]->SetNvFormattedValue(texts[k]);
        serverReads = [&] {
            for (int i = 0; i < n; ++i)
                for (int k = 0; k < 10; ++k) {
                    handles[k]->SetNvAccessOption(0);
                    handles[k]->SetNvFormatSpec(QString::fromLatin1(Variables[k].format));
                    if (handles[k]->NvFormattedValue().isEmpty())
                        die(QStringLiteral("empty value"));
                }
        };
        serverWrites = [&] {
            for (int i = 0; i < n; ++i)
                for (int k = 0; k < 10; ++k) {
                    handles[k]->SetNvAccessOption(0);
                    handles[k]->SetNvFormattedValue(texts[k]);
                }
        };
    } catch (const com::ComError& e) {
        die(e.description());
    }

    // ---- Bare SQL on the same file and rows.
    double serverRead = 1e300, serverWrite = 1e300, bareRead = 1e300, bareWrite = 1e300, recordedWrite = 1e300;
    {
        QSqlDatabase db = QSqlDatabase::addDatabase(postgres ? QStringLiteral("QPSQL") : QStringLiteral("QSQLITE"),
                                                    QStringLiteral("bare"));
        if (postgres) {
            db.setConnectOptions(lns::sql::ConnectOptions(
                lns::sql::ConnectionKeywords(qEnvironmentVariable(lns::sql::ObjectServerEnvironment))));
        } else {
            db.setDatabaseName(lns::ObjectServerDatabasePath(lonWorksPath));
            db.setConnectOptions(QStringLiteral("QSQLITE_BUSY_TIMEOUT=10000"));
        }
        if (!db.open())
            die(db.lastError().text());
        QSqlQuery pragma(db);
        if (!postgres)
            pragma.exec(QStringLiteral("PRAGMA synchronous = NORMAL"));
        QVector<QPair<qint64, qint64>> keys;
        QSqlQuery ids(db);
        ids.exec(QStringLiteral("SELECT device_id, nv_id FROM device_nv_values WHERE device_id ="
                                " (SELECT MIN(device_id) FROM device_nv_values) ORDER BY nv_id"));
        while (ids.next())
            keys.append({ids.value(0).toLongLong(), ids.value(1).toLongLong()});
        ids.finish();
        if (keys.size() != 10)
            die(QStringLiteral("expected ten stored values, found %1").arg(keys.size()));
        QVector<QByteArray> values(10);
        QSqlQuery select = prepared(db, "SELECT value FROM device_nv_values WHERE device_id = ? AND nv_id = ?");
        // On PostgreSQL the UPDATE alone is its transaction (it has no BEGIN to prepare).
        QSqlQuery begin = prepared(db, postgres ? "SELECT 1" : "BEGIN IMMEDIATE");
        QSqlQuery update = prepared(db, "UPDATE device_nv_values SET value = ? WHERE device_id = ? AND nv_id = ?");
        QSqlQuery commit = prepared(db, postgres ? "SELECT 1" : "COMMIT");
        // What the object server's write does in SQL beyond the bare UPDATE, for its cost alone: the read of
        // the bytes held before, and the history's row, in the write's transaction.
        QSqlQuery network(db);
        network.exec(QStringLiteral("SELECT MIN(id) FROM networks"));
        const qint64 networkId = network.next() ? network.value(0).toLongLong() : 0;
        network.finish();
        QSqlQuery record =
            prepared(db, "INSERT INTO nv_changes (network_id, at, host, login, program, batch, device_path,"
                         " variable, before_value, after_value, fields) VALUES (?, ?, 'host', 'login',"
                         " 'bench', '', 'Bench/System 1/Floor 1/Thermostat', 'nciSetPts', ?, ?, 'field 1 -> 2')");
        bareReads = [&] {
            for (int i = 0; i < n; ++i)
                for (int k = 0; k < 10; ++k) {
                    select.bindValue(0, keys[k].first);
                    select.bindValue(1, keys[k].second);
                    run(select);
                    if (!select.next())
                        die(QStringLiteral("value missing"));
                    values[k] = select.value(0).toByteArray();
                    select.finish();
                }
        };
        bareWrites = [&] {
            for (int i = 0; i < n; ++i)
                for (int k = 0; k < 10; ++k) {
                    if (!postgres)
                        run(begin);
                    update.bindValue(0, values[k]);
                    update.bindValue(1, keys[k].first);
                    update.bindValue(2, keys[k].second);
                    run(update);
                    if (!postgres)
                        run(commit);
                }
        };
        recordedWrites = [&] {
            for (int i = 0; i < n; ++i)
                for (int k = 0; k < 10; ++k) {
                    if (postgres)
                        db.transaction();
                    else
                        run(begin);
                    select.bindValue(0, keys[k].first);
                    select.bindValue(1, keys[k].second);
                    run(select);
                    const QByteArray held = select.next() ? select.value(0).toByteArray() : QByteArray();
                    select.finish();
                    update.bindValue(0, values[k]);
                    update.bindValue(1, keys[k].first);
                    update.bindValue(2, keys[k].second);
                    run(update);
                    record.bindValue(0, networkId);
                    record.bindValue(1, QDateTime::currentDateTimeUtc().toString(Qt::ISODateWithMs));
                    record.bindValue(2, held);
                    record.bindValue(3, values[k]);
                    run(record);
                    if (postgres)
                        db.commit();
                    else
                        run(commit);
                }
        };
        // The rounds interleave the four, so that a busy moment on the machine hits both sides.
        const qint64 operations = qint64(n) * 10;
        try {
            for (int r = 0; r < rounds; ++r) {
                serverRead = std::min(serverRead, timed(operations, serverReads));
                bareRead = std::min(bareRead, timed(operations, bareReads));
                serverWrite = std::min(serverWrite, timed(operations, serverWrites));
                bareWrite = std::min(bareWrite, timed(operations, bareWrites));
                recordedWrite = std::min(recordedWrite, timed(operations, recordedWrites));
            }
        } catch (const com::ComError& e) {
            die(e.description());
        }
        select = QSqlQuery();
        begin = QSqlQuery();
        update = QSqlQuery();
        commit = QSqlQuery();
        record = QSqlQuery();
        pragma = QSqlQuery();
        ids = QSqlQuery();
        db.close();
    }
    QSqlDatabase::removeDatabase(QStringLiteral("bare"));

    QTextStream out(stdout);
    out << "ten variables x " << n << ", best of " << rounds << " rounds, per variable:\n";
    out << QStringLiteral("  read   object server %1 us   bare SQL %2 us\n")
               .arg(serverRead / 1000, 0, 'f', 2)
               .arg(bareRead / 1000, 0, 'f', 2);
    out << QStringLiteral("  write  object server %1 us   bare SQL %2 us\n")
               .arg(serverWrite / 1000, 0, 'f', 2)
               .arg(bareWrite / 1000, 0, 'f', 2);
    out << QStringLiteral("  write  bare SQL with the read before and the history's row %1 us: they cost %2 us\n")
               .arg(recordedWrite / 1000, 0, 'f', 2)
               .arg((recordedWrite - bareWrite) / 1000, 0, 'f', 2);
    out << QStringLiteral("RESULT objectserver-read%1 %2 target 1.5\n")
               .arg(suffix)
               .arg(serverRead / bareRead, 0, 'f', 2);
    out << QStringLiteral("RESULT objectserver-write%1 %2 target %3\n")
               .arg(suffix)
               .arg(serverWrite / bareWrite, 0, 'f', 2)
               .arg(postgres ? 2 : 1.5);
    // The same write against bare SQL that also reads the bytes held before and adds the history's row.
    out << QStringLiteral("RESULT objectserver-write-recorded%1 %2 target 1.5\n")
               .arg(suffix)
               .arg(serverWrite / recordedWrite, 0, 'f', 2);
    if (postgres) {
        handles.clear();
        server.reset();
        const int milliseconds = 3000;
        const double one = throughput(lonWorksPath, 1, milliseconds);
        const double four = throughput(lonWorksPath, 4, milliseconds);
        out << QStringLiteral("  writes per second, each process on its own device: 1 process %1, 4 processes %2\n")
                   .arg(one, 0, 'f', 0)
                   .arg(four, 0, 'f', 0);
        out << QStringLiteral("RESULT objectserver-pg-concurrency %1 target 1.5\n").arg(four / one, 0, 'f', 2);
        out.flush();
        dropSchema(address, schema);
    }
    return 0;
}
