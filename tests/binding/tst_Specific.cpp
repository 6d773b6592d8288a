// The thermostat's definition on a real device: which value of the device each field shows after a
// read, the 41 data items in order, rebuilding for a second device, failures part-way.
#include "binding/CNvCtrlTable.h"
#include "binding/Collections.h"
#include "binding/Specific.h"
#include "device/CNvCpTable.h"
#include "device/ConfigModel.h"
#include "device/Global.h"
#include "framework/PlugInSettings.h"
#include "support/DeviceWorld.h"
#include "support/Failures.h"

#include <QComboBox>
#include <QLabel>
#include <QLineEdit>
#include <QPushButton>
#include <QTabWidget>
#include <QTest>
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
    void init() { m_session = std::make_unique<framework::PlugInSession>(); }
    void cleanup() { m_session.reset(); }

    // What a field shows after a read is the device's value of the field it stands for, read in
    // that variable's format and display units and rounded to the field's step.
    void eachFieldShowsItsValueOfTheDevice_data()
    {
        QTest::addColumn<QString>("control");
        QTest::addColumn<QString>("nv");
        QTest::addColumn<int>("field");      // in the device's text
        QTest::addColumn<QString>("value");  // put into that field, in the device's plain format
        QTest::addColumn<int>("units");
        QTest::addColumn<QString>("shown");
        QTest::newRow("occupied heating") << "txtNvi_0"
                                          << "nciSetPts" << 3 << "21.25" << 0 << "21";
        QTest::newRow("unoccupied heating") << "txtNvi_1"
                                            << "nciSetPts" << 5 << "17.75" << 0 << "18";
        QTest::newRow("occupied cooling, imperial") << "txtNvi_3"
                                                    << "nciSetPts" << 0 << "25" << 1 << "77";
        QTest::newRow("unoccupied cooling") << "txtNvi_4"
                                            << "nciSetPts" << 2 << "27" << 0 << "27";
        QTest::newRow("heating limit, imperial") << "txtNvi_2"
                                                 << "nciGenOpts" << 13 << "30" << 1 << "86";
        QTest::newRow("cooling limit") << "txtNvi_5"
                                       << "nciGenOpts" << 14 << "15.5" << 0 << "15.5";
        QTest::newRow("dead band") << "txtNvi_16"
                                   << "nciGenOpts" << 18 << "1.5" << 0 << "1.5";
        QTest::newRow("room sensor offset") << "txtNvi_6"
                                            << "nciGenOpts" << 19 << "-1.5" << 0 << "-1.5";
        QTest::newRow("actuator timing, unrounded") << "txtNvi_14"
                                                    << "nciGenOpts" << 1 << "2.3" << 0 << "2.3";
        QTest::newRow("temporary occupied time") << "txtNvi_17"
                                                 << "nciGenOpts" << 16 << "3" << 0 << "3";
        QTest::newRow("door time, whole minutes") << "txtNvi_18"
                                                  << "nciGenOpts" << 17 << "7" << 0 << "7";
        QTest::newRow("system type") << "cbNvi_11"
                                     << "nciGenOpts" << 10 << "FOUR_PIPE" << 0 << "FOUR_PIPE";
        QTest::newRow("control type") << "cbNvi_5"
                                      << "nciGenOpts" << 0 << "FLOATING" << 0 << "FLOATING";
        QTest::newRow("sequence of operations") << "cbNvi_15"
                                                << "nciGenOpts" << 11 << "HEAT_COOL" << 0 << "HEAT_COOL";
        QTest::newRow("RH set point") << "txtNvi_7"
                                      << "nciRHmodel" << 1 << "55" << 0 << "55";
        QTest::newRow("RH calibration") << "txtNvi_10"
                                        << "nciRHmodel" << 4 << "-3" << 0 << "-3";
        QTest::newRow("RH display") << "cbNvi_9"
                                    << "nciRHmodel" << 0 << "ON" << 0 << "ON";
        QTest::newRow("model") << "txtNvi_11"
                               << "nciSccModel" << 0 << "51" << 0 << "51";
        QTest::newRow("model label") << "lbModel"
                                     << "nciSccModel" << 0 << "47" << 0 << "47";
        QTest::newRow("software version") << "txtNvi_12"
                                          << "nciSccModel" << 1 << "2.3" << 0 << "2.3";
        QTest::newRow("HVAC type") << "lbHvacType"
                                   << "nciHvacType" << 0 << "HVT_HEAT_PUMP" << 0 << "HVT_HEAT_PUMP";
        QTest::newRow("output heartbeat") << "txtNvi_39"
                                          << "nciSndHrtBt" << 0 << "300" << 0 << "300";
        QTest::newRow("output throttle") << "txtNvi_40"
                                         << "nciMinOutTm" << 0 << "12.5" << 0 << "12.5";
        QTest::newRow("input heartbeat") << "txtNvi_41"
                                         << "nciRcvHrtBt" << 0 << "600" << 0 << "600";
        QTest::newRow("module major version") << "txtNvi_13"
                                              << "nciMajVer" << 0 << "4" << 0 << "4";
        QTest::newRow("module minor version") << "txtNvi_15"
                                              << "nciMinVer" << 0 << "9" << 0 << "9";
    }
    void eachFieldShowsItsValueOfTheDevice()
    {
        QFETCH(QString, control);
        QFETCH(QString, nv);
        QFETCH(int, field);
        QFETCH(QString, value);
        QFETCH(int, units);
        QFETCH(QString, shown);
        DeviceWorld world;
        const QChar separator = nv == QLatin1String("nciSetPts") ? QLatin1Char(',') : QLatin1Char(' ');
        QStringList fields = world.text(nv).split(separator);
        QVERIFY(field < fields.size());
        fields[field] = value;
        world.setText(nv, fields.join(separator));
        m_session->DisplayUnits = qint16(units);
        Controls controls;
        Specific::BuildNvTables(*m_session, world.nvs);
        Specific::BuildDataItems(*m_session, controls.w);
        for (const auto& table : tables().NvTables)
            table->GetNetworkValue();
        QWidget* widget = controls.parent.findChild<QWidget*>(control);
        QVERIFY(widget);
        QStringList values;
        for (const auto& item : tables().DataItems) {
            if (item->TheControl == widget)
                values << item->Value();
        }
        QCOMPARE(values, QStringList{shown});
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
        QCOMPARE(tables().NvTables.Item("nciSccModel")->MyNetworkVariable->NvFormatSpec(),
                 QStringLiteral("UNVT_model_info2"));
        QCOMPARE(tables().NvTables.Item("nciSccModelRaw")->MyNetworkVariable->NvFormatSpec(), QStringLiteral("RAW"));
    }

    void missingVariableEndsTheBuild()
    {
        DeviceWorld world(QStringLiteral("nciMinOutTm"));
        QCOMPARE(FailureOf([&] { Specific::BuildNvTables(*m_session, world.nvs); }),
                 lns::ObjectServerError(lns::ErrItemNotFound));
        // The six objects before it stay.
        QCOMPARE(tables().NvTables.Count(), 6);
        QCOMPARE(tables().NvTables.Item(6)->Name, QStringLiteral("nciSndHrtBt"));
        QVERIFY(!tables().NvTables.Contains(QStringLiteral("nciMinOutTm")));
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
            QVERIFY(item->NvCpTable);
            if (item->TheControl) {
                ++withControl;
                bound.insert(item->TheControl);
            }
            rounded += item->RoundValue;
            offset += item->OffsetValue;
            // Only items with limits carry a description.
            const device::config::Item* setting = device::config::FindSettable(item->Name);
            QCOMPARE(!item->Description.isEmpty(), setting && setting->limited);
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
        world.setText(QStringLiteral("nciSetPts"), QStringLiteral("23,25,27,21.25,19,17.75"),
                      QStringLiteral("SNVT_temp_setpt#SI"));
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
