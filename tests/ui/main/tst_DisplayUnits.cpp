// Switching the display units of the configuration window showing a demo thermostat: relabelling,
// reading everything again in the new units, the warning about pending edits, saving only at a
// confirmed exit, and values entered in either unit system arriving in the device as the same
// temperature, also after a re-read that failed; the set-point band following the fields in either.
#include "ConfiguredWindow.h"
#include "device/Units.h"
#include "platform/toolkit/Translations.h"
#include "ui/main/SetpointBand.h"

#include <QProcess>

using namespace windowtest;

namespace {

const testsupport::ExpectedBox Warning(Answer answer)
{
    return {QStringLiteral("This action will discard all changes\r\n\r\nProceed and lose all changes ?"),
            answer,
            QStringLiteral("Warning"),
            Buttons::OkCancel,
            Icon::Exclamation,
            true};
}

QString SavedUnits()
{
    return framework::CRegistry().MachineSetting(framework::PlugInKey(), QStringLiteral("DisplayUnits"));
}

}  // namespace

class TestDisplayUnits : public QObject {
    Q_OBJECT
private slots:
    void init() { QVERIFY(m.makeWorld()); }
    void cleanup() { m.tearDown(); }

    // The band shows what is typed, before the rules run on leaving, in the display units; a field
    // nobody changed with the device's own value, not its rounded text.
    void setpointBandFollowsTheFields_data()
    {
        QTest::addColumn<int>("units");
        QTest::addColumn<QString>("typed");
        QTest::addColumn<int>("state");
        QTest::addColumn<bool>("bandBroken");
        QTest::newRow("metric, dead band broken while typing")
            << 0 << "21.5" << int(SetpointBand::Mark::BrokenRule) << true;
        QTest::newRow("imperial, within the rules") << 1 << "80" << int(SetpointBand::Mark::Ok) << false;
    }
    void setpointBandFollowsTheFields()
    {
        QFETCH(int, units);
        QFETCH(QString, typed);
        QFETCH(int, state);
        QFETCH(bool, bandBroken);
        QVERIFY(m.configure());
        testsupport::ScriptedMessageBoxes boxes;
        m.chooseUnits(units);
        const SetpointBand::Model& band = m.ui().setpointBand->model();
        QCOMPARE(band.unit, device::UnitSymbol(qint16(units)));
        QCOMPARE(int(band.marks.size()), 6);
        QCOMPARE(band.find(QStringLiteral("nciSetPts.occ_heat"))->value,
                 m.deviceSetPoint(OccHeat, units ? QStringLiteral("SNVT_temp_setpt#US") : QString()));
        m.type(OccCool, typed);
        const SetpointBand::Mark* cooling = band.find(QStringLiteral("nciSetPts.occ_cool"));
        QVERIFY(cooling);
        QCOMPARE(cooling->value, typed.toDouble());
        QCOMPARE(int(cooling->state), state);
        QCOMPARE(band.bandBroken, bandBroken);
        VERIFY_BOXES(boxes);
    }

    // A set point a rule moved counts with its new text at once: 72 °F typed in heating moves cooling
    // from the device's 75.2 to 75.6, and the band shows the rule kept, not broken.
    void setpointBandFollowsARulesAdjustment()
    {
        QVERIFY(m.configure());
        testsupport::ScriptedMessageBoxes boxes;
        m.chooseUnits(1);
        boxes.expect(QStringLiteral("The deadband limitation was not respected."));
        m.type(OccHeat, QStringLiteral("72"));
        m.leave();
        VERIFY_BOXES(boxes);
        QCOMPARE(m.box(OccCool)->text(), QStringLiteral("75.6"));
        const SetpointBand::Model& band = m.ui().setpointBand->model();
        QVERIFY(!band.bandBroken);
        QCOMPARE(int(band.find(QStringLiteral("nciSetPts.occ_cool"))->state), int(SetpointBand::Mark::Ok));
    }

    // Under a German locale the window's boxes speak German, while the log keeps its English rows.
    void boxesSpeakTheUsersLanguage()
    {
        QVERIFY(toolkit::InstallTranslations(QLocale(QStringLiteral("de_DE"))));
        const auto english = qScopeGuard([] { toolkit::InstallTranslations(QLocale::c()); });
        QVERIFY(m.configure());
        testsupport::ScriptedMessageBoxes boxes;
        boxes.expect(QStringLiteral("Korrektur des Raumfühlers außerhalb des Bereichs\r\n\r\nDer kleinste zulässige "
                                    "Wert ist: -2.5\r\n\r\nDer Wert wurde angepasst"));
        m.ui().tabData->setCurrentIndex(2);
        m.type(6, QStringLiteral("-5"));
        m.ui().cmdApply->click();
        QCOMPARE(m.RowsStartingWith(QStringLiteral("Updating ")), QStringList{QStringLiteral("Updating nciGenOpts")});
        // A rule's refusal: the reason and the item in German in the box, English in the log.
        m.ui().tabData->setCurrentIndex(0);
        boxes.expect({.textContains = QStringLiteral("Die Änderungen wurden nicht übernommen:\r\n\r\nHeizsollwert "
                                                     "belegt: 21.333 ist feiner, als das Gerät speichert")});
        m.type(OccHeat, QStringLiteral("21.333"));
        m.leave();
        m.ui().cmdApply->click();
        VERIFY_BOXES(boxes);
        QCOMPARE(m.RowsStartingWith(QStringLiteral("The changes")),
                 QStringList{QStringLiteral("The changes were not applied:")});
        m.ui().cmdCancel->click();
        m.chooseUnits(1);
        boxes.expect(QStringLiteral("Die Totzone wurde nicht eingehalten.\r\n\r\nDie Werte wurden angepasst"));
        m.type(OccHeat, QStringLiteral("72"));
        m.leave();
        boxes.expect({.textContains = QStringLiteral("Diese Aktion verwirft alle Änderungen"),
                      .answer = toolkit::Answer::Cancel,
                      .title = QStringLiteral("Warnung")});
        m.chooseUnits(0);
        VERIFY_BOXES(boxes);
        QCOMPARE(m.ui().tabData->tabText(0), QStringLiteral("&Heizen - Kühlen"));
        QCOMPARE(m.ui().StatusBarPanel.at(1)->text(), QStringLiteral("Konfiguriert, online"));
    }

    void theSelectedOptionDoesNothing()
    {
        QVERIFY(m.configure());
        testsupport::ScriptedMessageBoxes boxes;
        m.type(OccHeat, QStringLiteral("20"));
        m.leave();
        m.log().Clear();
        m.chooseUnits(0);
        m.w->obUnits_Click(0);
        VERIFY_BOXES(boxes);
        QVERIFY(m.LogActions().isEmpty());
        QVERIFY(m.isRed(m.box(OccHeat)));
        QCOMPARE(m.box(OccHeat)->text(), QStringLiteral("20"));
    }

    void switchingReadsEverythingAgain_data()
    {
        QTest::addColumn<int>("to");
        QTest::addColumn<QString>("symbol");
        QTest::addColumn<QString>("occupiedHeating");
        QTest::addColumn<QString>("stepped");
        // 21 °C is 69.8 °F, shown on its 0.5 step.
        QTest::newRow("to imperial") << 1 << QStringLiteral("\u00BAF") << "70"
                                     << "70.5";
        QTest::newRow("back to metric") << 0 << QStringLiteral("\u00BAC") << "21"
                                        << "21.5";
    }
    void switchingReadsEverythingAgain()
    {
        QFETCH(int, to);
        QFETCH(QString, symbol);
        QFETCH(QString, occupiedHeating);
        QFETCH(QString, stepped);
        QVERIFY(m.configure());
        testsupport::ScriptedMessageBoxes boxes;
        if (to == 0) {
            m.chooseUnits(1);
            QCOMPARE(m.box(OccHeat)->text(), QStringLiteral("70"));
        }
        m.log().Clear();
        m.chooseUnits(to);
        VERIFY_BOXES(boxes);
        QCOMPARE(int(m.session->DisplayUnits), to);
        QVERIFY(m.ui().obUnits.at(to)->isChecked());
        QCOMPARE(int(m.ui().txtTempUnits.size()), 8);
        for (const auto& [index, label] : m.ui().txtTempUnits)
            QCOMPARE(label->text(), symbol);
        for (const auto& [index, label] : m.ui().txtPercentUnits)
            QCOMPARE(label->text(), QStringLiteral("%"));
        QCOMPARE(m.LogActions(), m.AllReadingRows());
        QCOMPARE(m.LogActions().size(), 11);
        const QStringList read = m.LogResults(0).split(QLatin1Char(','));
        QCOMPARE(read.value(3).toDouble(), to ? 69.8 : 21.0);
        QCOMPARE(m.box(OccHeat)->text(), occupiedHeating);
        QVERIFY(!m.isRed(m.box(OccHeat)));
        m.enter(m.box(OccHeat));
        QTest::keyClick(m.box(OccHeat), Qt::Key_PageUp);
        QCOMPARE(m.box(OccHeat)->text(), stepped);
        // Relative humidity is the same in both systems.
        QCOMPARE(m.box(7)->text(), m.deviceFields(QStringLiteral("nciRHmodel")).value(1));
        // Nothing saved yet.
        QCOMPARE(SavedUnits(), QStringLiteral("0"));
    }

    // Asked however the other option is chosen; while the question is open the option still shows
    // the units the values are in, and it moves only when the answer is OK.
    void pendingEditsAreAskedAbout_data()
    {
        QTest::addColumn<int>("answer");
        QTest::addColumn<QString>("how");
        for (const char* how : {"click", "access key", "arrow key"}) {
            QTest::newRow(qPrintable(QStringLiteral("Cancel keeps everything, %1").arg(QLatin1String(how))))
                << int(Answer::Cancel) << how;
            QTest::newRow(qPrintable(QStringLiteral("OK discards the edits, %1").arg(QLatin1String(how))))
                << int(Answer::Ok) << how;
        }
    }
    void pendingEditsAreAskedAbout()
    {
        QFETCH(int, answer);
        QFETCH(QString, how);
        const bool proceed = Answer(answer) == Answer::Ok;
        QVERIFY(m.configure());
        testsupport::ScriptedMessageBoxes boxes;
        m.type(OccHeat, QStringLiteral("20"));
        m.enter(m.combo(0));
        QTest::keyClick(m.combo(0), Qt::Key_Down);
        m.leave();
        m.log().Clear();
        boxes.expect(Warning(Answer(answer)));
        QList<bool> shownWhileAsked;
        boxes.onAsk = [&](int) {
            shownWhileAsked = {m.ui().obUnits.at(0)->isChecked(), m.ui().obUnits.at(1)->isChecked()};
        };
        if (how == QLatin1String("click")) {
            m.chooseUnits(1);
        } else if (how == QLatin1String("access key")) {
            QTest::keyClick(m.w, Qt::Key_I, Qt::AltModifier);
            QTRY_COMPARE(boxes.seen().size(), 1);
        } else {
            m.enter(m.ui().obUnits.at(0));
            QTest::keyClick(m.ui().obUnits.at(0), Qt::Key_Down);
        }
        VERIFY_BOXES(boxes);
        QCOMPARE(shownWhileAsked, QList<bool>({true, false}));
        QCOMPARE(int(m.session->DisplayUnits), proceed ? 1 : 0);
        QCOMPARE(m.ui().obUnits.at(1)->isChecked(), proceed);
        QCOMPARE(m.ui().obUnits.at(0)->isChecked(), !proceed);
        for (const auto& [index, label] : m.ui().txtTempUnits)
            QCOMPARE(label->text(), proceed ? QStringLiteral("\u00BAF") : QStringLiteral("\u00BAC"));
        QCOMPARE(m.LogActions(), proceed ? m.AllReadingRows() : QStringList{});
        QCOMPARE(m.box(OccHeat)->text(), proceed ? QStringLiteral("70") : QStringLiteral("20"));
        QCOMPARE(m.combo(0)->currentIndex(), proceed ? 0 : 1);
        QCOMPARE(m.isRed(m.box(OccHeat)), !proceed);
        QCOMPARE(m.isRed(m.combo(0)), !proceed);
        QCOMPARE(m.w->ChangesPending, !proceed);
        QCOMPARE(m.buttonsEnabled(), !proceed);
        for (const auto& table : m.tables().NvTables)
            QVERIFY(!table->ValueAsChanges);
        // The edit was never written.
        QCOMPARE(m.deviceSetPoint(OccHeat), 21.0);
    }

    void unitsAreSavedOnlyAtAConfirmedExit_data()
    {
        QTest::addColumn<QString>("ending");
        QTest::addColumn<QString>("saved");
        QTest::newRow("exit confirmed") << "yes"
                                        << "1";
        QTest::newRow("exit refused") << "no"
                                      << "0";
        QTest::newRow("ended by the director") << "director"
                                               << "0";
    }
    void unitsAreSavedOnlyAtAConfirmedExit()
    {
        QFETCH(QString, ending);
        QFETCH(QString, saved);
        QVERIFY(m.configure());
        testsupport::ScriptedMessageBoxes boxes;
        m.chooseUnits(1);
        QCOMPARE(int(m.session->DisplayUnits), 1);
        QCOMPARE(SavedUnits(), QStringLiteral("0"));
        if (ending == QLatin1String("director")) {
            // The director hides the window and lets go of its object.
            m.objects.back()->SetVisible(false);
            m.objects.clear();
        } else {
            boxes.expect({QStringLiteral("Are you sure that you want to exit?"),
                          ending == QLatin1String("yes") ? Answer::Yes : Answer::No, framework::PlugInName(),
                          Buttons::YesNo});
            QTest::mouseClick(m.ui().cmdExit, Qt::LeftButton);
        }
        VERIFY_BOXES(boxes);
        QCOMPARE(m.world->programEnds(), ending == QLatin1String("no") ? 0 : 1);
        QCOMPARE(SavedUnits(), saved);
    }

    void valuesArriveAsTheSameTemperature_data()
    {
        QTest::addColumn<int>("units");
        QTest::addColumn<QString>("typed");
        QTest::addColumn<double>("celsius");
        QTest::newRow("metric") << 0 << "22.5" << 22.5;
        QTest::newRow("imperial") << 1 << "72.5" << 22.5;
        QTest::newRow("imperial, whole degrees") << 1 << "68" << 20.0;
    }
    void valuesArriveAsTheSameTemperature()
    {
        QFETCH(int, units);
        QFETCH(QString, typed);
        QFETCH(double, celsius);
        // Cooling well above the heating typed: no rule fires.
        m.setDeviceBox(OccCool, QStringLiteral("26"));
        QVERIFY(m.configure());
        testsupport::ScriptedMessageBoxes boxes;
        const QStringList before = m.deviceFields(QStringLiteral("nciSetPts"));
        if (units == 1)
            m.chooseUnits(1);
        m.type(OccHeat, typed);
        m.leave();
        m.ui().cmdApply->click();
        VERIFY_BOXES(boxes);
        // Read back in the device's default format, degrees Celsius.
        const QStringList after = m.deviceFields(QStringLiteral("nciSetPts"));
        QVERIFY2(std::abs(after.value(3).toDouble() - celsius) < 0.006, qPrintable(after.join(QLatin1Char(','))));
        for (const int field : {0, 1, 2, 4, 5})
            QVERIFY2(std::abs(after.value(field).toDouble() - before.value(field).toDouble()) < 0.006,
                     qPrintable(after.join(QLatin1Char(','))));
        // And as a director sees it: lnsdirector nv get in its default format (°C).
        QProcess director;
        director.start(
            testsupport::BinDir() + QStringLiteral("/lnsdirector"),
            {QStringLiteral("nv"), QStringLiteral("get"), QStringLiteral("Demo"), m.path, QStringLiteral("nciSetPts")});
        QVERIFY(director.waitForFinished(30000));
        QCOMPARE(director.exitCode(), 0);
        const QStringList lines =
            QString::fromUtf8(director.readAllStandardOutput()).trimmed().split(QLatin1Char('\n'));
        QVERIFY(lines.first().endsWith(QStringLiteral("SNVT_temp_setpt#SI")));
        QVERIFY2(std::abs(lines.last().split(QLatin1Char(',')).value(3).toDouble() - celsius) < 0.006,
                 qPrintable(lines.last()));
    }

    void aFailedReReadKeepsTheUnitsOfTheValuesInMemory_data()
    {
        QTest::addColumn<int>("from");
        QTest::newRow("metric values under imperial labels") << 0;
        QTest::newRow("imperial values under metric labels") << 1;
    }
    void aFailedReReadKeepsTheUnitsOfTheValuesInMemory()
    {
        QFETCH(int, from);
        framework::CRegistry().SetMachineSetting(framework::PlugInKey(), QStringLiteral("DisplayUnits"),
                                                 QString::number(from));
        QVERIFY(m.configure());
        testsupport::ScriptedMessageBoxes boxes;
        const QStringList before = m.deviceFields(QStringLiteral("nciGenOpts"));
        const QString shown = m.box(HeatMax)->text();
        switchUnitsWhileUnreachable(boxes, 1 - from);
        VERIFY_BOXES(boxes);
        QCOMPARE(int(m.session->DisplayUnits), 1 - from);
        QCOMPARE(m.ui().txtTempUnits.at(0)->text(), device::UnitSymbol(qint16(1 - from)));
        // The fields still show the values of the last read.
        QCOMPARE(m.box(HeatMax)->text(), shown);

        // The device answers again; a choice of the same variable is not applied, as it would write
        // the limits, dead band and sensor offset held in memory along with it, until a read.
        m.setFaults(DeviceFaults{});
        m.enter(m.combo(0));
        QTest::keyClick(m.combo(0), Qt::Key_Down);
        boxes.expect({QStringLiteral("nciGenOpts could not be read from the device"), Answer::Ignore,
                      QStringLiteral("fMain cmdApply_Click"), Buttons::AbortRetryIgnore, Icon::Information});
        m.ui().cmdApply->click();
        VERIFY_BOXES(boxes);
        QCOMPARE(m.deviceFields(QStringLiteral("nciGenOpts")), before);
        QVERIFY(m.isRed(m.combo(0)));
    }

    // A value typed under the new units into a variable still holding values in the old ones (its
    // re-read failed) is refused, stays an edit, and arrives right once the variable is read again.
    void aValueTypedIntoValuesOfOtherUnitsWaitsForARead()
    {
        QVERIFY(m.configure());
        testsupport::ScriptedMessageBoxes boxes;
        const QStringList before = m.deviceFields(QStringLiteral("nciGenOpts"));
        switchUnitsWhileUnreachable(boxes, 1);
        VERIFY_BOXES(boxes);
        m.setFaults(DeviceFaults{});

        // 86 °F is 30 °C; as a value of the metric fields in memory it would be 86 °C.
        m.type(HeatMax, QStringLiteral("86"));
        m.leave();
        boxes.expect({QStringLiteral("nciGenOpts could not be read from the device"), Answer::Ignore,
                      QStringLiteral("fMain cmdApply_Click"), Buttons::AbortRetryIgnore, Icon::Information});
        m.ui().cmdApply->click();
        VERIFY_BOXES(boxes);
        QCOMPARE(m.deviceFields(QStringLiteral("nciGenOpts")), before);
        QVERIFY(m.isRed(m.box(HeatMax)));
        QVERIFY(m.w->ChangesPending);
        QVERIFY(m.ui().cmdApply->isEnabled());

        m.ui().cmdRefresh->click();
        VERIFY_BOXES(boxes);
        QCOMPARE(m.box(HeatMax)->text(), QStringLiteral("86"));
        m.ui().cmdApply->click();
        VERIFY_BOXES(boxes);
        const QStringList after = m.deviceFields(QStringLiteral("nciGenOpts"));
        QVERIFY2(std::abs(after.value(GenOptsField(HeatMax)).toDouble() - 30.0) < 0.02,
                 qPrintable(after.join(QLatin1Char(','))));
        QVERIFY(!m.isRed(m.box(HeatMax)));
    }

private:
    // Chooses the units while the device does not answer: every variable is asked for in the new
    // units, none answers, and each failure is ignored.
    void switchUnitsWhileUnreachable(testsupport::ScriptedMessageBoxes& boxes, int units)
    {
        DeviceFaults unreachable;
        unreachable.unreachable = true;
        m.setFaults(unreachable);
        for (const auto& table : m.tables().NvTables)
            boxes.expect({QStringLiteral("Error reading ") + table->Name + QStringLiteral(" "), Answer::Ignore,
                          QStringLiteral("fMain ReadInitValues"), Buttons::AbortRetryIgnore, Icon::Critical});
        m.chooseUnits(units);
    }

    ConfiguredWindow m;
};

QTEST_MAIN(TestDisplayUnits)
#include "tst_DisplayUnits.moc"
