// Apply and Cancel on the configuration window showing a demo thermostat: range limits and the
// values written inside them, one write per network variable, write failures answered with Ignore,
// Abort and Retry, and Cancel restoring from memory. What the device holds is read back through the
// object server's provisioning side.
// One program past 600 lines on purpose: each test program links the whole plug-in and builds its own demo
// world, so Apply and Cancel stay together here rather than pay that cost several times.
#include "ConfiguredWindow.h"

#include <QDir>
#include <QFile>
#include <map>

using namespace windowtest;

namespace {

// The limit as the message writes it: a blank or a minus sign in front.
QString RangeMessage(const QString& description, const QString& which, const QString& limit)
{
    return description + QStringLiteral(" out of range") + CrLf + CrLf + QStringLiteral("The ") + which +
           QStringLiteral(" allowed value is: ") + limit + CrLf + CrLf + QStringLiteral("The value has been adjusted");
}

testsupport::ExpectedBox WriteFailure(const QString& nv, Answer answer)
{
    return {QStringLiteral("Error updating ") + nv + QStringLiteral(" ") + CrLf +
                QStringLiteral("Failed to write data to the network variable object."),
            answer,
            QStringLiteral("fMain PropagateChanges"),
            Buttons::AbortRetryIgnore,
            Icon::Critical,
            true};
}

}  // namespace

class TestApplyCancel : public QObject {
    Q_OBJECT
private slots:
    void cleanup() { m.tearDown(); }

    void limits_data()
    {
        QTest::addColumn<int>("units");
        QTest::addColumn<int>("index");
        QTest::addColumn<QString>("typed");
        QTest::addColumn<QString>("message");  // empty: none
        QTest::addColumn<QString>("shown");
        QTest::addColumn<QString>("nv");
        QTest::addColumn<int>("field");
        QTest::addColumn<QString>("stored");
        const QString heating = QStringLiteral("Occupied heating setpoint");
        QTest::newRow("metric above the maximum") << 0 << 0 << "40" << RangeMessage(heating, "maximum", " 32") << "32"
                                                  << "nciSetPts" << 3 << "31.95";
        QTest::newRow("metric exactly on the maximum") << 0 << 0 << "32"
                                                       << ""
                                                       << "32"
                                                       << "nciSetPts" << 3 << "31.95";
        // Not the limit's text, so not moved inside; shown and written in its plain form.
        QTest::newRow("the maximum written otherwise") << 0 << 0 << "32.0"
                                                       << ""
                                                       << "32"
                                                       << "nciSetPts" << 3 << "32";
        QTest::newRow("metric below the minimum") << 0 << 0 << "3" << RangeMessage(heating, "minimum", " 4.5") << "4.5"
                                                  << "nciSetPts" << 3 << "4.55";
        QTest::newRow("imperial exactly on the maximum") << 1 << 0 << "90"
                                                         << ""
                                                         << "90"
                                                         << "nciSetPts" << 3 << "89.975";
        QTest::newRow("imperial above the maximum") << 1 << 0 << "95" << RangeMessage(heating, "maximum", " 90") << "90"
                                                    << "nciSetPts" << 3 << "89.975";
        QTest::newRow("imperial below the minimum") << 1 << 0 << "30" << RangeMessage(heating, "minimum", " 40") << "40"
                                                    << "nciSetPts" << 3 << "40.025";
        QTest::newRow("a negative minimum")
            << 0 << 6 << "-5" << RangeMessage("Room sensor offset", "minimum", "-2.5") << "-2.5"
            << "nciGenOpts" << 19 << "-2.45";
        QTest::newRow("a negative minimum, imperial") << 1 << 6 << "-5"
                                                      << ""
                                                      << "-5"
                                                      << "nciGenOpts" << 19 << "-4.975";
        QTest::newRow("cooling above its maximum")
            << 0 << 4 << "38" << RangeMessage("Unoccupied cooling setpoint", "maximum", " 37.5") << "37.5"
            << "nciSetPts" << 2 << "37.45";
        QTest::newRow("humidity exactly on its maximum") << 0 << 7 << "100"
                                                         << ""
                                                         << "100"
                                                         << "nciRHmodel" << 1 << "100";
        QTest::newRow("humidity above its maximum")
            << 1 << 7 << "120" << RangeMessage("RH Setpoints", "maximum", " 100") << "100"
            << "nciRHmodel" << 1 << "100";
        QTest::newRow("door time above its maximum")
            << 0 << 18 << "15" << RangeMessage("Door Time", "maximum", " 10") << "10"
            << "nciGenOpts" << 17 << "10";
        // Limits from 0: a bound of 0 is still a bound.
        const QString tOcc = QStringLiteral("Temporary occupied time");
        QTest::newRow("0 to 24, above") << 0 << 17 << "30" << RangeMessage(tOcc, "maximum", " 24") << "24"
                                        << "nciGenOpts" << 16 << "24";
        QTest::newRow("0 to 24, below") << 0 << 17 << "-1" << RangeMessage(tOcc, "minimum", " 0") << "0"
                                        << "nciGenOpts" << 16 << "0";
        QTest::newRow("input heartbeat above its maximum")
            << 1 << 41 << "7000" << RangeMessage("Input heartbeat", "maximum", " 6553.4") << "6553.4"
            << "nciRcvHrtBt" << 0 << "6553.4";
        QTest::newRow("output heartbeat below 0")
            << 0 << 39 << "-3" << RangeMessage("Output heartbeat", "minimum", " 0") << "0"
            << "nciSndHrtBt" << 0 << "0";
        // Every other limited field, each with the name its box gives it.
        QTest::newRow("unoccupied heating below its minimum")
            << 1 << 1 << "30" << RangeMessage("Unoccupied heating setpoint", "minimum", " 40") << "40"
            << "nciSetPts" << 5 << "40.025";
        QTest::newRow("heating limit above its maximum")
            << 0 << 2 << "40" << RangeMessage("Maximum heating setpoint limit", "maximum", " 32") << "32"
            << "nciGenOpts" << 13 << "31.95";
        QTest::newRow("cooling limit below its minimum")
            << 0 << 5 << "10" << RangeMessage("Minimum cooling setpoint limit", "minimum", " 12") << "12"
            << "nciGenOpts" << 14 << "12.05";
        QTest::newRow("dead band above its maximum")
            << 0 << 16 << "4" << RangeMessage("Dead Band", "maximum", " 2.5") << "2.5"
            << "nciGenOpts" << 18 << "2.45";
        QTest::newRow("actuator timing above its maximum")
            << 0 << 14 << "12" << RangeMessage("Floating actuator timing", "maximum", " 9") << "9"
            << "nciGenOpts" << 1 << "9";
        QTest::newRow("hysteresis below its minimum")
            << 0 << 8 << "1" << RangeMessage("Dehumidifiacation hysteresis", "minimum", " 2") << "2"
            << "nciRHmodel" << 2 << "2";
        QTest::newRow("cooling output above its maximum")
            << 0 << 9 << "120" << RangeMessage("Dehumidifiacation maximum cooling output", "maximum", " 100") << "100"
            << "nciRHmodel" << 3 << "100";
        QTest::newRow("RH calibration below its minimum")
            << 0 << 10 << "-20" << RangeMessage("RH sensor calibration offset", "minimum", "-15") << "-15"
            << "nciRHmodel" << 4 << "-15";
        QTest::newRow("output throttle above its maximum")
            << 0 << 40 << "7000" << RangeMessage("Output trottle", "maximum", " 6553.4") << "6553.4"
            << "nciMinOutTm" << 0 << "6553.4";
        QTest::newRow("within the limits") << 0 << 0 << "22.5"
                                           << ""
                                           << "22.5"
                                           << "nciSetPts" << 3 << "22.5";
        // Numbers the device would refuse as written go as it writes them.
        QTest::newRow("a trailing point") << 0 << 0 << "22."
                                          << ""
                                          << "22"
                                          << "nciSetPts" << 3 << "22";
        QTest::newRow("a leading point") << 0 << 6 << "-.5"
                                         << ""
                                         << "-0.5"
                                         << "nciGenOpts" << 19 << "-0.5";
    }

    // The box and the log show the number as it went, in its plain shortest form.
    void pastedNumbersGoAsTheDeviceWritesThem_data()
    {
        QTest::addColumn<QString>("pasted");
        QTest::addColumn<QString>("written");
        QTest::newRow("blanks around it") << " 22 "
                                          << "22";
        QTest::newRow("an exponent") << "2.2e1"
                                     << "22";
        QTest::newRow("a plus sign") << "+17"
                                     << "17";
        QTest::newRow("trailing zeros") << "21.50"
                                        << "21.5";
        QTest::newRow("a leading zero") << "07"
                                        << "7";
    }
    void pastedNumbersGoAsTheDeviceWritesThem()
    {
        QFETCH(QString, pasted);
        QFETCH(QString, written);
        QVERIFY(m.makeWorld());
        m.setDeviceBox(OccCool, QStringLiteral("45"));
        m.setDeviceBox(UnoccCool, QStringLiteral("45"));
        QVERIFY(m.configure());
        testsupport::ScriptedMessageBoxes boxes;
        // The unoccupied heating set point: its minimum (4.5) lets every row through.
        m.paste(UnoccHeat, pasted);
        m.leave();
        m.log().Clear();
        m.ui().cmdApply->click();
        VERIFY_BOXES(boxes);
        QCOMPARE(m.box(UnoccHeat)->text(), written);
        QVERIFY(!m.w->ChangesPending);
        QCOMPARE(m.deviceFields(QStringLiteral("nciSetPts")).value(SetPointField(UnoccHeat)).toDouble(),
                 written.toDouble());
        QCOMPARE(m.LogActions(), QStringList{QStringLiteral("Updating nciSetPts")});
        QCOMPARE(m.LogResults(0).split(QLatin1Char(',')).value(SetPointField(UnoccHeat)), written);
    }
    void limits()
    {
        QFETCH(int, units);
        QFETCH(int, index);
        QFETCH(QString, typed);
        QFETCH(QString, message);
        QFETCH(QString, shown);
        QFETCH(QString, nv);
        QFETCH(int, field);
        QFETCH(QString, stored);
        QVERIFY(m.makeWorld(qint16(units)));
        // Cooling far above any heating typed, and the heating limit as high as the device holds it
        // (90 °F): the rules between the set points stay out of the way.
        m.setDeviceBox(UnoccCool, QStringLiteral("45"));
        m.setDeviceBox(OccCool, QStringLiteral("45"));
        m.setDeviceBox(HeatMax, QStringLiteral("32.22"));
        QVERIFY(m.configure());
        QCOMPARE(int(m.session->DisplayUnits), units);
        testsupport::ScriptedMessageBoxes boxes;
        if (!message.isEmpty())
            boxes.expect({message, Answer::Ok, framework::ApplicationTitle(), Buttons::Ok, Icon::None, true});
        for (int tab = 0; tab < m.ui().tabData->count(); ++tab) {
            if (m.ui().tabData->widget(tab)->isAncestorOf(m.box(index)))
                m.ui().tabData->setCurrentIndex(tab);
        }
        m.type(index, typed);
        m.leave();
        m.log().Clear();
        m.ui().cmdApply->click();
        VERIFY_BOXES(boxes);
        QCOMPARE(m.box(index)->text(), shown);
        QVERIFY(m.isNormal(m.box(index)));
        QVERIFY(m.buttonsDisabled());
        QVERIFY(!m.w->ChangesPending);

        // The whole variable was written once, with the stored field in it.
        const auto& table = m.tables().NvTables.Item(nv);
        QCOMPARE(m.LogActions(), QStringList{QStringLiteral("Updating ") + nv});
        QCOMPARE(
            m.LogResults(0).split(nv == QLatin1String("nciSetPts") ? QLatin1Char(',') : QLatin1Char(' ')).value(field),
            stored);
        QVERIFY(!table->ValueAsChanges);
        // The device holds it, in the units it was entered in.
        const QString format =
            nv == QLatin1String("nciRHmodel")
                ? QString()
                : m.world->admin().nvTypeName(m.ref, nv) + (units ? QStringLiteral("#US") : QStringLiteral("#SI"));
        const double device = m.deviceFields(nv, format).value(field).toDouble();
        // A temperature in °F comes back through the device's hundredths of a degree Celsius.
        QVERIFY2(std::abs(device - stored.toDouble()) < (units ? 0.01 : 1e-9),
                 qPrintable(QStringLiteral("device %1, stored %2").arg(device).arg(stored)));
    }

    void oneWritePerAccessObject_data()
    {
        QTest::addColumn<QList<int>>("edited");  // text boxes; 100 + n is combo box n
        QTest::addColumn<QStringList>("written");
        QTest::newRow("two fields of one variable") << QList<int>{OccHeat, OccCool} << QStringList{"nciSetPts"};
        QTest::newRow("all four set points")
            << QList<int>{OccHeat, UnoccHeat, OccCool, UnoccCool} << QStringList{"nciSetPts"};
        QTest::newRow("two variables, in table order")
            << QList<int>{7, OccHeat} << QStringList{"nciSetPts", "nciRHmodel"};
        QTest::newRow("a combo box and a text box of one variable")
            << QList<int>{100, HeatMax} << QStringList{"nciGenOpts"};
        QTest::newRow("nothing edited") << QList<int>{} << QStringList{};
    }
    void oneWritePerAccessObject()
    {
        QFETCH(QList<int>, edited);
        QFETCH(QStringList, written);
        QVERIFY(m.makeWorld());
        QVERIFY(m.configure());
        testsupport::ScriptedMessageBoxes boxes;
        const QStringList setPointsBefore = m.deviceFields(QStringLiteral("nciSetPts"));
        const QStringList genOptsBefore = m.deviceFields(QStringLiteral("nciGenOpts"));
        // The lists' entries show other texts, as in another language: the device is told the names the
        // entries hold, and a list nobody touched is not an edit.
        for (const auto& [unused, combo] : m.ui().cbNvi)
            for (int i = 0; i < combo->count(); ++i)
                combo->setItemText(i, QStringLiteral("<%1>").arg(combo->itemData(i).toString().toLower()));
        // Heating one lower, cooling one higher: no rule fires.
        for (const int index : edited) {
            if (index >= 100) {
                m.enter(m.combo(index - 100));
                QTest::keyClick(m.combo(index - 100), Qt::Key_Down);
                continue;
            }
            m.ui().tabData->setCurrentIndex(index == 7 ? 3 : 0);
            const double now = m.box(index)->text().toDouble();
            const bool cooling = index == OccCool || index == UnoccCool;
            m.type(index, QString::number(cooling ? now + 1 : now - 1));
        }
        m.leave();
        m.log().Clear();
        if (edited.isEmpty())
            m.w->cmdApply_Click();
        else
            m.ui().cmdApply->click();
        VERIFY_BOXES(boxes);
        QStringList rows;
        for (const QString& nv : written)
            rows << QStringLiteral("Updating ") + nv;
        QCOMPARE(m.LogActions(), rows);
        QVERIFY(m.buttonsDisabled());
        QVERIFY(!m.w->ChangesPending);

        // Fields not edited go back with the values last read.
        const QStringList setPoints = m.deviceFields(QStringLiteral("nciSetPts"));
        for (int field = 0; field < setPointsBefore.size(); ++field) {
            const bool changed =
                std::any_of(edited.begin(), edited.end(), [&](int i) { return i < 100 && SetPointField(i) == field; });
            if (!changed)
                QCOMPARE(setPoints[field], setPointsBefore[field]);
            else
                QCOMPARE(std::abs(setPoints[field].toDouble() - setPointsBefore[field].toDouble()), 1.0);
        }
        const QStringList genOpts = m.deviceFields(QStringLiteral("nciGenOpts"));
        for (int field = 0; field < genOptsBefore.size(); ++field)
            if (field != 13 && field != 15)
                QCOMPARE(genOpts[field], genOptsBefore[field]);
        if (edited.contains(100))
            QCOMPARE(genOpts[15], m.combo(0)->currentData().toString());
    }

    void writeFailures_data()
    {
        QTest::addColumn<QList<int>>("answers");  // to the write failure boxes, in order
        QTest::addColumn<bool>("fixedAtFirstBox");
        QTest::addColumn<bool>("heatingWritten");
        QTest::addColumn<bool>("humidityWritten");
        QTest::addColumn<bool>("passEnded");
        QTest::addColumn<QStringList>("rows");
        const int ignore = int(Answer::Ignore);
        const QString errSetPts = QStringLiteral("Error updating nciSetPts ");
        const QString errRh = QStringLiteral("Error updating nciRHmodel ");
        const QString updSetPts = QStringLiteral("Updating nciSetPts");
        const QString updRh = QStringLiteral("Updating nciRHmodel");
        QTest::newRow("ignore both") << QList<int>{ignore, ignore} << false << false << false << true
                                     << QStringList{errSetPts, updSetPts, errRh, updRh};
        QTest::newRow("ignore one, the next goes through")
            << QList<int>{ignore} << true << false << true << true << QStringList{errSetPts, updSetPts, updRh};
        QTest::newRow("abort") << QList<int>{int(Answer::Abort)} << false << false << false << false
                               << QStringList{errSetPts};
        QTest::newRow("abort after the device answers again")
            << QList<int>{int(Answer::Abort)} << true << false << false << false << QStringList{errSetPts};
        QTest::newRow("retry") << QList<int>{int(Answer::Retry)} << true << true << true << true
                               << QStringList{errSetPts, updSetPts, updRh};
    }
    void writeFailures()
    {
        QFETCH(QList<int>, answers);
        QFETCH(bool, fixedAtFirstBox);
        QFETCH(bool, heatingWritten);
        QFETCH(bool, humidityWritten);
        QFETCH(bool, passEnded);
        QFETCH(QStringList, rows);
        QVERIFY(m.makeWorld());
        QVERIFY(m.configure());
        const double heatingBefore = m.deviceSetPoint(OccHeat);
        const QString humidityBefore = m.deviceFields(QStringLiteral("nciRHmodel")).value(1);
        m.type(OccHeat, QStringLiteral("20"));
        m.ui().tabData->setCurrentIndex(3);
        m.type(7, QStringLiteral("45"));
        m.leave();
        DeviceFaults refusing;
        refusing.refusesWrites = true;
        m.setFaults(refusing);
        m.log().Clear();

        testsupport::ScriptedMessageBoxes boxes;
        const QStringList nvs{QStringLiteral("nciSetPts"), QStringLiteral("nciRHmodel")};
        for (int i = 0; i < answers.size(); ++i)
            boxes.expect(WriteFailure(nvs[i], Answer(answers[i])));
        QStringList logAtBox;
        boxes.onAsk = [&](int n) {
            // The failure is logged before the box.
            logAtBox = m.LogActions();
            if (n == 1 && fixedAtFirstBox)
                m.setFaults(DeviceFaults{});
        };
        m.ui().cmdApply->click();
        VERIFY_BOXES(boxes);
        QCOMPARE(logAtBox.last(), QStringLiteral("Error updating ") + nvs[answers.size() - 1] + QStringLiteral(" "));
        QCOMPARE(m.LogActions(), rows);

        QCOMPARE(m.deviceSetPoint(OccHeat), heatingWritten ? 20.0 : heatingBefore);
        QCOMPARE(m.deviceFields(QStringLiteral("nciRHmodel")).value(1),
                 humidityWritten ? QStringLiteral("45") : humidityBefore);
        QCOMPARE(m.isRed(m.box(OccHeat)), !heatingWritten);
        QCOMPARE(m.isRed(m.box(7)), !humidityWritten);
        QCOMPARE(m.tables().NvTables.Item(QStringLiteral("nciSetPts"))->ValueAsChanges, !heatingWritten);
        QCOMPARE(m.tables().NvTables.Item(QStringLiteral("nciRHmodel"))->ValueAsChanges, !humidityWritten);
        // A variable left unwritten, by an ignored failure or an aborted pass, stays pending: Apply can
        // try it again, and nothing drops it without asking.
        const bool allWritten = heatingWritten && humidityWritten;
        QCOMPARE(m.w->ChangesPending, !allWritten);
        QCOMPARE(m.buttonsEnabled(), !allWritten);
        QCOMPARE(m.buttonsDisabled(), allWritten);

        if (passEnded && !allWritten) {
            // The device answers again: the next Apply writes what the ignored failures left.
            m.setFaults(DeviceFaults{});
            m.ui().cmdApply->click();
            VERIFY_BOXES(boxes);
            QCOMPARE(m.deviceSetPoint(OccHeat), 20.0);
            QCOMPARE(m.deviceFields(QStringLiteral("nciRHmodel")).value(1), QStringLiteral("45"));
            QVERIFY(m.isNormal(m.box(OccHeat)) && m.isNormal(m.box(7)));
            QVERIFY(!m.w->ChangesPending);
            QVERIFY(m.buttonsDisabled());
        }

        if (!passEnded) {
            // Cancel drops what was never written: the fields show what the device holds, clean.
            m.setFaults(DeviceFaults{});
            m.log().Clear();
            m.ui().cmdCancel->click();
            QCOMPARE(m.box(OccHeat)->text().toDouble(), heatingBefore);
            QCOMPARE(m.box(7)->text(), humidityBefore);
            QVERIFY(m.isNormal(m.box(OccHeat)));
            QVERIFY(m.isNormal(m.box(7)));
            QVERIFY(m.buttonsDisabled());
            QVERIFY(!m.w->ChangesPending);
            QVERIFY(m.LogActions().isEmpty());
            QCOMPARE(m.deviceSetPoint(OccHeat), heatingBefore);
        }
    }

    // An edit of a variable whose last read failed (or that was never read) is not written: the
    // other fields of the variable would go with values the device may no longer hold. One message
    // per variable says so; the edits stay pending until a read lets them through.
    void anEditOfAnUnreadVariableIsNotWritten_data()
    {
        QTest::addColumn<bool>("everRead");
        QTest::addColumn<int>("answer");
        QTest::newRow("never read, ignored") << false << int(Answer::Ignore);
        QTest::newRow("never read, aborted") << false << int(Answer::Abort);
        QTest::newRow("its last read failed, ignored") << true << int(Answer::Ignore);
        QTest::newRow("its last read failed, aborted") << true << int(Answer::Abort);
    }
    void anEditOfAnUnreadVariableIsNotWritten()
    {
        QFETCH(bool, everRead);
        QFETCH(int, answer);
        QVERIFY(m.makeWorld());
        testsupport::ScriptedMessageBoxes boxes;
        DeviceFaults unreachable;
        unreachable.unreachable = true;
        if (everRead) {
            QVERIFY(m.configure());
            m.setFaults(unreachable);
            for (int i = 0; i < 11; ++i)
                boxes.expect({QStringLiteral("Error reading"), Answer::Ignore, QStringLiteral("fMain ReadInitValues")});
            m.ui().cmdRefresh->click();
        } else {
            m.path =
                m.world->findDevice(QStringLiteral("Demo"), [](int, const DeviceFaults& f) { return f.unreachable; });
            m.ref = testsupport::DemoWorld::refOf(QStringLiteral("Demo"), m.path);
            boxes.expect({QStringLiteral("does not answer"), Answer::Ignore, QStringLiteral("fMain InitDevice")});
            for (int i = 0; i < 11; ++i)
                boxes.expect({QStringLiteral("Error reading"), Answer::Ignore, QStringLiteral("fMain ReadInitValues")});
            boxes.expect({QStringLiteral("is not a number"), Answer::Ignore, QStringLiteral("fMain InitDevice")});
            QVERIFY(m.configure());
        }
        VERIFY_BOXES(boxes);
        // The thermostat answers again; what the window holds of it has not been read since.
        m.setFaults(DeviceFaults{});
        const QStringList genOpts = m.deviceFields(QStringLiteral("nciGenOpts"));
        const QStringList rhModel = m.deviceFields(QStringLiteral("nciRHmodel"));
        // Two fields of one variable (a choice and the temporary occupied time), one of another.
        m.enter(m.combo(0));
        QTest::keyClick(m.combo(0), Qt::Key_Down);
        m.ui().tabData->setCurrentIndex(1);
        m.type(17, QStringLiteral("3"));
        m.ui().tabData->setCurrentIndex(3);
        m.type(7, QStringLiteral("55"));
        m.leave();
        const QString choice = m.combo(0)->currentText();
        QVERIFY(!choice.isEmpty());
        m.log().Clear();
        const auto refusal = [&](const QString& nv) {
            return testsupport::ExpectedBox{
                nv + QStringLiteral(" could not be read from the device, so its changes were not applied.") + CrLf +
                    QStringLiteral("Use Refresh All, then apply again."),
                Answer(answer),
                QStringLiteral("fMain cmdApply_Click"),
                Buttons::AbortRetryIgnore,
                Icon::Information,
                true};
        };
        boxes.expect(refusal(QStringLiteral("nciGenOpts")));
        if (Answer(answer) == Answer::Ignore)
            boxes.expect(refusal(QStringLiteral("nciRHmodel")));
        m.ui().cmdApply->click();
        VERIFY_BOXES(boxes);
        QCOMPARE(m.deviceFields(QStringLiteral("nciGenOpts")), genOpts);
        QCOMPARE(m.deviceFields(QStringLiteral("nciRHmodel")), rhModel);
        QVERIFY(m.RowsStartingWith(QStringLiteral("Updating")).isEmpty());
        QCOMPARE(m.RowsStartingWith(QStringLiteral("nciGenOpts could not be read")).size(), 1);
        for (QWidget* control :
             {static_cast<QWidget*>(m.combo(0)), static_cast<QWidget*>(m.box(17)), static_cast<QWidget*>(m.box(7))})
            QVERIFY(m.isRed(control));
        QVERIFY(m.buttonsEnabled());
        QVERIFY(m.w->ChangesPending);
        QCOMPARE(toolkit::CurrentMousePointer(), toolkit::MousePointer::Default);

        // Read again, the edits go through.
        m.ui().cmdRefresh->click();
        m.ui().cmdApply->click();
        VERIFY_BOXES(boxes);
        QCOMPARE(m.deviceFields(QStringLiteral("nciGenOpts")).value(15), choice);
        QCOMPARE(m.deviceFields(QStringLiteral("nciGenOpts")).value(16), QStringLiteral("3"));
        QCOMPARE(m.deviceFields(QStringLiteral("nciRHmodel")).value(1), QStringLiteral("55"));
        QVERIFY(!m.isRed(m.box(17)));
        QVERIFY(m.buttonsDisabled());
    }

    // A write left undone (failure ignored, or the pass aborted) keeps its variable marked; a read of
    // it that then fails must hold that variable back too, though it was stored before the read.
    void anUnwrittenVariableIsHeldBackAfterAFailedRead_data()
    {
        QTest::addColumn<int>("writeAnswer");
        QTest::newRow("write failure ignored") << int(Answer::Ignore);
        QTest::newRow("write pass aborted") << int(Answer::Abort);
    }
    void anUnwrittenVariableIsHeldBackAfterAFailedRead()
    {
        QFETCH(int, writeAnswer);
        QVERIFY(m.makeWorld());
        QVERIFY(m.configure());
        const double heatingBefore = m.deviceSetPoint(OccHeat);
        m.type(OccHeat, QStringLiteral("20"));
        m.leave();
        testsupport::ScriptedMessageBoxes boxes;
        DeviceFaults refusing;
        refusing.refusesWrites = true;
        m.setFaults(refusing);
        boxes.expect(WriteFailure(QStringLiteral("nciSetPts"), Answer(writeAnswer)));
        m.ui().cmdApply->click();
        VERIFY_BOXES(boxes);
        QVERIFY(m.isRed(m.box(OccHeat)));

        DeviceFaults unreachable;
        unreachable.unreachable = true;
        m.setFaults(unreachable);
        for (int i = 0; i < 11; ++i)
            boxes.expect({QStringLiteral("Error reading"), Answer::Ignore, QStringLiteral("fMain ReadInitValues")});
        m.ui().cmdRefresh->click();
        VERIFY_BOXES(boxes);

        // The thermostat answers again, but nciSetPts has not been read since.
        m.setFaults(DeviceFaults{});
        m.log().Clear();
        boxes.expect({QStringLiteral("nciSetPts could not be read from the device, so its changes were not applied.") +
                          CrLf + QStringLiteral("Use Refresh All, then apply again."),
                      Answer::Ignore, QStringLiteral("fMain cmdApply_Click"), Buttons::AbortRetryIgnore,
                      Icon::Information, true});
        m.ui().cmdApply->click();
        VERIFY_BOXES(boxes);
        QCOMPARE(m.deviceSetPoint(OccHeat), heatingBefore);
        QVERIFY(m.RowsStartingWith(QStringLiteral("Updating nciSetPts")).isEmpty());
        QVERIFY(m.isRed(m.box(OccHeat)));
        QVERIFY(m.buttonsEnabled());

        // Read again, the edit goes through.
        m.ui().cmdRefresh->click();
        m.ui().cmdApply->click();
        VERIFY_BOXES(boxes);
        QCOMPARE(m.deviceSetPoint(OccHeat), 20.0);
        QVERIFY(!m.isRed(m.box(OccHeat)));
    }

    // A configure command for another device while an edit is pending (the caret still in the edited
    // box): asked, the edits go to the device they were made for or are dropped, and the next device is
    // shown clean with its own values. The same device, through any of its objects, keeps them.
    void pendingEditsWhenTheDeviceChanges_data()
    {
        QTest::addColumn<QString>("typed");
        QTest::addColumn<bool>("leftBefore");  // the box left (and an emptied one refused) before the command
        QTest::addColumn<bool>("otherDevice");
        QTest::addColumn<QString>("lonMarkObject");  // configured as this object of the device (class 28)
        QTest::addColumn<int>("answer");             // to the question; 0 when none is asked
        QTest::addColumn<bool>("refusesWrites");     // the first device
        QTest::addColumn<double>("firstHolds");      // occupied heating on the first device afterwards
        const int yes = int(Answer::Yes), no = int(Answer::No);
        QTest::newRow("Yes applies them to the first device") << "20" << false << true << "" << yes << false << 20.0;
        QTest::newRow("No drops them") << "20" << false << true << "" << no << false << 21.0;
        QTest::newRow("Yes, the first device refuses the write") << "20" << false << true << "" << yes << true << 21.0;
        QTest::newRow("an object of another device") << "20" << false << true << "FanCoil" << yes << false << 20.0;
        QTest::newRow("the box left before") << "20" << true << true << "" << yes << false << 20.0;
        QTest::newRow("the same device keeps them") << "20" << false << false << "" << 0 << false << 21.0;
        QTest::newRow("an object of the same device keeps them")
            << "20" << false << false << "RhSensor" << 0 << false << 21.0;
        // Left first: refused, the box is clean again and nothing is left to ask about.
        QTest::newRow("an emptied box only") << "" << false << true << "" << 0 << false << 21.0;
        QTest::newRow("an emptied box refused before") << "" << true << true << "" << 0 << false << 21.0;
    }
    void pendingEditsWhenTheDeviceChanges()
    {
        QFETCH(QString, typed);
        QFETCH(bool, leftBefore);
        QFETCH(bool, otherDevice);
        QFETCH(QString, lonMarkObject);
        QFETCH(int, answer);
        QFETCH(bool, refusesWrites);
        QFETCH(double, firstHolds);
        QVERIFY(m.makeWorld());
        m.setDeviceBox(OccHeat, QStringLiteral("21"));
        m.setDeviceBox(OccCool, QStringLiteral("25"));
        const QString first = m.path;
        const auto firstRef = m.ref;
        QString second = first;
        if (otherDevice) {
            for (const QString& p : m.world->devicePaths(QStringLiteral("Demo"))) {
                const DeviceFaults f =
                    m.world->admin().deviceFaults(testsupport::DemoWorld::refOf(QStringLiteral("Demo"), p));
                if (p != first && f.commissioned && f.stateCode == 4 && !f.unreachable && f.testResult == 0 &&
                    !f.refusesWrites) {
                    second = p;
                    break;
                }
            }
            QVERIFY(second != first);
            m.ref = testsupport::DemoWorld::refOf(QStringLiteral("Demo"), second);
            m.setDeviceBox(OccHeat, QStringLiteral("19.5"));
            m.setDeviceBox(OccCool, QStringLiteral("26"));
            m.ref = firstRef;
        }
        QVERIFY(m.configure());
        testsupport::ScriptedMessageBoxes boxes;
        const testsupport::ExpectedBox refused{QStringLiteral("Value must be numerical"), Answer::Ok,
                                               QStringLiteral("Invalid value")};
        m.type(OccHeat, typed);
        if (leftBefore) {
            if (typed.isEmpty())
                boxes.expect(refused);
            m.leave();
            VERIFY_BOXES(boxes);
        }
        if (refusesWrites) {
            DeviceFaults refusing;
            refusing.refusesWrites = true;
            m.setFaults(refusing);
        }
        m.log().Clear();

        const int questionAt = int(boxes.seen().size()) + (typed.isEmpty() && !leftBefore ? 1 : 0);
        if (typed.isEmpty() && !leftBefore)
            boxes.expect(refused);
        if (answer)
            boxes.expect({QStringLiteral("There are changes that have not been applied to ") + first +
                              QStringLiteral(". Apply them to that device first?"),
                          Answer(answer), framework::ApplicationTitle(), Buttons::YesNo, Icon::Question, true});
        if (refusesWrites)
            boxes.expect(WriteFailure(QStringLiteral("nciSetPts"), Answer::Ignore));
        const QString path = lonMarkObject.isEmpty() ? second : second + QStringLiteral("/") + lonMarkObject;
        try {
            m.objects.back()->SendCommand(13, lonMarkObject.isEmpty() ? 7 : 28, path);
        } catch (const com::ComError& e) {
            QFAIL(qPrintable(e.description()));
        }
        QCOMPARE(m.ui().StatusBarPanel.at(2)->text(), path);

        QCOMPARE(m.deviceSetPoint(OccHeat), firstHolds);
        QStringList errors;
        for (const QString& action : m.LogActions())
            if (action.startsWith(QStringLiteral("Changes to ")))
                errors << action;
        QCOMPARE(errors, refusesWrites ? QStringList{QStringLiteral("Changes to nciSetPts discarded")} : QStringList{});
        if (!otherDevice && !typed.isEmpty()) {
            // Kept, as Refresh All keeps them.
            QCOMPARE(m.box(OccHeat)->text(), typed);
            QVERIFY(m.isRed(m.box(OccHeat)));
            QVERIFY(m.buttonsEnabled());
            VERIFY_BOXES(boxes);
            return;
        }
        // The next device, clean, with its own values; nothing of the first one pending.
        m.ref = testsupport::DemoWorld::refOf(QStringLiteral("Demo"), second);
        QCOMPARE(m.box(OccHeat)->text().toDouble(), m.deviceSetPoint(OccHeat));
        QCOMPARE(m.deviceSetPoint(OccHeat), otherDevice ? 19.5 : 21.0);
        for (const auto& [index, box] : m.ui().txtNvi)
            QVERIFY2(!m.isRed(box), qPrintable(box->objectName()));
        for (const auto& [index, combo] : m.ui().cbNvi)
            QVERIFY2(!m.isRed(combo), qPrintable(combo->objectName()));
        QVERIFY(m.buttonsDisabled());
        QVERIFY(!m.w->ChangesPending);
        for (const auto& table : m.tables().NvTables)
            QVERIFY(!table->ValueAsChanges);
        VERIFY_BOXES(boxes);
        if (answer)
            QCOMPARE(boxes.seen().at(questionAt).defaultButton, 0);  // Yes
    }

    // A command for another device that stops before reading it (here at the missing resource files
    // question) leaves the first device shown: edits made then belong to the first device.
    void aCommandStoppedBeforeTheReadLeavesTheShownDevice_data()
    {
        QTest::addColumn<int>("answer");
        QTest::addColumn<double>("firstHolds");
        QTest::newRow("Yes applies them to the shown device") << int(Answer::Yes) << 20.0;
        QTest::newRow("No drops them") << int(Answer::No) << 21.0;
    }
    void aCommandStoppedBeforeTheReadLeavesTheShownDevice()
    {
        QFETCH(int, answer);
        QFETCH(double, firstHolds);
        QVERIFY(m.makeWorld());
        m.setDeviceBox(OccHeat, QStringLiteral("21"));
        const QString first = m.path;
        const auto firstRef = m.ref;
        QString second;
        for (const QString& p : m.world->devicePaths(QStringLiteral("Demo"))) {
            const DeviceFaults f =
                m.world->admin().deviceFaults(testsupport::DemoWorld::refOf(QStringLiteral("Demo"), p));
            if (p != first && f.commissioned && f.stateCode == 4 && !f.unreachable && f.testResult == 0 &&
                !f.refusesWrites) {
                second = p;
                break;
            }
        }
        QVERIFY(!second.isEmpty());
        const auto secondRef = testsupport::DemoWorld::refOf(QStringLiteral("Demo"), second);
        m.ref = secondRef;
        m.setDeviceBox(OccHeat, QStringLiteral("19.5"));
        m.ref = firstRef;
        QVERIFY(m.configure());

        m.world->admin().setLonMarkObjectMode(secondRef, QStringLiteral("FanCoil"), 1);
        // The catalog still lists the file sets; the files themselves are broken for a while.
        QDir sets(m.world->lonWorksPath() + QStringLiteral("/types/User/Kestrova"));
        std::map<QString, QByteArray> saved;
        for (const QString& name : sets.entryList({QStringLiteral("*.fset.json")}, QDir::Files)) {
            QFile file(sets.filePath(name));
            QVERIFY(file.open(QIODevice::ReadWrite));
            saved[name] = file.readAll();
            QVERIFY(file.resize(0));
            file.write("{");
        }
        QVERIFY(!saved.empty());
        testsupport::ScriptedMessageBoxes boxes;
        boxes.expect({QString(), Answer::Ignore, QStringLiteral("fMain DrfLookUp"), Buttons::AbortRetryIgnore,
                      Icon::Critical, true});
        boxes.expect({QStringLiteral("Unable to set the Mode for the LonMark Objects, do you want to proceed?"),
                      Answer::No, framework::ApplicationTitle(), Buttons::YesNo, Icon::Exclamation, true});
        m.objects.back()->SendCommand(13, 7, second);
        VERIFY_BOXES(boxes);
        for (const auto& [name, bytes] : saved) {
            QFile file(sets.filePath(name));
            QVERIFY(file.open(QIODevice::WriteOnly | QIODevice::Truncate));
            file.write(bytes);
        }
        QCOMPARE(m.box(OccHeat)->text(), QStringLiteral("21"));

        // The user edits what the window shows, then the other device is asked for again.
        m.w->activateWindow();
        QApplication::setActiveWindow(m.w);
        QVERIFY(QTest::qWaitForWindowActive(m.w));
        m.type(OccHeat, QStringLiteral("20"));
        m.leave();
        boxes.expect({QStringLiteral("There are changes that have not been applied to ") + first +
                          QStringLiteral(". Apply them to that device first?"),
                      Answer(answer), framework::ApplicationTitle(), Buttons::YesNo, Icon::Question, true});
        try {
            m.objects.back()->SendCommand(13, 7, second);
        } catch (const com::ComError& e) {
            QFAIL(qPrintable(e.description()));
        }
        VERIFY_BOXES(boxes);
        QCOMPARE(m.deviceSetPoint(OccHeat), firstHolds);
        m.ref = secondRef;
        QCOMPARE(m.deviceSetPoint(OccHeat), 19.5);
        QCOMPARE(m.box(OccHeat)->text().toDouble(), 19.5);
        QVERIFY(!m.isRed(m.box(OccHeat)));
        QVERIFY(m.buttonsDisabled());
    }

    // Another writer changed the device after the window read it: a field only it changed keeps its
    // value and the window shows it; a field both changed is asked about, and the answer decides.
    void anotherWritersChange_data()
    {
        QTest::addColumn<int>("theirs");  // the box whose field the other writer raised by 2
        QTest::addColumn<int>("answer");  // to the conflict box; None: no box
        QTest::newRow("another field") << int(UnoccCool) << int(Answer::None);
        QTest::newRow("the same field, overwrite") << int(OccHeat) << int(Answer::Yes);
        QTest::newRow("the same field, keep the device's") << int(OccHeat) << int(Answer::No);
        QTest::newRow("the same field, cancel") << int(OccHeat) << int(Answer::Cancel);
    }
    void anotherWritersChange()
    {
        QFETCH(int, theirs);
        QFETCH(int, answer);
        QVERIFY(m.makeWorld());
        QVERIFY(m.configure());
        testsupport::ScriptedMessageBoxes boxes;
        const QString other = QString::number(m.box(theirs)->text().toDouble() + 2);
        const QString mine = QString::number(m.box(OccHeat)->text().toDouble() - 1);
        m.type(OccHeat, mine);
        m.leave();
        m.setDeviceField(QStringLiteral("nciSetPts"), SetPointField(theirs), other);
        if (Answer(answer) != Answer::None)
            boxes.expect({.textContains = QStringLiteral("%1 was changed on the device since it was read, in fields "
                                                         "you changed too:\r\n\r\nOccupied heating setpoint: yours "
                                                         "%2, on the device now %3")
                                              .arg(m.path, mine, other),
                          .answer = Answer(answer)});
        m.ui().cmdApply->click();
        VERIFY_BOXES(boxes);
        const QStringList fields = m.deviceFields(QStringLiteral("nciSetPts"));
        const QString held = Answer(answer) == Answer::Yes || Answer(answer) == Answer::None ? mine : other;
        QCOMPARE(fields[SetPointField(OccHeat)].toDouble(), held.toDouble());
        QCOMPARE(fields[SetPointField(theirs)].toDouble(), theirs == OccHeat ? held.toDouble() : other.toDouble());
        // The window shows what the device holds, clean, unless nothing was written.
        const bool canceled = Answer(answer) == Answer::Cancel;
        QCOMPARE(m.box(OccHeat)->text().toDouble(), canceled ? mine.toDouble() : held.toDouble());
        QCOMPARE(m.box(theirs)->text().toDouble(),
                 theirs == OccHeat ? m.box(OccHeat)->text().toDouble() : other.toDouble());
        QCOMPARE(m.isRed(m.box(OccHeat)), canceled);
        QCOMPARE(m.w->ChangesPending, canceled);
        QCOMPARE(m.RowsStartingWith(QStringLiteral("Conflict on ")).size(), Answer(answer) == Answer::None ? 0 : 1);
    }

    void cancelRestoresFromMemory()
    {
        QVERIFY(m.makeWorld());
        QVERIFY(m.configure());
        testsupport::ScriptedMessageBoxes boxes;
        const QString heating = m.box(UnoccHeat)->text();
        const QString deadBand = m.box(DeadBand)->text();
        const QString setPointType = m.combo(0)->currentText();
        m.type(UnoccHeat, QStringLiteral("12"));
        m.enter(m.box(DeadBand));
        QTest::keyClick(m.box(DeadBand), Qt::Key_PageUp);
        m.enter(m.combo(0));
        QTest::keyClick(m.combo(0), Qt::Key_Down);
        m.leave();
        QVERIFY(m.combo(0)->currentText() != setPointType);
        m.log().Clear();
        const QString setPointsBefore = m.world->admin().nvText(m.ref, QStringLiteral("nciSetPts"));
        m.ui().cmdCancel->click();
        VERIFY_BOXES(boxes);
        QCOMPARE(m.box(UnoccHeat)->text(), heating);
        QCOMPARE(m.box(DeadBand)->text(), deadBand);
        QCOMPARE(m.combo(0)->currentText(), setPointType);
        for (QWidget* control : {static_cast<QWidget*>(m.box(UnoccHeat)), static_cast<QWidget*>(m.box(DeadBand)),
                                 static_cast<QWidget*>(m.combo(0))})
            QVERIFY(!m.isRed(control));
        QVERIFY(m.buttonsDisabled());
        QVERIFY(!m.w->ChangesPending);
        for (const auto& table : m.tables().NvTables)
            QVERIFY(!table->ValueAsChanges);
        // Nothing read, nothing written.
        QVERIFY(m.LogActions().isEmpty());
        QCOMPARE(m.world->admin().nvText(m.ref, QStringLiteral("nciSetPts")), setPointsBefore);
    }

private:
    ConfiguredWindow m;
};

QTEST_MAIN(TestApplyCancel)
#include "tst_ApplyCancel.moc"
