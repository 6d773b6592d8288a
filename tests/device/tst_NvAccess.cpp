// Access objects on a real object server: what they ask of it, how they split and join, the
// composed failures on read and write, the changed flag, and writes in the units of the last read.
#include "binding/CNvCtrlTable.h"
#include "device/CNvCpTable.h"
#include "device/Global.h"
#include "framework/PlugInSettings.h"
#include "support/DeviceWorld.h"
#include "support/RecordingObjectServer.h"

#include <QTest>
#include <functional>

using devicetest::DeviceWorld;

namespace {

const QString CrLf = QStringLiteral("\r\n");

// The display units the tables of a test read and write in, as a session's would be.
qint16 units = 0;

// What the access objects of the running test asked of their variable.
const testsupport::CallLog Calls = std::make_shared<QStringList>();

std::shared_ptr<CNvCpTable> Table(DeviceWorld& world, const QString& nv, const QString& format,
                                  const QString& separator, bool localizationSpecific)
{
    auto table = std::make_shared<CNvCpTable>();
    table->Name = nv;
    table->Format = format;
    table->Separator = separator;
    table->LocalizationSpecific = localizationSpecific;
    table->Units = &units;
    table->MyNetworkVariable = testsupport::Recorded(world.nvs, Calls)->NvCollectionItem(nv);
    Calls->clear();
    return table;
}

std::shared_ptr<CNvCpTable> SetPoints(DeviceWorld& world)
{
    return Table(world, QStringLiteral("nciSetPts"), QStringLiteral("SNVT_temp_setpt"), QStringLiteral(","), true);
}

struct Raised {
    qint32 number = 0;
    QString source;
    QString description;
};

Raised FailureOf(const std::function<void()>& fn)
{
    try {
        fn();
    } catch (const com::ComError& e) {
        return {e.number(), e.source(), e.description()};
    }
    return {};
}

}  // namespace

class TestNvAccess : public QObject {
    Q_OBJECT

private slots:
    void init() { units = 0; }
    void cleanup() { units = 0; }

    // A write made from bytes the device no longer holds is refused in the object server's own
    // transaction, whichever way it is written, and the device keeps the other writer's bytes.
    void aWriteExpectingOtherBytesWritesNothing()
    {
        DeviceWorld world;
        auto table = SetPoints(world);
        table->GetNetworkValue();
        const QByteArray read = table->DeviceBytes;
        world.setText(QStringLiteral("nciSetPts"), QStringLiteral("23,25,27,21,19,17"));
        const QByteArray theirs = world.admin->nvRaw(world.ref(), QStringLiteral("nciSetPts"));
        for (const bool raw : {false, true}) {
            table->ExpectBytes(read);
            const Raised failure = FailureOf([&] { raw ? table->WriteBytes(read) : (void)table->SendNetworkValue(); });
            QCOMPARE(failure.number, lns::ObjectServerError(lns::ErrChangedSinceRead));
            QCOMPARE(world.admin->nvRaw(world.ref(), QStringLiteral("nciSetPts")), theirs);
        }
        // Expecting what the device holds, the write goes; the next one expects nothing.
        table->ExpectBytes(theirs);
        table->WriteBytes(read);
        QCOMPARE(world.admin->nvRaw(world.ref(), QStringLiteral("nciSetPts")), read);
        table->WriteBytes(theirs);
        QCOMPARE(world.admin->nvRaw(world.ref(), QStringLiteral("nciSetPts")), theirs);
        // Bytes of another size than the variable's never reach it.
        const Raised shorter = FailureOf([&] { table->WriteBytes(theirs.chopped(1)); });
        QCOMPARE(shorter.number, lns::ObjectServerError(lns::ErrFormatFailed));
        QCOMPARE(world.admin->nvRaw(world.ref(), QStringLiteral("nciSetPts")), theirs);
    }

    void readAsksForTheFormatOfTheUnits_data()
    {
        QTest::addColumn<QString>("nv");
        QTest::addColumn<QString>("format");
        QTest::addColumn<bool>("localized");
        QTest::addColumn<int>("units");
        QTest::addColumn<QString>("asked");
        QTest::newRow("set points metric") << "nciSetPts"
                                           << "SNVT_temp_setpt" << true << 0 << "SNVT_temp_setpt#SI";
        QTest::newRow("set points imperial") << "nciSetPts"
                                             << "SNVT_temp_setpt" << true << 1 << "SNVT_temp_setpt#US";
        QTest::newRow("options imperial") << "nciGenOpts"
                                          << "UNVT_fc_gen_opts" << true << 1 << "UNVT_fc_gen_opts#US";
        QTest::newRow("humidity in either units") << "nciRHmodel"
                                                  << "UNVT_rh_model" << false << 1 << "UNVT_rh_model";
        QTest::newRow("time metric") << "nciSndHrtBt"
                                     << "SNVT_time_sec" << false << 0 << "SNVT_time_sec";
        QTest::newRow("raw") << "nciSccModel"
                             << "RAW" << false << 1 << "RAW";
    }
    void readAsksForTheFormatOfTheUnits()
    {
        QFETCH(QString, nv);
        QFETCH(QString, format);
        QFETCH(bool, localized);
        QFETCH(int, units);
        QFETCH(QString, asked);
        DeviceWorld world;
        auto table = Table(world, nv, format, QStringLiteral(" "), localized);
        ::units = qint16(units);
        table->GetNetworkValue();
        // One trip to the device, for its bytes; the handle is left in the format the fields are in.
        QCOMPARE(*Calls, (QStringList{"SetNvAccessOption " + nv + " 0", "NvRawValue " + nv,
                                      "SetNvFormatSpec " + nv + " " + asked}));
        QCOMPARE(table->LastReadFormat(), asked);
        QCOMPARE(table->ValueAsChanges, false);
    }

    void readSplitsAtEverySeparator_data()
    {
        QTest::addColumn<QString>("nv");
        QTest::addColumn<QString>("format");
        QTest::addColumn<QString>("separator");
        QTest::addColumn<QStringList>("fields");
        QTest::newRow("six set points") << "nciSetPts"
                                        << "SNVT_temp_setpt"
                                        << "," << QStringList{"23", "25", "27", "21", "19", "17"};
        QTest::newRow("raw model, tab") << "nciSccModel"
                                        << "RAW"
                                        << "\t" << QStringList{"51", "23"};
        QTest::newRow("model and version, blank") << "nciSccModel"
                                                  << "UNVT_model_info2"
                                                  << " " << QStringList{"51", "2.3"};
        QTest::newRow("single field") << "nciSndHrtBt"
                                      << "SNVT_time_sec"
                                      << " " << QStringList{"120"};
        // Every occurrence counts, one at the start gives an empty first field.
        QTest::newRow("separator inside numbers") << "nciSetPts"
                                                  << "SNVT_temp_setpt"
                                                  << "2" << QStringList{"", "3,", "5,", "7,", "1,19,17"};
        QTest::newRow("case-sensitive, no match") << "nciSccModel"
                                                  << "UNVT_model_info2"
                                                  << "X" << QStringList{"51 2.3"};
    }
    void readSplitsAtEverySeparator()
    {
        QFETCH(QString, nv);
        QFETCH(QString, format);
        QFETCH(QString, separator);
        QFETCH(QStringList, fields);
        DeviceWorld world;
        world.setText(QStringLiteral("nciSetPts"), QStringLiteral("23,25,27,21,19,17"),
                      QStringLiteral("SNVT_temp_setpt#SI"));
        world.setText(QStringLiteral("nciSccModel"), QStringLiteral("51 2.3"));
        world.setText(QStringLiteral("nciSndHrtBt"), QStringLiteral("120"));
        auto table = Table(world, nv, format, separator, false);
        table->GetNetworkValue();
        QVERIFY(table->NvAsArray.has_value());
        QCOMPARE(*table->NvAsArray, fields);
        // Joined again it is the text as read.
        QCOMPARE(table->NvAsString(), world.text(nv, format));
    }

    void storeAndWriteSendsAllFields()
    {
        DeviceWorld world;
        world.setText(QStringLiteral("nciSetPts"), QStringLiteral("23,25,27,21,19,17"),
                      QStringLiteral("SNVT_temp_setpt#SI"));
        auto table = SetPoints(world);
        table->GetNetworkValue();
        CNvCtrlTable occHeat;
        occHeat.NvCpTable = table;
        occHeat.ItemArrayIndex = 3;
        occHeat.Initialize();
        occHeat.SetValue(QStringLiteral("22"));
        QVERIFY(table->ValueAsChanges);
        Calls->clear();

        QVERIFY(table->SendNetworkValue());
        QVERIFY(!table->ValueAsChanges);
        QCOMPARE(*Calls, (QStringList{"SetNvAccessOption nciSetPts 0", "SetNvFormatSpec nciSetPts SNVT_temp_setpt#SI",
                                      "SetNvFormattedValue nciSetPts 23,25,27,22,19,17"}));
        QCOMPARE(world.text("nciSetPts", "SNVT_temp_setpt#SI"), QStringLiteral("23,25,27,22,19,17"));
    }

    // The fault mended: a failed re-read in the other units leaves the fields in the units of the
    // last good read, and they are written back in those units.
    void writeUsesTheUnitsOfTheLastGoodRead_data()
    {
        QTest::addColumn<int>("readUnits");
        QTest::addColumn<int>("switchedTo");
        QTest::addColumn<QString>("stored");
        QTest::addColumn<QString>("metricOnDevice");
        QTest::newRow("metric read, imperial shown") << 0 << 1 << "22"
                                                     << "22";
        QTest::newRow("imperial read, metric shown") << 1 << 0 << "71.6"
                                                     << "22";
    }
    void writeUsesTheUnitsOfTheLastGoodRead()
    {
        QFETCH(int, readUnits);
        QFETCH(int, switchedTo);
        QFETCH(QString, stored);
        QFETCH(QString, metricOnDevice);
        DeviceWorld world;
        world.setText(QStringLiteral("nciSetPts"), QStringLiteral("23,25,27,21,19,17"),
                      QStringLiteral("SNVT_temp_setpt#SI"));
        auto table = SetPoints(world);
        units = qint16(readUnits);
        table->GetNetworkValue();
        const QStringList read = *table->NvAsArray;

        units = qint16(switchedTo);
        world.setFaults({.unreachable = true});
        const Raised failed = FailureOf([&] { table->GetNetworkValue(); });
        QCOMPARE(failed.number, lns::ObjectServerError(lns::ErrDeviceCommunication));
        QCOMPARE(*table->NvAsArray, read);
        world.setFaults({});

        CNvCtrlTable occHeat;
        occHeat.NvCpTable = table;
        occHeat.ItemArrayIndex = 3;
        occHeat.SetValue(stored);
        QVERIFY(table->SendNetworkValue());

        const QStringList onDevice = world.text("nciSetPts", "SNVT_temp_setpt#SI").split(',');
        QCOMPARE(onDevice.value(3), metricOnDevice);
        QCOMPARE(onDevice.value(0), QStringLiteral("23"));
        QCOMPARE(table->MyNetworkVariable->NvFormatSpec(), table->LastReadFormat());
        QCOMPARE(table->LastReadFormat(),
                 readUnits == 0 ? QStringLiteral("SNVT_temp_setpt#SI") : QStringLiteral("SNVT_temp_setpt#US"));
    }

    void goodRereadInNewUnitsWritesInThem()
    {
        DeviceWorld world;
        world.setText(QStringLiteral("nciSetPts"), QStringLiteral("23,25,27,21,19,17"),
                      QStringLiteral("SNVT_temp_setpt#SI"));
        auto table = SetPoints(world);
        table->GetNetworkValue();
        units = 1;
        table->GetNetworkValue();
        QCOMPARE(table->NvAsArray->value(3), world.text("nciSetPts", "SNVT_temp_setpt#US").split(',').value(3));
        (*table->NvAsArray)[3] = QStringLiteral("71.6");
        QVERIFY(table->SendNetworkValue());
        QCOMPARE(world.text("nciSetPts", "SNVT_temp_setpt#SI").split(',').value(3), QStringLiteral("22"));
    }

    void readFailures_data()
    {
        QTest::addColumn<QString>("fault");
        QTest::addColumn<qint32>("code");
        QTest::addColumn<bool>("fixedText");
        QTest::newRow("device does not answer") << "unreachable" << qint32(lns::ErrDeviceCommunication) << true;
        QTest::newRow("unknown format") << "format" << qint32(lns::ErrFormatFailed) << false;
    }
    void readFailures()
    {
        QFETCH(QString, fault);
        QFETCH(qint32, code);
        QFETCH(bool, fixedText);
        DeviceWorld world;
        auto table =
            Table(world, QStringLiteral("nciGenOpts"), QStringLiteral("UNVT_fc_gen_opts"), QStringLiteral(" "), true);
        table->GetNetworkValue();
        const QStringList before = *table->NvAsArray;
        QCOMPARE(before.size(), 22);
        if (fault == "unreachable")
            world.setFaults({.unreachable = true});
        else
            table->Format = QStringLiteral("UNVT_nobody");
        // What the object server itself says about it.
        const Raised own = FailureOf([&] {
            table->MyNetworkVariable->SetNvFormatSpec(table->CurrentFormatName());
            table->MyNetworkVariable->NvFormattedValue();
        });
        QCOMPARE(own.number, lns::ObjectServerError(code));

        const Raised raised = FailureOf([&] { table->GetNetworkValue(); });
        QCOMPARE(raised.number, lns::ObjectServerError(code));
        QCOMPARE(raised.source, QStringLiteral("GetNetworkValue"));
        const QString reason =
            fixedText ? QStringLiteral("Failed to communicate with target device.") : own.description;
        QCOMPARE(raised.description, "Error reading nciGenOpts " + CrLf + reason);
        QCOMPARE(*table->NvAsArray, before);
    }

    void writeFailures_data()
    {
        QTest::addColumn<QString>("fault");
        QTest::addColumn<qint32>("number");
        QTest::addColumn<QString>("reason");  // empty: the failure's own description
        const qint32 base = Global::ObjectServerErrorBase;
        QTest::newRow("18034 refused") << "refuses" << base + 18034
                                       << "Failed to write data to the network variable object.";
        QTest::newRow("18035 text does not fit")
            << "text" << base + 18035 << "An attempt to format the requested data has failed.";
        QTest::newRow("18200 on a write") << "unreachable" << base + 18200 << "";
        QTest::newRow("never read") << "unread" << Global::ErrTypeMismatch << "Type mismatch";
        QTest::newRow("no variable") << "novariable" << Global::ErrObjectNotSet << "Object variable not set";
    }
    void writeFailures()
    {
        QFETCH(QString, fault);
        QFETCH(qint32, number);
        QFETCH(QString, reason);
        DeviceWorld world;
        world.setText(QStringLiteral("nciSetPts"), QStringLiteral("23,25,27,21,19,17"),
                      QStringLiteral("SNVT_temp_setpt#SI"));
        auto table = SetPoints(world);
        if (fault != "unread")
            table->GetNetworkValue();
        if (fault == "refuses")
            world.setFaults({.refusesWrites = true});
        else if (fault == "unreachable")
            world.setFaults({.unreachable = true});
        else if (fault == "text")
            (*table->NvAsArray)[3] = QStringLiteral("warm");
        else if (fault == "novariable")
            table->MyNetworkVariable.reset();
        table->ValueAsChanges = true;

        if (reason.isEmpty()) {
            const Raised own = FailureOf([&] { table->MyNetworkVariable->SetNvFormattedValue(table->NvAsString()); });
            QCOMPARE(own.number, number);
            reason = own.description;
            QVERIFY(!reason.isEmpty());
        }
        const Raised raised = FailureOf([&] { table->SendNetworkValue(); });
        QCOMPARE(raised.number, number);
        QCOMPARE(raised.source, QStringLiteral("SendNetworkValue"));
        QCOMPARE(raised.description, "Error updating nciSetPts " + CrLf + reason);
        // Still to be written; the device keeps its value.
        QVERIFY(table->ValueAsChanges);
        QCOMPARE(world.text("nciSetPts", "SNVT_temp_setpt#SI"), QStringLiteral("23,25,27,21,19,17"));
    }

    void changedFlagThroughItsLife()
    {
        DeviceWorld world;
        auto table = SetPoints(world);
        CNvCtrlTable item;
        item.NvCpTable = table;
        QVERIFY(!table->ValueAsChanges);
        table->GetNetworkValue();
        QVERIFY(!table->ValueAsChanges);
        item.SetValue(QStringLiteral("20"));
        QVERIFY(table->ValueAsChanges);
        // A read does not clear it; the field read replaces the stored one.
        table->GetNetworkValue();
        QVERIFY(table->ValueAsChanges);
        world.setFaults({.refusesWrites = true});
        QVERIFY(FailureOf([&] { table->SendNetworkValue(); }).number != 0);
        QVERIFY(table->ValueAsChanges);
        world.setFaults({});
        QVERIFY(table->SendNetworkValue());
        QVERIFY(!table->ValueAsChanges);
        item.SetValue(QStringLiteral("21"));
        item.Initialize();
        QVERIFY(!table->ValueAsChanges);
    }

    void itemFormatIsTheHandles()
    {
        DeviceWorld world;
        auto table = SetPoints(world);
        CNvCtrlTable item;
        item.NvCpTable = table;
        units = 1;
        table->GetNetworkValue();
        QCOMPARE(item.DsFormatType(), QStringLiteral("SNVT_temp_setpt#US"));
        item.SetDsFormatType(QStringLiteral("SNVT_temp_setpt#SI"));
        QCOMPARE(table->MyNetworkVariable->NvFormatSpec(), QStringLiteral("SNVT_temp_setpt#SI"));
    }
};

QTEST_MAIN(TestNvAccess)
#include "tst_NvAccess.moc"
