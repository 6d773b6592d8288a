// The model options on the real window: which frames, labels and fields each thermostat model
// switches off, which texts it clears, the RH Options tab, and the debug controls.
#include "binding/Specific.h"
#include "device/ConfigModel.h"
#include "framework/PlugInSession.h"
#include "framework/PlugInSettings.h"
#include "ui/main/fMainLayout.h"

#include <QComboBox>
#include <QGroupBox>
#include <QLabel>
#include <QLineEdit>
#include <QMainWindow>
#include <QPushButton>
#include <QTabWidget>
#include <QTest>
#include <memory>

class TestModelOptions : public QObject {
    Q_OBJECT

    std::unique_ptr<framework::PlugInSession> session;
    std::unique_ptr<QMainWindow> window;
    FMainControls c;

    // Every field shows a value, as after a read.
    void fillFields()
    {
        for (auto& [index, edit] : c.txtNvi)
            edit->setText(QStringLiteral("%1.5").arg(index));
        for (auto& [index, combo] : c.cbNvi)
            combo->setCurrentIndex(1);
    }

private slots:
    void init()
    {
        session = std::make_unique<framework::PlugInSession>();
        window = std::make_unique<QMainWindow>();
        c = BuildFMainLayout(window.get());
        window->show();
        QVERIFY(QTest::qWaitForWindowExposed(window.get()));
        fillFields();
    }
    void cleanup()
    {
        window.reset();
        session.reset();
    }

    void switchesByModel_data()
    {
        QTest::addColumn<int>("model");
        QTest::addColumn<bool>("rhTab");
        QTest::addColumn<bool>("controlType");  // frmControlType and frmAccTiming; cbNvi 5 and txtNvi 14 kept
        QTest::addColumn<bool>("cycles");       // lblCyclePerHour and cbNvi 1
        QTest::addColumn<bool>("acting");       // frmActing, cbNvi 6
        QTest::addColumn<bool>("autoLabel");    // lblAutoMode
        QTest::addColumn<bool>("autoCombo");    // cbNvi 14 enabled
        QTest::addColumn<bool>("autoKept");     // cbNvi 14 keeps its choice
        QTest::addColumn<bool>("fanMode");      // frmFanMode, cbNvi 10
        QTest::addColumn<bool>("sequence");     // frmSeqOperation, cbNvi 15
        //                          model  rh     ctrl   cycles acting autoL  autoC  autoK  fan    seq
        QTest::newRow("30 all") << 30 << true << true << true << true << true << true << true << true << true;
        QTest::newRow("41") << 41 << false << false << true << false << true << true << true << true << true;
        QTest::newRow("42") << 42 << false << false << true << false << true << true << true << true << true;
        QTest::newRow("43") << 43 << true << true << true << false << true << true << true << true << true;
        QTest::newRow("44") << 44 << false << true << true << false << true << true << true << true << true;
        QTest::newRow("45 reverse only") << 45 << true << true << true << false << true << true << true << true << true;
        QTest::newRow("46") << 46 << false << true << true << false << true << true << true << true << true;
        QTest::newRow("47") << 47 << true << false << false << true << true << true << true << true << true;
        QTest::newRow("48") << 48 << false << false << false << true << true << true << true << true << true;
        QTest::newRow("49") << 49 << true << false << false << true << true << true << true << true << true;
        QTest::newRow("50") << 50 << false << false << false << true << true << true << true << true << true;
        QTest::newRow("51 most off") << 51 << false << false << false << true << false << false << false << false
                                     << false;
        QTest::newRow("60") << 60 << false << true << true << false << true << false << true << false << true;
        QTest::newRow("61") << 61 << false << false << false << true << true << false << true << false << true;
        QTest::newRow("0 unknown") << 0 << true << true << true << true << true << true << true << true << true;
    }
    void switchesByModel()
    {
        QFETCH(int, model);
        QFETCH(bool, rhTab);
        QFETCH(bool, controlType);
        QFETCH(bool, cycles);
        QFETCH(bool, acting);
        QFETCH(bool, autoLabel);
        QFETCH(bool, autoCombo);
        QFETCH(bool, autoKept);
        QFETCH(bool, fanMode);
        QFETCH(bool, sequence);

        Specific::ApplyModelOptions(*session, qint16(model), c.windowControls());

        QCOMPARE(c.tabData->isTabEnabled(Specific::RhOptionsTab), rhTab);
        QCOMPARE(c.tabData->count(), 7);
        QCOMPARE(c.tabData->tabText(3), QStringLiteral("RH &Options"));

        QCOMPARE(c.frmControlType->isEnabled(), controlType);
        QCOMPARE(c.frmAccTiming->isEnabled(), controlType);
        QCOMPARE(c.cbNvi.at(5)->currentText(), controlType ? QStringLiteral("FLOATING") : QString());
        QCOMPARE(c.txtNvi.at(14)->text(), controlType ? QStringLiteral("14.5") : QString());
        // Disabled through their frame.
        QCOMPARE(c.cbNvi.at(5)->isEnabled(), controlType);
        QCOMPARE(c.txtNvi.at(14)->isEnabled(), controlType);

        QCOMPARE(c.lblCyclePerHour->isEnabled(), cycles);
        QCOMPARE(c.cbNvi.at(1)->isEnabled(), cycles);
        QCOMPARE(c.cbNvi.at(1)->currentText(), cycles ? QStringLiteral("4") : QString());

        QCOMPARE(c.frmActing->isEnabled(), acting);
        QCOMPARE(c.cbNvi.at(6)->currentText(), acting ? QStringLiteral("ON") : QString());

        QCOMPARE(c.lblAutoMode->isEnabled(), autoLabel);
        QCOMPARE(c.cbNvi.at(14)->isEnabled(), autoCombo);
        QCOMPARE(c.cbNvi.at(14)->currentText(), autoKept ? QStringLiteral("ON") : QString());

        QCOMPARE(c.frmFanMode->isEnabled(), fanMode);
        QCOMPARE(c.cbNvi.at(10)->currentText(), fanMode ? QStringLiteral("LOW_HIGH") : QString());

        QCOMPARE(c.frmSeqOperation->isEnabled(), sequence);
        QCOMPARE(c.cbNvi.at(15)->currentText(), sequence ? QStringLiteral("HEATING_ONLY") : QString());

        // Nothing else is touched.
        for (const auto& [index, edit] : c.txtNvi) {
            if (index != 14)
                QCOMPARE(edit->text(), QStringLiteral("%1.5").arg(index));
        }
        for (int index : {0, 2, 3, 4, 7, 8, 9, 11, 12, 13})
            QCOMPARE(c.cbNvi.at(index)->currentIndex(), 1);
        QVERIFY(c.cmdDebug->isHidden());
        QVERIFY(c.txtDebug->isHidden());
    }

    void anotherModelEnablesAgainButRestoresNoText()
    {
        Specific::ApplyModelOptions(*session, 51, c.windowControls());
        Specific::ApplyModelOptions(*session, 30, c.windowControls());
        QVERIFY(c.tabData->isTabEnabled(3));
        for (QWidget* w : std::initializer_list<QWidget*>{c.frmControlType, c.frmAccTiming, c.lblCyclePerHour,
                                                          c.cbNvi.at(1), c.frmActing, c.lblAutoMode, c.cbNvi.at(14),
                                                          c.frmFanMode, c.frmSeqOperation})
            QVERIFY2(w->isEnabled(), qPrintable(w->objectName()));
        // What the first model cleared stays empty until the next read fills it.
        QCOMPARE(c.txtNvi.at(14)->text(), QString());
        for (int index : {1, 5, 10, 14, 15})
            QCOMPARE(c.cbNvi.at(index)->currentText(), QString());
    }

    void rhTabSwitchedOffWhileShown()
    {
        c.tabData->setCurrentIndex(3);
        Specific::ApplyModelOptions(*session, 60, c.windowControls());
        QVERIFY(!c.tabData->isTabEnabled(3));
        QVERIFY(c.tabData->isTabVisible(3));
        Specific::ApplyModelOptions(*session, 45, c.windowControls());
        QVERIFY(c.tabData->isTabEnabled(3));
    }

    void debugControls_data()
    {
        QTest::addColumn<int>("debug");
        QTest::addColumn<bool>("shown");
        QTest::newRow("debug on") << 1 << true;
        QTest::newRow("debug off") << 0 << false;
    }
    void debugControls()
    {
        QFETCH(int, debug);
        QFETCH(bool, shown);
        session->DebugMode = qint16(debug);
        Specific::ApplyModelOptions(*session, 30, c.windowControls());
        QCOMPARE(c.cmdDebug->isVisible(), shown);
        QCOMPARE(c.txtDebug->isVisible(), shown);
        // Off later leaves them as they are.
        session->DebugMode = 0;
        Specific::ApplyModelOptions(*session, 51, c.windowControls());
        QCOMPARE(c.cmdDebug->isVisible(), shown);
        QCOMPARE(c.txtDebug->isVisible(), shown);
    }

    // What the window switches off for a model is what the configuration model says that model
    // cannot set: a profile skips exactly the fields the window greys.
    void windowDisablesTheModelsDisabledItems_data()
    {
        QTest::addColumn<int>("model");
        for (int model : {0, 30, 41, 42, 43, 44, 45, 46, 47, 48, 49, 50, 51, 60, 61})
            QTest::newRow(qPrintable(QString::number(model))) << model;
    }
    void windowDisablesTheModelsDisabledItems()
    {
        QFETCH(int, model);
        Specific::ApplyModelOptions(*session, qint16(model), c.windowControls());
        const QSet<QString> disabled = device::config::DisabledItems(qint16(model));
        for (const device::config::Item& item : device::config::Items()) {
            if (item.kind == device::config::ItemKind::ReadOnly)
                continue;
            QWidget* control = item.kind == device::config::ItemKind::Choice
                                   ? static_cast<QWidget*>(c.cbNvi.at(item.controlIndex))
                                   : c.txtNvi.at(item.controlIndex);
            QVERIFY2(control->isEnabled() != disabled.contains(item.name), qPrintable(item.name));
        }
    }

    void missingControlFails()
    {
        device::WindowControls controls = c.windowControls();
        controls.cbNvi.erase(6);
        try {
            Specific::ApplyModelOptions(*session, 45, controls);
            QFAIL("no failure");
        } catch (const com::ComError& e) {
            QCOMPARE(e.number(), 9);
        }
        // Steps before the missing control have run.
        QVERIFY(c.frmControlType->isEnabled());
        QVERIFY(!c.frmActing->isEnabled());
    }
};

QTEST_MAIN(TestModelOptions)
#include "tst_ModelOptions.moc"
