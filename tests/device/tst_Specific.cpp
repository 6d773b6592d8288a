// The thermostat's definition on a real device: the eleven access objects, the 41 data items and
// what they show after a read; rebuilding for a second device; failures part-way.
#include "support/Failures.h"
#include "DeviceWorld.h"
#include "device/CNvCpTable.h"
#include "device/CNvCtrlTable.h"
#include "device/Collections.h"
#include "device/Global.h"
#include "device/Specific.h"
#include "framework/PlugInSettings.h"

#include <QComboBox>
#include <QLabel>
#include <QLineEdit>
#include <QPushButton>
#include <QTabWidget>
#include <QtTest>
#include <functional>
#include <memory>

using devicetest::DeviceWorld;

namespace {

// Stand-alone controls with the window's names, enough for binding.
struct Controls {
    Controls()
    {
        for (int i = 0; i <= 18; ++i)
            add(i);
        for (int i : {39, 40, 41})
            add(i);
        for (int i = 0; i <= 15; ++i) {
            auto* combo = new QComboBox(&parent);
            combo->setObjectName(QStringLiteral("cbNvi_%1").arg(i));
            w.cbNvi[i] = combo;
        }
        w.lbModel = new QLabel(QStringLiteral("Undefined model"), &parent);
        w.lbModel->setObjectName(QStringLiteral("lbModel"));
        w.lbHvacType = new QLabel(QStringLiteral("HVT_UNKNOWN"), &parent);
        w.lbHvacType->setObjectName(QStringLiteral("lbHvacType"));
    }
    void add(int i)
    {
        auto* edit = new QLineEdit(&parent);
        edit->setObjectName(QStringLiteral("txtNvi_%1").arg(i));
        w.txtNvi[i] = edit;
    }
    QWidget parent;
    device::WindowControls w;
};

using testsupport::FailureOf;

}  // namespace

class TestSpecific : public QObject {
    Q_OBJECT

private slots:
    void init()
    {
        m_session = std::make_unique<framework::PlugInSession>();
    }
    void cleanup() { m_session.reset(); }

    void accessObjects_data()
    {
        QTest::addColumn<int>("position");
        QTest::addColumn<QString>("key");
        QTest::addColumn<QString>("name");
        QTest::addColumn<QString>("variable");
        QTest::addColumn<QString>("description");
        QTest::addColumn<QString>("format");
        QTest::addColumn<QString>("separator");
        QTest::addColumn<bool>("localized");
        QTest::addColumn<QString>("relative");
        const QString nv4 = QStringLiteral("Network Variables:4");
        QTest::newRow("1") << 1 << "nciSetPts" << "nciSetPts" << "nciSetPts" << "Heating / Cooling Setpoints"
                           << "SNVT_temp_setpt" << "," << true << "Network Variables:0";
        QTest::newRow("2") << 2 << "nciRHmodel" << "nciRHmodel" << "nciRHmodel" << "" << "UNVT_rh_model" << " " << false << nv4;
        QTest::newRow("3") << 3 << "nciGenOpts" << "nciGenOpts" << "nciGenOpts" << "Device General Options"
                           << "UNVT_fc_gen_opts" << " " << true << nv4;
        QTest::newRow("4") << 4 << "nciSccModel" << "nciSccModel" << "nciSccModel" << "Model number and version"
                           << "UNVT_model_info2" << " " << false << nv4;
        QTest::newRow("5") << 5 << "nciHvacType" << "nciHvacType" << "nciHvacType" << "" << "SNVT_hvac_type" << " " << false << nv4;
        QTest::newRow("6") << 6 << "nciSndHrtBt" << "nciSndHrtBt" << "nciSndHrtBt" << "" << "SNVT_time_sec" << " " << false << nv4;
        QTest::newRow("7") << 7 << "nciMinOutTm" << "nciMinOutTm" << "nciMinOutTm" << "" << "SNVT_time_sec" << " " << false << nv4;
        QTest::newRow("8") << 8 << "nciRcvHrtBt" << "nciRcvHrtBt" << "nciRcvHrtBt" << "" << "SNVT_time_sec" << " " << false << nv4;
        QTest::newRow("9") << 9 << "nciMajVer" << "nciMajVer" << "nciMajVer" << "nciMajVer" << "INT" << " " << false << nv4;
        QTest::newRow("10") << 10 << "nciMinVer" << "nciMinVer" << "nciMinVer" << "nciMinVer" << "INT" << " " << false << nv4;
        QTest::newRow("11 raw") << 11 << "nciSccModelRaw" << "nciSccModel (Raw)" << "nciSccModel"
                                << "Model number and version" << "RAW" << "\t" << false << nv4;
    }
    void accessObjects()
    {
        QFETCH(int, position);
        QFETCH(QString, key);
        QFETCH(QString, name);
        QFETCH(QString, variable);
        QFETCH(QString, description);
        QFETCH(QString, format);
        QFETCH(QString, separator);
        QFETCH(bool, localized);
        QFETCH(QString, relative);
        DeviceWorld world;
        Specific::BuildNvTables(*m_session, world.nvs);
        QCOMPARE(tables().NvTables.Count(), 11);
        const auto& table = tables().NvTables.Item(position);
        QCOMPARE(tables().NvTables.Item(key).get(), table.get());
        QCOMPARE(table->Name, name);
        QCOMPARE(table->Description, description);
        QCOMPARE(table->Format, format);
        QCOMPARE(table->Separator, separator);
        QCOMPARE(table->LocalizationSpecific, localized);
        QCOMPARE(table->Relative, relative);
        QVERIFY(table->MyNetworkVariable);
        QCOMPARE(table->MyNetworkVariable->Name(), variable);
        QVERIFY(!table->NvAsArray.has_value());
        QVERIFY(!table->ValueAsChanges);
    }

    void modelVariableHasTwoHandles()
    {
        DeviceWorld world;
        world.setText(QStringLiteral("nciSccModel"), QStringLiteral("51 2.3"));
        Specific::BuildNvTables(*m_session, world.nvs);
        for (const auto& table : tables().NvTables)
            table->GetNetworkValue();
        QCOMPARE(*tables().NvTables.Item("nciSccModel")->NvAsArray, (QStringList{"51", "2.3"}));
        QCOMPARE(tables().NvTables.Item("nciSccModelRaw")->NvAsArray->value(0), QStringLiteral("51"));
        QCOMPARE(tables().NvTables.Item("nciSccModel")->MyNetworkVariable->NvFormatSpec(), QStringLiteral("UNVT_model_info2"));
        QCOMPARE(tables().NvTables.Item("nciSccModelRaw")->MyNetworkVariable->NvFormatSpec(), QStringLiteral("RAW"));
    }

    void missingVariableEndsTheBuild()
    {
        DeviceWorld world(QStringLiteral("nciMinOutTm"));
        QCOMPARE(FailureOf([&] { Specific::BuildNvTables(*m_session, world.nvs); }), lns::ObjectServerError(lns::ErrItemNotFound));
        // The six objects before it stay.
        QCOMPARE(tables().NvTables.Count(), 6);
        QCOMPARE(tables().NvTables.Item(6)->Name, QStringLiteral("nciSndHrtBt"));
        QVERIFY(!tables().NvTables.Contains(QStringLiteral("nciMinOutTm")));
    }

    void dataItems_data()
    {
        QTest::addColumn<int>("position");
        QTest::addColumn<QString>("name");
        QTest::addColumn<QString>("description");
        QTest::addColumn<QString>("key");
        QTest::addColumn<int>("field");
        QTest::addColumn<QString>("control");
        QTest::addColumn<double>("step");  // 0: not rounded
        QTest::addColumn<bool>("offset");
        QTest::addColumn<QStringList>("limits");  // min 0, max 0, min 1, max 1
        const QStringList none{"0", "0", "0", "0"};
        QTest::newRow("1") << 1 << "nciSetPts.occ_heat" << "Occupied heating setpoint" << "nciSetPts" << 3 << "txtNvi_0"
                           << 0.5 << true << QStringList{"4.5", "32", "40", "90"};
        QTest::newRow("3") << 3 << "nciSetPts.occ_cool" << "Occupied cooling setpoint" << "nciSetPts" << 0 << "txtNvi_3"
                           << 0.5 << true << QStringList{"12", "37.5", "54", "100"};
        QTest::newRow("5") << 5 << "HeatMax" << "Maximum heating setpoint limit" << "nciGenOpts" << 13 << "txtNvi_2"
                           << 0.5 << true << QStringList{"4.5", "32", "40", "90"};
        QTest::newRow("7") << 7 << "SetpointType" << "" << "nciGenOpts" << 15 << "cbNvi_0" << 0.0 << false << none;
        QTest::newRow("9") << 9 << "DeadBand" << "Dead Band" << "nciGenOpts" << 18 << "txtNvi_16" << 0.5 << true
                           << QStringList{"1", "2.5", "2", "5"};
        QTest::newRow("14") << 14 << "DriveTime" << "Floating actuator timing" << "nciGenOpts" << 1 << "txtNvi_14"
                            << 0.0 << false << QStringList{"0.5", "9", "0.5", "9"};
        QTest::newRow("18") << 18 << "CalibRS" << "Room sensor offset" << "nciGenOpts" << 19 << "txtNvi_6" << 0.5
                            << true << QStringList{"-2.5", "2.5", "-5", "5"};
        QTest::newRow("21") << 21 << "DehumHyst" << "Dehumidifiacation hysteresis" << "nciRHmodel" << 2 << "txtNvi_8"
                            << 0.0 << false << QStringList{"2", "20", "2", "20"};
        QTest::newRow("23") << 23 << "RHcalib" << "RH sensor calibration offset" << "nciRHmodel" << 4 << "txtNvi_10"
                            << 0.0 << false << QStringList{"-15", "15", "-15", "15"};
        QTest::newRow("24") << 24 << "thermostat_model" << "" << "nciSccModel" << 0 << "txtNvi_11" << 0.0 << false << none;
        QTest::newRow("27") << 27 << "MinorVersion" << "" << "nciMinVer" << 0 << "txtNvi_15" << 0.0 << false << none;
        QTest::newRow("28") << 28 << "nciHvacType" << "" << "nciHvacType" << 0 << "lbHvacType" << 0.0 << false << none;
        QTest::newRow("30") << 30 << "TOccTime" << "Temporary occupied time" << "nciGenOpts" << 16 << "txtNvi_17"
                            << 0.0 << false << QStringList{"0", "24", "0", "24"};
        QTest::newRow("34") << 34 << "Pipes" << "" << "nciGenOpts" << 10 << "cbNvi_11" << 0.0 << false << none;
        QTest::newRow("35") << 35 << "DoorTime" << "Door Time" << "nciGenOpts" << 17 << "txtNvi_18" << 1.0 << false
                            << QStringList{"1", "10", "1", "10"};
        QTest::newRow("37") << 37 << "thermostat_model" << "" << "nciSccModel" << 0 << "lbModel" << 0.0 << false << none;
        QTest::newRow("39") << 39 << "nciMinOutTm" << "Output trottle" << "nciMinOutTm" << 0 << "txtNvi_40" << 0.0
                            << false << QStringList{"0", "6553.4", "0", "6553.4"};
        QTest::newRow("40") << 40 << "nciRcvHrtBt" << "Input heartbeat" << "nciRcvHrtBt" << 0 << "txtNvi_41" << 0.0
                            << false << QStringList{"0", "6553.4", "0", "6553.4"};
        QTest::newRow("41") << 41 << "thermostat_model" << "" << "nciSccModelRaw" << 0 << "" << 0.0 << false << none;
    }
    void dataItems()
    {
        QFETCH(int, position);
        QFETCH(QString, name);
        QFETCH(QString, description);
        QFETCH(QString, key);
        QFETCH(int, field);
        QFETCH(QString, control);
        QFETCH(double, step);
        QFETCH(bool, offset);
        QFETCH(QStringList, limits);
        DeviceWorld world;
        Controls controls;
        Specific::BuildNvTables(*m_session, world.nvs);
        Specific::BuildDataItems(*m_session, controls.w);
        QCOMPARE(tables().DataItems.Count(), 41);
        const auto& item = tables().DataItems.Item(position);
        QCOMPARE(item->Name, name);
        QCOMPARE(item->Description, description);
        QCOMPARE(item->Typee, QStringLiteral("CP"));
        QCOMPARE(item->NvCpTable.get(), tables().NvTables.Item(key).get());
        QCOMPARE(int(item->ItemArrayIndex), field);
        QCOMPARE(item->TheControl ? item->TheControl->objectName() : QString(), control);
        QCOMPARE(item->RoundValue, step != 0);
        QCOMPARE(item->Ceiling, step);
        QCOMPARE(item->OffsetValue, offset);
        QCOMPARE((QStringList{item->MinLimit(0), item->MaxLimit(0), item->MinLimit(1), item->MaxLimit(1)}), limits);
    }

    void everyItemInOrder()
    {
        DeviceWorld world;
        Controls controls;
        Specific::BuildNvTables(*m_session, world.nvs);
        Specific::BuildDataItems(*m_session, controls.w);
        int withControl = 0;
        int rounded = 0;
        int offset = 0;
        QSet<QWidget*> bound;
        for (const auto& item : tables().DataItems) {
            QCOMPARE(item->Typee, QStringLiteral("CP"));
            QVERIFY(item->NvCpTable);
            if (item->TheControl) {
                ++withControl;
                bound.insert(item->TheControl);
            }
            rounded += item->RoundValue;
            offset += item->OffsetValue;
            // Only items with limits carry a description.
            QCOMPARE(!item->Description.isEmpty(), item->MaxLimit(0) != QStringLiteral("0"));
        }
        // Every text box and combo box and both labels, each once; only item 41 has none.
        QCOMPARE(withControl, 40);
        QCOMPARE(bound.size(), 40);
        QVERIFY(!tables().DataItems.Item(41)->TheControl);
        QCOMPARE(rounded, 9);
        QCOMPARE(offset, 8);
        QCOMPARE(tables().DataItems.Item(20)->OffsetValue, false);
    }

    void valuesAfterARead()
    {
        DeviceWorld world;
        world.setText(QStringLiteral("nciSetPts"), QStringLiteral("23,25,27,21.25,19,17.75"), QStringLiteral("SNVT_temp_setpt#SI"));
        world.setText(QStringLiteral("nciSccModel"), QStringLiteral("51 2.3"));
        world.setText(QStringLiteral("nciSndHrtBt"), QStringLiteral("300"));
        Controls controls;
        controls.w.txtNvi.at(0)->setText(QStringLiteral("shown before"));
        Specific::BuildNvTables(*m_session, world.nvs);
        Specific::BuildDataItems(*m_session, controls.w);
        for (const auto& item : tables().DataItems)
            item->Initialize();
        // Unread: the controls keep what they show.
        QCOMPARE(tables().DataItems.Item(1)->Value(), QStringLiteral("shown before"));
        QCOMPARE(tables().DataItems.Item(37)->Value(), QStringLiteral("Undefined model"));
        QCOMPARE(tables().DataItems.Item(41)->Value(), QString());

        for (const auto& table : tables().NvTables)
            table->GetNetworkValue();
        QCOMPARE(tables().DataItems.Item(1)->Value(), QStringLiteral("21"));
        QCOMPARE(tables().DataItems.Item(2)->Value(), QStringLiteral("18"));
        QCOMPARE(tables().DataItems.Item(3)->Value(), QStringLiteral("23"));
        QCOMPARE(tables().DataItems.Item(24)->Value(), QStringLiteral("51"));
        QCOMPARE(tables().DataItems.Item(25)->Value(), QStringLiteral("2.3"));
        QCOMPARE(tables().DataItems.Item(37)->Value(), QStringLiteral("51"));
        QCOMPARE(tables().DataItems.Item(41)->Value(), QStringLiteral("51"));
        QCOMPARE(tables().DataItems.Item(38)->Value(), QStringLiteral("300"));
        QCOMPARE(tables().NvTables.Item("nciGenOpts")->NvAsArray->size(), 22);
        // A device that was never configured holds zeros: the first name of each enumeration.
        QCOMPARE(tables().DataItems.Item(34)->Value(), QStringLiteral("TWO_PIPE"));
        QCOMPARE(tables().DataItems.Item(13)->Value(), QStringLiteral("ON_OFF"));
        for (const auto& table : tables().NvTables)
            QVERIFY(!table->ValueAsChanges);
    }

    void secondConfigureRebuilds()
    {
        DeviceWorld first;
        Controls controls;
        Specific::BuildNvTables(*m_session, first.nvs);
        Specific::BuildDataItems(*m_session, controls.w);
        const auto oldTable = tables().NvTables.Item(1);

        DeviceWorld second;
        Specific::BuildNvTables(*m_session, second.nvs);
        // The items of the first device are gone with its tables.
        QCOMPARE(tables().DataItems.Count(), 0);
        Specific::BuildDataItems(*m_session, controls.w);
        QCOMPARE(tables().NvTables.Count(), 11);
        QCOMPARE(tables().DataItems.Count(), 41);
        QVERIFY(tables().NvTables.Item(1).get() != oldTable.get());
        QCOMPARE(tables().DataItems.Item(1)->NvCpTable.get(), tables().NvTables.Item(1).get());
        Specific::BuildDataItems(*m_session, controls.w);
        QCOMPARE(tables().DataItems.Count(), 41);

        Specific::ResetTables(*m_session);
        QCOMPARE(tables().NvTables.Count(), 0);
        QCOMPARE(tables().DataItems.Count(), 0);
    }

    void missingControlEndsTheItems_data()
    {
        QTest::addColumn<QString>("missing");
        QTest::addColumn<int>("built");
        QTest::addColumn<qint32>("number");
        QTest::newRow("cbNvi 5, item 13") << "cbNvi_5" << 12 << Global::ErrSubscriptOutOfRange;
        QTest::newRow("txtNvi 41, item 40") << "txtNvi_41" << 39 << Global::ErrSubscriptOutOfRange;
        QTest::newRow("lbHvacType, item 28") << "lbHvacType" << 27 << Global::ErrObjectNotSet;
    }
    void missingControlEndsTheItems()
    {
        QFETCH(QString, missing);
        QFETCH(int, built);
        QFETCH(qint32, number);
        DeviceWorld world;
        Controls controls;
        if (missing == "cbNvi_5")
            controls.w.cbNvi.erase(5);
        else if (missing == "txtNvi_41")
            controls.w.txtNvi.erase(41);
        else
            controls.w.lbHvacType = nullptr;
        Specific::BuildNvTables(*m_session, world.nvs);
        QCOMPARE(FailureOf([&] { Specific::BuildDataItems(*m_session, controls.w); }), number);
        QCOMPARE(tables().DataItems.Count(), built);
    }

    void itemsNeedTheirTables()
    {
        Controls controls;
        QCOMPARE(FailureOf([&] { Specific::BuildDataItems(*m_session, controls.w); }), Global::ErrSubscriptOutOfRange);
        QCOMPARE(tables().DataItems.Count(), 0);
        QCOMPARE(FailureOf([&] { Specific::BuildNvTables(*m_session, nullptr); }), Global::ErrObjectNotSet);
    }

private:
    device::DeviceTables& tables() { return device::Tables(*m_session); }
    std::unique_ptr<framework::PlugInSession> m_session;
};

QTEST_MAIN(TestSpecific)
#include "tst_Specific.moc"
