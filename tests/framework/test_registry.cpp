// The registry rules of the program: string values only, cut at NUL, missing reads empty, failed
// writes recorded without raising, recursive deletion, enumeration, and the two settings.
#include "device/Units.h"
#include "framework/CRegistry.h"
#include "framework/PlugInSettings.h"
#include "platform/base/ComError.h"
#include "platform/registry/RegistryStore.h"
#include "support/TestEnvironment.h"

#include <QFile>
#include <QSqlDatabase>
#include <QSqlQuery>
#include <QTest>
#include <chrono>
#include <future>
#include <thread>

using framework::CRegistry;
using registry::Hive;
using registry::RegistryStore;

class TestRegistry : public QObject {
    Q_OBJECT
private slots:
    void init() { m_env = std::make_unique<testsupport::TestEnvironment>(); }
    void cleanup() { m_env.reset(); }

    void readsOnlyStringValues_data()
    {
        QTest::addColumn<int>("type");
        QTest::addColumn<QByteArray>("data");
        QTest::addColumn<QString>("expected");
        QTest::newRow("text") << int(registry::ValueType::String) << QByteArray("abc") << QStringLiteral("abc");
        QTest::newRow("cut at NUL") << int(registry::ValueType::String) << QByteArray("ab\0cd", 5)
                                    << QStringLiteral("ab");
        QTest::newRow("empty") << int(registry::ValueType::String) << QByteArray("") << QString();
        QTest::newRow("number type reads as missing")
            << int(registry::ValueType::Number) << QByteArray("\1\0\0\0", 4) << QString();
        QTest::newRow("non-ASCII text") << int(registry::ValueType::String) << QStringLiteral("ºC").toUtf8()
                                        << QStringLiteral("ºC");
    }
    void readsOnlyStringValues()
    {
        QFETCH(int, type);
        QFETCH(QByteArray, data);
        QFETCH(QString, expected);
        RegistryStore store(Hive::LocalMachine);
        QVERIFY(store.createKey(QStringLiteral("SOFTWARE\\Test")));
        QVERIFY(store.setValue(QStringLiteral("SOFTWARE\\Test"), QStringLiteral("V"),
                               registry::RegValue{static_cast<registry::ValueType>(type), data}));
        QCOMPARE(CRegistry().MachineSetting(QStringLiteral("software\\TEST"), QStringLiteral("v")), expected);
    }

    void missingKeysAndValuesReadEmpty()
    {
        CRegistry r;
        QCOMPARE(r.MachineSetting(QStringLiteral("SOFTWARE\\Nothing"), QStringLiteral("V")), QString());
        QVERIFY(r.SetMachineSetting(QStringLiteral("SOFTWARE\\A\\B"), QStringLiteral("X"), QStringLiteral("1")));
        QCOMPARE(r.MachineSetting(QStringLiteral("SOFTWARE\\A\\B"), QStringLiteral("Y")), QString());
        QCOMPARE(r.MachineSetting(QStringLiteral("SOFTWARE\\A\\B"), QStringLiteral("X")), QStringLiteral("1"));
    }

    void appSettingsLiveInTheUserHiveUnderThePlugInsName()
    {
        CRegistry r;
        r.SetAppSetting(QStringLiteral("Window"), QStringLiteral("Left"), QStringLiteral("12"));
        QCOMPARE(r.AppSetting(QStringLiteral("Window"), QStringLiteral("Left")), QStringLiteral("12"));
        RegistryStore user(Hive::CurrentUser);
        const auto value =
            user.queryValue(QStringLiteral("SOFTWARE\\LonWorks\\LCA\\Applets\\Kestrova KR5M-HU Configure\\Window"),
                            QStringLiteral("Left"));
        QVERIFY(value.has_value());
        QVERIFY(!RegistryStore(Hive::LocalMachine).keyExists(QStringLiteral("SOFTWARE\\LonWorks\\LCA\\Applets")));
    }

    void corruptStoreReadsEmptyAndReportsFailedWrites()
    {
        QFile file(m_env->registryDir() + QStringLiteral("/HKEY_LOCAL_MACHINE.sqlite"));
        QVERIFY(file.open(QIODevice::WriteOnly));
        file.write(QByteArray(4096, 'x'));
        file.close();
        CRegistry r;
        QCOMPARE(r.MachineSetting(QStringLiteral("SOFTWARE\\LonWorks"), QStringLiteral("LonWorks Path")), QString());
        QVERIFY(!r.SetMachineSetting(QStringLiteral("SOFTWARE\\LonWorks"), QStringLiteral("X"), QStringLiteral("1")));
        QVERIFY(!r.DeleteMachineKey(QStringLiteral("SOFTWARE")));
        QCOMPARE(r.FindFirstMachineKey(QStringLiteral("SOFTWARE")), QString());
    }

    void deleteMachineKeyRemovesEveryLevel()
    {
        CRegistry r;
        r.SetMachineSetting(QStringLiteral("SOFTWARE\\Top\\A\\A1"), QStringLiteral("v"), QStringLiteral("1"));
        r.SetMachineSetting(QStringLiteral("SOFTWARE\\Top\\A\\A2"), QStringLiteral("v"), QStringLiteral("2"));
        r.SetMachineSetting(QStringLiteral("SOFTWARE\\Top\\B"), QStringLiteral("v"), QStringLiteral("3"));
        r.SetMachineSetting(QStringLiteral("SOFTWARE\\Keep"), QStringLiteral("v"), QStringLiteral("4"));
        QVERIFY(r.DeleteMachineKey(QStringLiteral("SOFTWARE\\TOP")));
        RegistryStore store(Hive::LocalMachine);
        QVERIFY(!store.keyExists(QStringLiteral("SOFTWARE\\Top")));
        QVERIFY(!store.keyExists(QStringLiteral("SOFTWARE\\Top\\A\\A1")));
        QCOMPARE(r.MachineSetting(QStringLiteral("SOFTWARE\\Keep"), QStringLiteral("v")), QStringLiteral("4"));
        QVERIFY(!r.DeleteMachineKey(QStringLiteral("SOFTWARE\\Top")));
    }

    // A path of nothing but separators names the hive itself; deleting it must not empty the hive.
    void deleteMachineKeyRefusesTheHive_data()
    {
        QTest::addColumn<QString>("path");
        QTest::newRow("empty") << "";
        QTest::newRow("one separator") << "\\";
        QTest::newRow("separators") << "\\\\\\";
    }
    void deleteMachineKeyRefusesTheHive()
    {
        QFETCH(QString, path);
        CRegistry r;
        r.SetMachineSetting(QStringLiteral("SOFTWARE\\Keep\\Sub"), QStringLiteral("v"), QStringLiteral("1"));
        QVERIFY(!r.DeleteMachineKey(path));
        QCOMPARE(r.MachineSetting(QStringLiteral("SOFTWARE\\Keep\\Sub"), QStringLiteral("v")), QStringLiteral("1"));
    }

    // Another process writing the same hive at that moment makes a write wait, not fail: a setting
    // saved while a registration runs elsewhere is not lost.
    void writeWaitsForAnotherWriter()
    {
        RegistryStore store(Hive::LocalMachine);
        QVERIFY(store.createKey(QStringLiteral("SOFTWARE\\Shared")));
        std::promise<void> holding;
        std::thread other([&, file = store.fileName()] {
            {
                QSqlDatabase db = QSqlDatabase::addDatabase(QStringLiteral("QSQLITE"), QStringLiteral("other writer"));
                db.setDatabaseName(file);
                QSqlQuery q(db);
                const bool began =
                    db.open() && q.exec(QStringLiteral("BEGIN IMMEDIATE")) &&
                    q.exec(QStringLiteral("INSERT INTO keys (parent, name, lname) VALUES (0, 'Other', 'other')"));
                holding.set_value();
                if (began) {
                    std::this_thread::sleep_for(std::chrono::milliseconds(300));
                    q.exec(QStringLiteral("COMMIT"));
                }
            }
            QSqlDatabase::removeDatabase(QStringLiteral("other writer"));
        });
        holding.get_future().wait();
        const bool created = store.createKey(QStringLiteral("SOFTWARE\\Shared\\Mine"));
        const bool set = store.setValue(QStringLiteral("SOFTWARE\\Shared\\Mine"), QStringLiteral("v"),
                                        registry::StringValue(QStringLiteral("1")));
        other.join();
        QVERIFY(created);
        QVERIFY(set);
        QVERIFY(store.keyExists(QStringLiteral("Other")));
        QCOMPARE(store.queryValue(QStringLiteral("SOFTWARE\\Shared\\Mine"), QStringLiteral("v"))->data,
                 QByteArray("1"));
    }

    void enumeratesSubkeysInOrderThenEmpty()
    {
        CRegistry r;
        for (const char* name : {"One", "Two", "Three"})
            r.SetMachineSetting(QStringLiteral("SOFTWARE\\List\\") + QLatin1String(name), QStringLiteral("v"),
                                QStringLiteral("x"));
        QStringList seen;
        for (QString k = r.FindFirstMachineKey(QStringLiteral("SOFTWARE\\List")); !k.isEmpty();
             k = r.GetNextMachineKey())
            seen << k;
        QCOMPARE(seen, (QStringList{QStringLiteral("One"), QStringLiteral("Two"), QStringLiteral("Three")}));
        QCOMPARE(r.FindFirstMachineKey(QStringLiteral("SOFTWARE\\List\\One")), QString());
        QCOMPARE(r.GetNextMachineKey(), QString());
    }

    void displayUnitsSetting_data()
    {
        QTest::addColumn<QVariant>("stored");  // invalid = missing; int = stored as a number
        QTest::addColumn<int>("units");
        QTest::addColumn<QString>("symbol");
        QTest::newRow("missing") << QVariant() << 1 << QStringLiteral("\u00BAF");
        QTest::newRow("0") << QVariant(QStringLiteral("0")) << 0 << QStringLiteral("\u00BAC");
        QTest::newRow("1") << QVariant(QStringLiteral("1")) << 1 << QStringLiteral("\u00BAF");
        QTest::newRow("0 with a blank") << QVariant(QStringLiteral("0 ")) << 1 << QStringLiteral("\u00BAF");
        QTest::newRow("number type") << QVariant(0) << 1 << QStringLiteral("\u00BAF");
    }
    void displayUnitsSetting()
    {
        QFETCH(QVariant, stored);
        QFETCH(int, units);
        QFETCH(QString, symbol);
        writeSetting(QStringLiteral("DisplayUnits"), stored);
        QCOMPARE(int(framework::ReadDisplayUnitsSetting()), units);
        QCOMPARE(device::UnitSymbol(framework::ReadDisplayUnitsSetting()), symbol);
    }

    void debugSetting_data()
    {
        QTest::addColumn<QVariant>("stored");
        QTest::addColumn<int>("debug");
        QTest::newRow("missing") << QVariant() << 0;
        QTest::newRow("1") << QVariant(QStringLiteral("1")) << 1;
        QTest::newRow("1.2 rounds to 1") << QVariant(QStringLiteral("1.2")) << 1;
        QTest::newRow("2") << QVariant(QStringLiteral("2")) << 0;
        QTest::newRow("0.4") << QVariant(QStringLiteral("0.4")) << 0;
        QTest::newRow("1.5 rounds to 2") << QVariant(QStringLiteral("1.5")) << 0;
        QTest::newRow("0.5 rounds to 0") << QVariant(QStringLiteral("0.5")) << 0;
        QTest::newRow("leading number") << QVariant(QStringLiteral("1abc")) << 1;
        QTest::newRow("not a number") << QVariant(QStringLiteral("on")) << 0;
        QTest::newRow("number type") << QVariant(1) << 0;
    }
    void debugSetting()
    {
        QFETCH(QVariant, stored);
        QFETCH(int, debug);
        writeSetting(QStringLiteral("Debug"), stored);
        QCOMPARE(int(framework::ReadDebugSetting()), debug);
    }

    void unitSymbolsUseTheOrdinalIndicator()
    {
        QCOMPARE(device::UnitSymbol(2), QStringLiteral("\u00BAX"));
        QCOMPARE(device::UnitSymbol(0).at(0).unicode(), ushort(0x00BA));
        framework::WriteDisplayUnitsSetting(0);
        QCOMPARE(CRegistry().MachineSetting(framework::PlugInKey(), QStringLiteral("DisplayUnits")),
                 QStringLiteral("0"));
    }

private:
    void writeSetting(const QString& name, const QVariant& stored)
    {
        if (!stored.isValid())
            return;
        RegistryStore store(Hive::LocalMachine);
        QVERIFY(store.createKey(framework::PlugInKey()));
        const registry::RegValue value = stored.metaType().id() == QMetaType::Int
                                             ? registry::NumberValue(quint32(stored.toInt()))
                                             : registry::StringValue(stored.toString());
        QVERIFY(store.setValue(framework::PlugInKey(), name, value));
    }

    std::unique_ptr<testsupport::TestEnvironment> m_env;
};

QTEST_GUILESS_MAIN(TestRegistry)
#include "test_registry.moc"
