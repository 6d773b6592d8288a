// Editing the fields of the configuration window showing a demo thermostat: the keystroke filter,
// Page Up / Page Down, the numeric check on leaving, changes that type no character, the cross-field
// rules, and the combo boxes. Keys, focus changes and pastes go to the real widgets.
// One program past 600 lines on purpose: each test program links the whole plug-in and builds its own demo
// world, so the editing rules stay together here rather than pay that cost several times.
#include "ConfiguredWindow.h"

#include <QMimeData>

using namespace windowtest;

namespace {

const QString DeadBandNotice =
    QStringLiteral("The deadband limitation was not respected.\r\n\r\nAdjustment where made");
const QString HeatingNotice = QStringLiteral("Heating maximum limit was not respected.\r\n\r\nAdjustment where made");
const QString CoolingNotice = QStringLiteral("Cooling minimum limit was not respected.\r\n\r\nAdjustment where made");

testsupport::ExpectedBox Notice(const QString& text)
{
    return {text, Answer::Ok, framework::ApplicationTitle(), Buttons::Ok, Icon::None, true};
}

const testsupport::ExpectedBox NotNumerical{QStringLiteral("Value must be numerical"),
                                            Answer::Ok,
                                            QStringLiteral("Invalid value"),
                                            Buttons::Ok,
                                            Icon::Exclamation,
                                            true};

}  // namespace

class TestFieldEditing : public QObject {
    Q_OBJECT
private slots:
    void init() { QVERIFY(m.makeWorld()); }
    void cleanup() { m.tearDown(); }

    void keystrokeFilter_data()
    {
        QTest::addColumn<int>("index");
        QTest::addColumn<QString>("typed");
        QTest::addColumn<QString>("kept");
        QTest::newRow("a letter in a set point") << 0 << "a"
                                                 << "";
        QTest::newRow("digits, minus, colon and point in a set point") << 0 << "1-:.5"
                                                                       << "1-:.5";
        QTest::newRow("a point in the dead band") << 16 << "."
                                                  << ".";
        QTest::newRow("letters between digits") << 3 << "2x5 y"
                                                << "25";
        QTest::newRow("a point in the RH set point") << 7 << "1.5"
                                                     << "15";
        QTest::newRow("a point in the dehumidification hysteresis") << 8 << "."
                                                                    << "";
        QTest::newRow("a point in the maximum cooling output") << 9 << "."
                                                               << "";
        QTest::newRow("a point in the temporary occupied time") << 17 << "."
                                                                << "";
        QTest::newRow("a point in the door time") << 18 << "3.5"
                                                  << "35";
        QTest::newRow("a point in the RH calibration") << 10 << "1.5"
                                                       << "15";
        QTest::newRow("a point in the output heartbeat") << 39 << "0.5"
                                                         << "0.5";
    }
    void keystrokeFilter()
    {
        QFETCH(int, index);
        QFETCH(QString, typed);
        QFETCH(QString, kept);
        QVERIFY(m.configure());
        testsupport::ScriptedMessageBoxes boxes;
        m.ui().tabData->setCurrentWidget(tabOf(m.box(index)));
        QLineEdit* box = m.box(index);
        const QString before = box->text();
        QVERIFY(!before.isEmpty());
        QVERIFY(!m.isRed(box));
        QVERIFY(m.buttonsDisabled());
        m.enter(box);
        QTest::keyClick(box, Qt::Key_End);
        // Moving the cursor types nothing and is no edit.
        QVERIFY(!m.isRed(box));
        QVERIFY(!m.w->ChangesPending);
        QTest::keyClicks(box, typed);
        QCOMPARE(box->text(), before + kept);
        QVERIFY(m.isRed(box));
        QVERIFY(m.w->ChangesPending);
        QVERIFY(m.buttonsEnabled());
        VERIFY_BOXES(boxes);
    }

    void backspaceMarksAndEnterDoesNotApply_data()
    {
        QTest::addColumn<int>("key");
        QTest::addColumn<int>("removed");
        QTest::newRow("Backspace") << int(Qt::Key_Backspace) << 1;
        QTest::newRow("Enter") << int(Qt::Key_Return) << 0;
        QTest::newRow("Escape") << int(Qt::Key_Escape) << 0;
    }
    void backspaceMarksAndEnterDoesNotApply()
    {
        QFETCH(int, key);
        QFETCH(int, removed);
        QVERIFY(m.configure());
        testsupport::ScriptedMessageBoxes boxes;
        QLineEdit* box = m.box(OccHeat);
        const QString before = box->text();
        m.enter(box);
        QTest::keyClick(box, Qt::Key_End);
        QTest::keyClick(box, Qt::Key(key));
        QCOMPARE(box->text(), before.chopped(removed));
        QVERIFY(m.isRed(box));
        QVERIFY(m.buttonsEnabled());
        // Nothing was applied.
        QVERIFY(m.RowsStartingWith(QStringLiteral("Updating ")).isEmpty());
        VERIFY_BOXES(boxes);
    }

    void lockedBoxesIgnoreEverything()
    {
        QVERIFY(m.configure());
        testsupport::ScriptedMessageBoxes boxes;
        m.ui().tabData->setCurrentIndex(6);
        for (const int index : {11, 12, 13, 15}) {
            QLineEdit* box = m.box(index);
            const QString before = box->text();
            m.enter(box);
            QTest::keyClicks(box, QStringLiteral("5a"));
            QTest::keyClick(box, Qt::Key_PageUp);
            QTest::keyClick(box, Qt::Key_Delete);
            m.leave();
            QCOMPARE(box->text(), before);
            QVERIFY(!m.isRed(box));
        }
        QVERIFY(!m.w->ChangesPending);
        QVERIFY(m.buttonsDisabled());
        VERIFY_BOXES(boxes);
    }

    void pageStepping_data()
    {
        QTest::addColumn<QString>("start");
        QTest::addColumn<int>("key");
        QTest::addColumn<int>("modifiers");
        QTest::addColumn<QString>("result");
        QTest::addColumn<bool>("marked");
        const int up = Qt::Key_PageUp;
        const int down = Qt::Key_PageDown;
        QTest::newRow("Page Up") << "21.5" << up << int(Qt::NoModifier) << "22" << true;
        QTest::newRow("Page Down") << "21.5" << down << int(Qt::NoModifier) << "21" << true;
        QTest::newRow("Shift Page Up") << "21.5" << up << int(Qt::ShiftModifier) << "31.5" << true;
        QTest::newRow("Alt Page Down") << "21.5" << down << int(Qt::AltModifier) << "20.5" << true;
        // Ctrl+Page Down alone goes to the next tab (tabKeysFromEveryControl).
        QTest::newRow("Ctrl Shift Page Up leaves the number")
            << "21.5" << up << int(Qt::ControlModifier | Qt::ShiftModifier) << "21.5" << true;
        QTest::newRow("Shift Alt Page Up")
            << "21.5" << up << int(Qt::ShiftModifier | Qt::AltModifier) << "22.5" << true;
        QTest::newRow("Ctrl Alt Page Down")
            << "21.5" << down << int(Qt::ControlModifier | Qt::AltModifier) << "20.5" << true;
        QTest::newRow("no limit check") << "35.5" << up << int(Qt::ShiftModifier) << "45.5" << true;
        QTest::newRow("below zero") << "0.2" << down << int(Qt::NoModifier) << "-0.3" << true;
        QTest::newRow("a tie goes to the even digit, up") << "21.25" << up << int(Qt::NoModifier) << "21.8" << true;
        QTest::newRow("a tie goes to the even digit, down") << "21.25" << down << int(Qt::NoModifier) << "20.8" << true;
        QTest::newRow("a tie below an even digit") << "20.75" << up << int(Qt::NoModifier) << "21.2" << true;
        QTest::newRow("empty box") << "" << up << int(Qt::NoModifier) << "" << false;
        QTest::newRow("not a number") << "1:30" << down << int(Qt::NoModifier) << "1:30" << false;
    }
    void pageStepping()
    {
        QFETCH(QString, start);
        QFETCH(int, key);
        QFETCH(int, modifiers);
        QFETCH(QString, result);
        QFETCH(bool, marked);
        QVERIFY(m.configure());
        testsupport::ScriptedMessageBoxes boxes;
        QLineEdit* box = m.box(OccHeat);
        // The text comes from the device, so the box starts clean.
        box->setText(start);
        m.enter(box);
        QTest::keyClick(box, Qt::Key(key), Qt::KeyboardModifiers(modifiers));
        QCOMPARE(box->text(), result);
        QCOMPARE(m.isRed(box), marked);
        QCOMPARE(m.w->ChangesPending, marked);
        QCOMPARE(m.buttonsEnabled(), marked);
        VERIFY_BOXES(boxes);
    }

    void stepsFromTheShownValue()
    {
        // A device value that rounds for display steps from what is shown.
        m.setDeviceBox(OccHeat, QStringLiteral("21.3"));
        QVERIFY(m.configure());
        QCOMPARE(m.box(OccHeat)->text(), QStringLiteral("21.5"));
        m.enter(m.box(OccHeat));
        QTest::keyClick(m.box(OccHeat), Qt::Key_PageUp);
        QTest::keyClick(m.box(OccHeat), Qt::Key_PageUp);
        QCOMPARE(m.box(OccHeat)->text(), QStringLiteral("22.5"));
    }

    // Fields whose variable holds whole numbers: Page Up / Page Down step by whole numbers, and a
    // decimal that arrives without typing (pasted) is refused as any other text that is no value.
    void wholeNumberFields_data()
    {
        QTest::addColumn<int>("index");
        QTest::addColumn<QString>("start");
        QTest::addColumn<QString>("pasted");  // empty: nothing pasted
        QTest::addColumn<int>("key");         // 0: no key
        QTest::addColumn<int>("modifiers");
        QTest::addColumn<QString>("shown");  // before leaving
        QTest::addColumn<bool>("refused");
        const int up = Qt::Key_PageUp;
        const int down = Qt::Key_PageDown;
        const int none = int(Qt::NoModifier);
        QTest::newRow("Page Up in the RH set point") << 7 << "45"
                                                     << "" << up << none << "46" << false;
        QTest::newRow("Page Down in the hysteresis") << 8 << "5"
                                                     << "" << down << none << "4" << false;
        QTest::newRow("Page Up in the maximum cooling output") << 9 << "80"
                                                               << "" << up << none << "81" << false;
        QTest::newRow("Page Down in the RH calibration") << 10 << "0"
                                                         << "" << down << none << "-1" << false;
        QTest::newRow("Page Up in the temporary occupied time") << 17 << "3"
                                                                << "" << up << none << "4" << false;
        QTest::newRow("Shift Page Up in the door time") << 18 << "5"
                                                        << "" << up << int(Qt::ShiftModifier) << "15" << false;
        QTest::newRow("Ctrl Shift Page Up still leaves the number")
            << 18 << "5"
            << "" << up << int(Qt::ControlModifier | Qt::ShiftModifier) << "5" << false;
        QTest::newRow("a pasted decimal in the RH set point") << 7 << "45"
                                                              << "45.5" << 0 << none << "45.5" << true;
        QTest::newRow("a pasted decimal in the RH calibration") << 10 << "0"
                                                                << "1.5" << 0 << none << "1.5" << true;
        QTest::newRow("a pasted whole number with a point") << 9 << "80"
                                                            << "50.0" << 0 << none << "50.0" << true;
        QTest::newRow("a pasted decimal is not stepped") << 17 << "3"
                                                         << "2.5" << up << none << "2.5" << true;
        QTest::newRow("a pasted whole number") << 8 << "5"
                                               << "7" << 0 << none << "7" << false;
        QTest::newRow("a pasted decimal in a set point") << 0 << "21"
                                                         << "21.5" << 0 << none << "21.5" << false;
    }
    void wholeNumberFields()
    {
        QFETCH(int, index);
        QFETCH(QString, start);
        QFETCH(QString, pasted);
        QFETCH(int, key);
        QFETCH(int, modifiers);
        QFETCH(QString, shown);
        QFETCH(bool, refused);
        // Cooling well above heating: no rule fires.
        m.setDeviceBox(OccCool, QStringLiteral("35"));
        QVERIFY(m.configure());
        testsupport::ScriptedMessageBoxes boxes;
        m.ui().tabData->setCurrentWidget(tabOf(m.box(index)));
        QLineEdit* box = m.box(index);
        // As if the device held it: the box is clean.
        box->setText(start);
        if (pasted.isEmpty())
            m.enter(box);
        else
            m.paste(index, pasted);
        if (key)
            QTest::keyClick(box, Qt::Key(key), Qt::KeyboardModifiers(modifiers));
        QCOMPARE(box->text(), shown);
        if (refused)
            boxes.expect(NotNumerical);
        m.leave();
        VERIFY_BOXES(boxes);
        QCOMPARE(box->text(), refused ? start : shown);
        QCOMPARE(m.isRed(box), !refused);
    }

    void nonNumericEntryIsRefused_data()
    {
        QTest::addColumn<QString>("entry");
        QTest::addColumn<bool>("pasted");
        QTest::addColumn<bool>("refused");
        QTest::newRow("emptied") << "" << false << true;
        QTest::newRow("a minus sign") << "-" << false << true;
        QTest::newRow("a point") << "." << false << true;
        QTest::newRow("a colon") << ":" << false << true;
        QTest::newRow("a time") << "1:30" << false << true;
        QTest::newRow("two points") << "2.2.2" << false << true;
        QTest::newRow("pasted words") << "warm" << true << true;
        QTest::newRow("pasted number with a unit") << "22 C" << true << true;
        QTest::newRow("pasted number with a thousands separator") << "21,500" << true << true;
        QTest::newRow("a number") << "23.5" << false << false;
        QTest::newRow("a negative number") << "-1" << false << false;
        QTest::newRow("a pasted number") << "23" << true << false;
    }
    void nonNumericEntryIsRefused()
    {
        QFETCH(QString, entry);
        QFETCH(bool, pasted);
        QFETCH(bool, refused);
        // Cooling well above heating: no rule fires whatever the entry.
        m.setDeviceBox(UnoccCool, QStringLiteral("35"));
        QVERIFY(m.configure());
        testsupport::ScriptedMessageBoxes boxes;
        QLineEdit* box = m.box(UnoccHeat);
        const QString clean = box->text();
        if (refused)
            boxes.expect(NotNumerical);
        if (pasted)
            m.paste(UnoccHeat, entry);
        else
            m.type(UnoccHeat, entry);
        QVERIFY(m.isRed(box));
        QCOMPARE(box->property("Tag").toString(), clean);
        m.leave();
        VERIFY_BOXES(boxes);
        QCOMPARE(box->text(), refused ? clean : entry);
        QCOMPARE(m.isRed(box), !refused);
        // Refusing the entry does not take the other edits back.
        QVERIFY(m.w->ChangesPending);
        QVERIFY(m.buttonsEnabled());
    }

    void tagIsTheLastCleanText()
    {
        QVERIFY(m.configure());
        testsupport::ScriptedMessageBoxes boxes;
        QLineEdit* box = m.box(UnoccHeat);
        const QString clean = box->text();
        m.type(UnoccHeat, QStringLiteral("12"));
        m.leave();
        // Back into the edited box: its Tag stays the device's text.
        m.type(UnoccHeat, QStringLiteral("-"));
        boxes.expect(NotNumerical);
        m.leave();
        VERIFY_BOXES(boxes);
        QCOMPARE(box->text(), clean);
    }

    // A configure command reads while the caret stays in a clean box: an entry refused after it brings
    // back what that read showed, never the text of the read before (another device's, or an older one).
    void refusedEntryAfterAReadShowsThatRead_data()
    {
        QTest::addColumn<bool>("otherDevice");
        QTest::newRow("another device") << true;
        QTest::newRow("the same device, changed meanwhile") << false;
    }
    void refusedEntryAfterAReadShowsThatRead()
    {
        QFETCH(bool, otherDevice);
        m.setDeviceBox(OccHeat, QStringLiteral("21"));
        QVERIFY(m.configure());
        m.enter(m.box(OccHeat));
        QString path = m.path;
        if (otherDevice) {
            for (const QString& p : m.world->devicePaths(QStringLiteral("Demo"))) {
                const DeviceFaults f =
                    m.world->admin().deviceFaults(testsupport::DemoWorld::refOf(QStringLiteral("Demo"), p));
                if (p != m.path && f.commissioned && f.stateCode == 4 && !f.unreachable && f.testResult == 0) {
                    path = p;
                    break;
                }
            }
            QVERIFY(path != m.path);
            m.ref = testsupport::DemoWorld::refOf(QStringLiteral("Demo"), path);
        }
        m.setDeviceBox(OccHeat, QStringLiteral("19.5"));
        try {
            m.objects.back()->SendCommand(13, 7, path);
        } catch (const com::ComError& e) {
            QFAIL(qPrintable(e.description()));
        }
        QCOMPARE(m.box(OccHeat)->text(), QStringLiteral("19.5"));
        // The progress window took the activation; the person comes back to the window and its box.
        QApplication::setActiveWindow(m.w);
        QVERIFY(QTest::qWaitForWindowActive(m.w));
        QCOMPARE(QApplication::focusWidget(), m.box(OccHeat));
        testsupport::ScriptedMessageBoxes boxes;
        boxes.expect(NotNumerical);
        m.type(OccHeat, QStringLiteral("-"));
        m.leave();
        VERIFY_BOXES(boxes);
        QCOMPARE(m.box(OccHeat)->text(), QStringLiteral("19.5"));
        QVERIFY(!m.isRed(m.box(OccHeat)));
    }

    void changesWithoutCharactersMarkTheField_data()
    {
        QTest::addColumn<QString>("device");
        QTest::addColumn<QString>("gesture");
        QTest::addColumn<QString>("result");
        QTest::newRow("Delete") << "25"
                                << "delete"
                                << "5";
        QTest::newRow("Ctrl+X") << "25"
                                << "cut"
                                << "";
        QTest::newRow("Ctrl+V") << "25"
                                << "paste"
                                << "17.5";
        QTest::newRow("drag and drop") << "1"
                                       << "drop"
                                       << "11";
    }
    void changesWithoutCharactersMarkTheField()
    {
        QFETCH(QString, device);
        QFETCH(QString, gesture);
        QFETCH(QString, result);
        m.setDeviceBox(UnoccHeat, device);
        QVERIFY(m.configure());
        testsupport::ScriptedMessageBoxes boxes;
        QLineEdit* box = m.box(UnoccHeat);
        QCOMPARE(box->text(), device);
        if (gesture == QLatin1String("delete")) {
            m.enter(box);
            QTest::keyClick(box, Qt::Key_Home);
            QTest::keyClick(box, Qt::Key_Delete);
        } else if (gesture == QLatin1String("cut")) {
            m.enter(box);
            QTest::keyClick(box, Qt::Key_X, Qt::ControlModifier);
        } else if (gesture == QLatin1String("paste")) {
            m.enter(box);
            QGuiApplication::clipboard()->setText(QStringLiteral("17.5"));
            QTest::keyClick(box, Qt::Key_V, Qt::ControlModifier);
        } else {
            // Dropped in front of the text of a box that does not have the focus.
            QMimeData data;
            data.setText(QStringLiteral("1"));
            const QPoint at(1, box->height() / 2);
            QDragEnterEvent enterEvent(at, Qt::CopyAction, &data, Qt::LeftButton, Qt::NoModifier);
            QCoreApplication::sendEvent(box, &enterEvent);
            QDropEvent drop(QPointF(at), Qt::CopyAction, &data, Qt::LeftButton, Qt::NoModifier);
            QCoreApplication::sendEvent(box, &drop);
            QVERIFY(!box->hasFocus());
        }
        QCOMPARE(box->text(), result);
        QVERIFY(m.isRed(box));
        QVERIFY(m.w->ChangesPending);
        QVERIFY(m.buttonsEnabled());
        QCOMPARE(box->property("Tag").toString(), device);

        // Protected from the next read, taken by Apply.
        m.w->cmdRefresh_Click();
        QCOMPARE(box->text(), result);
        m.enter(box);
        if (result.isEmpty())
            boxes.expect(NotNumerical);
        m.leave();
        if (result.isEmpty()) {
            VERIFY_BOXES(boxes);
            QCOMPARE(box->text(), device);
            return;
        }
        m.ui().cmdApply->click();
        VERIFY_BOXES(boxes);
        QCOMPARE(m.deviceSetPoint(UnoccHeat), result.toDouble());
        QVERIFY(!m.isRed(box));
    }

    void droppedWordsAreRefused()
    {
        QVERIFY(m.configure());
        testsupport::ScriptedMessageBoxes boxes;
        QLineEdit* box = m.box(UnoccHeat);
        const QString clean = box->text();
        QMimeData data;
        data.setText(QStringLiteral("warm"));
        const QPoint at(1, box->height() / 2);
        QDragEnterEvent enterEvent(at, Qt::CopyAction, &data, Qt::LeftButton, Qt::NoModifier);
        QCoreApplication::sendEvent(box, &enterEvent);
        QDropEvent drop(QPointF(at), Qt::CopyAction, &data, Qt::LeftButton, Qt::NoModifier);
        QCoreApplication::sendEvent(box, &drop);
        QCOMPARE(box->text(), QStringLiteral("warm") + clean);
        QVERIFY(m.isRed(box));
        m.enter(box);
        boxes.expect(NotNumerical);
        m.leave();
        VERIFY_BOXES(boxes);
        QCOMPARE(box->text(), clean);
        QVERIFY(!m.isRed(box));
    }

    void controlKeysMarkButStillAct()
    {
        QVERIFY(m.configure());
        QLineEdit* box = m.box(OccHeat);
        m.enter(box);
        const QString before = box->text();
        // Keys that type no character are not acted on.
        QTest::keyClick(box, Qt::Key_Home);
        QTest::keyClick(box, Qt::Key_Right, Qt::ShiftModifier);
        QVERIFY(!m.isRed(box));
        QVERIFY(m.buttonsDisabled());
        // Ctrl+A and Ctrl+C type control characters: discarded, yet edit gestures; the copy happens.
        QTest::keyClick(box, Qt::Key_A, Qt::ControlModifier);
        QTest::keyClick(box, Qt::Key_C, Qt::ControlModifier);
        QCOMPARE(QGuiApplication::clipboard()->text(), before);
        QCOMPARE(box->text(), before);
        QVERIFY(m.isRed(box));
        QVERIFY(m.w->ChangesPending);
        QVERIFY(!m.buttonsDisabled());
    }

    void crossFieldRules_data()
    {
        // Device values (°C) of the boxes 0 1 2 3 4 5 16, the box left, what is typed into it
        // (nothing: passed through), the boxes adjusted with their texts, the notices, and the box
        // that ends with the focus.
        QTest::addColumn<QStringList>("device");
        QTest::addColumn<int>("left");
        QTest::addColumn<QString>("typed");
        QTest::addColumn<QList<int>>("adjusted");
        QTest::addColumn<QStringList>("texts");
        QTest::addColumn<QStringList>("notices");
        using L = QStringList;
        using I = QList<int>;
        const L base{"21", "16", "30", "24", "28", "15", "2"};
        const auto with = [&](std::initializer_list<std::pair<int, const char*>> changes) {
            L values = base;
            const I order{0, 1, 2, 3, 4, 5, 16};
            for (const auto& [box, text] : changes)
                values[order.indexOf(box)] = QLatin1String(text);
            return values;
        };
        QTest::newRow("heating pushes cooling up")
            << with({{3, "22"}}) << 0 << "21" << I{3} << L{"23"} << L{DeadBandNotice};
        QTest::newRow("heating within the dead band") << with({{3, "23"}}) << 0 << "21" << I{} << L{} << L{};
        QTest::newRow("half degrees") << with({{16, "2.5"}}) << 0 << "22" << I{3} << L{"24.5"} << L{DeadBandNotice};
        QTest::newRow("unoccupied heating pushes cooling up")
            << base << 1 << "27" << I{4} << L{"29"} << L{DeadBandNotice};
        QTest::newRow("cooling pushes heating down") << base << 3 << "22.5" << I{0} << L{"20.5"} << L{DeadBandNotice};
        QTest::newRow("unoccupied cooling pushes heating down")
            << base << 4 << "17" << I{1} << L{"15"} << L{DeadBandNotice};
        QTest::newRow("dead band pushes one heating down")
            << with({{0, "20"}, {1, "18"}, {3, "22"}, {4, "24"}}) << 16 << "3" << I{0} << L{"19"} << L{DeadBandNotice};
        QTest::newRow("dead band pushes both heatings down")
            << with({{0, "20"}, {1, "18"}, {3, "22"}, {4, "20"}}) << 16 << "3" << I{0, 1} << L{"19", "17"}
            << L{DeadBandNotice, DeadBandNotice};
        QTest::newRow("heating maximum below occupied heating")
            << with({{0, "26"}}) << 2 << "25" << I{0} << L{"25"} << L{HeatingNotice};
        QTest::newRow("heating maximum below both")
            << base << 2 << "15.5" << I{0, 1} << L{"15.5", "15.5"} << L{HeatingNotice, HeatingNotice};
        QTest::newRow("the limit's text is copied as it stands")
            << base << 2 << "20.0" << I{0} << L{"20.0"} << L{HeatingNotice};
        QTest::newRow("heating maximum above both") << base << 2 << "25" << I{} << L{} << L{};
        QTest::newRow("cooling minimum above occupied cooling")
            << base << 5 << "25" << I{3} << L{"25"} << L{CoolingNotice};
        QTest::newRow("cooling minimum above both")
            << base << 5 << "30" << I{3, 4} << L{"30", "30"} << L{CoolingNotice, CoolingNotice};
        QTest::newRow("cooling minimum equal to cooling") << base << 5 << "24" << I{} << L{} << L{};
        QTest::newRow("passing through heating that breaks the dead band")
            << with({{3, "22"}}) << 0 << "" << I{3} << L{"23"} << L{DeadBandNotice};
        QTest::newRow("passing through the heating maximum")
            << with({{0, "31"}}) << 2 << "" << I{0} << L{"30"} << L{HeatingNotice};
        QTest::newRow("a result written out in full") << with({{3, "22"}}) << 0 << "100000000000000000000" << I{3}
                                                      << L{"100000000000000000000"} << L{DeadBandNotice};
        QTest::newRow("passing through an unrelated box") << with({{3, "22"}}) << 6 << "" << I{} << L{} << L{};
    }
    void crossFieldRules()
    {
        QFETCH(QStringList, device);
        QFETCH(int, left);
        QFETCH(QString, typed);
        QFETCH(QList<int>, adjusted);
        QFETCH(QStringList, texts);
        QFETCH(QStringList, notices);
        const QList<int> order{0, 1, 2, 3, 4, 5, 16};
        for (int i = 0; i < order.size(); ++i)
            m.setDeviceBox(order[i], device[i]);
        QVERIFY(m.configure());
        for (int i = 0; i < order.size(); ++i)
            QCOMPARE(m.box(order[i])->text(), device[i]);
        testsupport::ScriptedMessageBoxes boxes;
        for (const QString& notice : notices)
            boxes.expect(Notice(notice));
        // Each notice appears with its box already adjusted and focused.
        QList<QPair<QString, QWidget*>> atNotice;
        boxes.onAsk = [&](int n) {
            const int target = adjusted.value(n - 1, -1);
            atNotice << qMakePair(target >= 0 ? m.box(target)->text() : QString(), QApplication::focusWidget());
            if (target >= 0)
                QVERIFY(m.isRed(m.box(target)));
        };
        m.ui().tabData->setCurrentIndex(left == 6 ? 2 : 0);
        if (typed.isEmpty())
            m.enter(m.box(left));
        else
            m.type(left, typed);
        // Tab leaves the box as a person does.
        QTest::keyClick(m.box(left), Qt::Key_Tab);
        VERIFY_BOXES(boxes);
        for (int i = 0; i < adjusted.size(); ++i) {
            QCOMPARE(m.box(adjusted[i])->text(), texts[i]);
            QVERIFY(m.isRed(m.box(adjusted[i])));
            QCOMPARE(atNotice[i].first, texts[i]);
            QCOMPARE(atNotice[i].second, m.box(adjusted[i]));
        }
        // Every other box keeps its text and its colour.
        for (int i = 0; i < order.size(); ++i) {
            if (adjusted.contains(order[i]) || order[i] == left)
                continue;
            QCOMPARE(m.box(order[i])->text(), device[i]);
            QVERIFY(!m.isRed(m.box(order[i])));
        }
        if (!adjusted.isEmpty())
            QCOMPARE(QApplication::focusWidget(), m.box(adjusted.last()));
        else
            QVERIFY(QApplication::focusWidget() != m.box(left));
        // A rule's adjustment is no edit gesture: only typing makes changes pending.
        QCOMPARE(m.w->ChangesPending, !typed.isEmpty());
        QCOMPARE(m.buttonsEnabled(), !typed.isEmpty());
        QCOMPARE(m.buttonsDisabled(), typed.isEmpty());
    }

    void adjustedBoxIsLeftAsAnyOther()
    {
        // Heating 21 and cooling 22 break the dead band; the cooling box adjusted to 23 has the focus,
        // and leaving it with a number that breaks the band again pushes heating down.
        m.setDeviceBox(OccCool, QStringLiteral("22"));
        QVERIFY(m.configure());
        testsupport::ScriptedMessageBoxes boxes;
        boxes.expect(Notice(DeadBandNotice));
        m.enter(m.box(OccHeat));
        m.leave();
        QCOMPARE(QApplication::focusWidget(), m.box(OccCool));
        QCOMPARE(m.box(OccCool)->text(), QStringLiteral("23"));
        boxes.expect(Notice(DeadBandNotice));
        QTest::keyClicks(m.box(OccCool), QStringLiteral("22"));
        m.leave();
        VERIFY_BOXES(boxes);
        QCOMPARE(m.box(OccHeat)->text(), QStringLiteral("20"));
        QCOMPARE(QApplication::focusWidget(), m.box(OccHeat));
    }

    // However an action starts, by its access key here (which moves no focus), the box with the caret
    // is left first, as a click on the button leaves it: its check, then its rules; the action then
    // works on what they left. Heating 21, cooling 24, dead band 2; the box is emptied, or given 23.
    void actionsLeaveTheFocusedBoxFirst_data()
    {
        QTest::addColumn<int>("key");
        QTest::addColumn<bool>("emptied");
        QTest::addColumn<QString>("heatingAfter");  // occupied heating and cooling as shown after the action
        QTest::addColumn<QString>("coolingAfter");
        QTest::addColumn<bool>("redAfter");         // both in the edit colour after it
        QTest::addColumn<double>("deviceHeating");  // what the device then holds (°C)
        QTest::addColumn<double>("deviceCooling");
        const int a = Qt::Key_A, c = Qt::Key_C, r = Qt::Key_R, i = Qt::Key_I, e = Qt::Key_E;
        QTest::newRow("Apply, emptied box") << a << true << "21"
                                            << "24" << false << 21.0 << 24.0;
        QTest::newRow("Apply, dead band broken") << a << false << "23"
                                                 << "25" << false << 23.0 << 25.0;
        QTest::newRow("Cancel, emptied box") << c << true << "21"
                                             << "24" << false << 21.0 << 24.0;
        QTest::newRow("Cancel, dead band broken") << c << false << "21"
                                                  << "24" << false << 21.0 << 24.0;
        QTest::newRow("Refresh All, emptied box") << r << true << "21"
                                                  << "24" << false << 21.0 << 24.0;
        QTest::newRow("Refresh All, dead band broken") << r << false << "23"
                                                       << "25" << true << 21.0 << 24.0;
        QTest::newRow("Imperial, emptied box") << i << true << "70"
                                               << "75" << false << 21.0 << 24.0;
        QTest::newRow("Imperial, dead band broken") << i << false << "70"
                                                    << "75" << false << 21.0 << 24.0;
        QTest::newRow("Exit answered No, emptied box") << e << true << "21"
                                                       << "24" << false << 21.0 << 24.0;
        QTest::newRow("Exit answered No, dead band broken") << e << false << "23"
                                                            << "25" << true << 21.0 << 24.0;
    }
    void actionsLeaveTheFocusedBoxFirst()
    {
        QFETCH(int, key);
        QFETCH(bool, emptied);
        QFETCH(QString, heatingAfter);
        QFETCH(QString, coolingAfter);
        QFETCH(bool, redAfter);
        QFETCH(double, deviceHeating);
        QFETCH(double, deviceCooling);
        const std::pair<int, const char*> device[] = {
            {OccHeat, "21"}, {OccCool, "24"}, {DeadBand, "2"}, {HeatMax, "30"}, {CoolMin, "15"}};
        for (const auto& [index, text] : device)
            m.setDeviceBox(index, QLatin1String(text));
        QVERIFY(m.configure());
        testsupport::ScriptedMessageBoxes boxes;
        boxes.expect(emptied ? NotNumerical : Notice(DeadBandNotice));
        if (key == Qt::Key_I)
            boxes.expect(
                {QStringLiteral("This action will discard all changes"), Answer::Ok, QStringLiteral("Warning")});
        if (key == Qt::Key_E)
            boxes.expect({QStringLiteral("Are you sure that you want to exit?"), Answer::No, framework::PlugInName()});
        m.type(OccHeat, emptied ? QString() : QStringLiteral("23"));
        QCOMPARE(QApplication::focusWidget(), m.box(OccHeat));

        const std::map<int, QAbstractButton*> buttons{{Qt::Key_A, m.ui().cmdApply},
                                                      {Qt::Key_C, m.ui().cmdCancel},
                                                      {Qt::Key_R, m.ui().cmdRefresh},
                                                      {Qt::Key_I, m.ui().obUnits.at(1)},
                                                      {Qt::Key_E, m.ui().cmdExit}};
        QAbstractButton* target = buttons.at(key);
        QTest::keyClick(m.w, Qt::Key(key), Qt::AltModifier);
        // The access key pressed the button; its click follows once it is released.
        QVERIFY(target->isDown());
        QTRY_VERIFY(!target->isDown());

        QCOMPARE(m.deviceSetPoint(OccHeat), deviceHeating);
        QCOMPARE(m.deviceSetPoint(OccCool), deviceCooling);
        QCOMPARE(m.box(OccHeat)->text(), heatingAfter);
        QCOMPARE(m.box(OccCool)->text(), coolingAfter);
        QCOMPARE(m.isRed(m.box(OccHeat)), redAfter);
        QCOMPARE(m.isRed(m.box(OccCool)), redAfter);
        // The box's own message comes before anything the action shows.
        VERIFY_BOXES(boxes);
    }

    // A box the rules adjusted restores the device's value when its entry is refused, not an empty
    // text that the rules would then read as 0.
    void adjustedBoxRestoresTheDevicesValue()
    {
        m.setDeviceBox(OccCool, QStringLiteral("24"));
        QVERIFY(m.configure());
        testsupport::ScriptedMessageBoxes boxes;
        boxes.expect(Notice(DeadBandNotice));
        m.type(OccHeat, QStringLiteral("23"));
        m.leave();
        QCOMPARE(QApplication::focusWidget(), m.box(OccCool));
        QCOMPARE(m.box(OccCool)->text(), QStringLiteral("25"));
        QTest::keyClick(m.box(OccCool), Qt::Key_Delete);
        boxes.expect(NotNumerical);
        boxes.expect(Notice(DeadBandNotice));
        m.leave();
        VERIFY_BOXES(boxes);
        QCOMPARE(m.box(OccCool)->text(), QStringLiteral("24"));
        // The band kept from the restored cooling value: heating 24 - 2, not 0 - 2.
        QCOMPARE(m.box(OccHeat)->text(), QStringLiteral("22"));
    }

    void failureInsideTheRules()
    {
        QVERIFY(m.configure());
        testsupport::ScriptedMessageBoxes boxes;
        // Pasted numbers can be as large as the platform allows; their difference cannot.
        m.paste(OccHeat, QStringLiteral("-1.7e308"));
        m.leave();
        m.paste(OccCool, QStringLiteral("1.7e308"));
        boxes.expect(
            {QStringLiteral("Overflow"), Answer::Ok, framework::ApplicationTitle(), Buttons::Ok, Icon::None, true});
        m.leave();
        VERIFY_BOXES(boxes);
        QCOMPARE(m.box(OccHeat)->text(), QStringLiteral("-1.7e308"));
        QCOMPARE(m.box(OccCool)->text(), QStringLiteral("1.7e308"));
    }

    void comboBoxGestures_data()
    {
        QTest::addColumn<QString>("gesture");
        QTest::addColumn<int>("indexChange");
        QTest::newRow("a letter is discarded") << "letter" << 0;
        QTest::newRow("a blank is discarded") << "blank" << 0;
        QTest::newRow("Down arrow chooses the next entry") << "down" << 1;
        QTest::newRow("Shift alone") << "shift" << 0;
        QTest::newRow("Up arrow at the top") << "up" << 0;
        QTest::newRow("opening the list") << "popup" << 0;
        QTest::newRow("the mouse wheel") << "wheel" << 1;
    }
    void comboBoxGestures()
    {
        QFETCH(QString, gesture);
        QFETCH(int, indexChange);
        QVERIFY(m.configure());
        testsupport::ScriptedMessageBoxes boxes;
        // Set point type: PERMANENT (first) on the device.
        QComboBox* combo = m.combo(0);
        QCOMPARE(combo->currentIndex(), 0);
        QVERIFY(!m.isRed(combo));
        m.enter(combo);
        if (gesture == QLatin1String("letter")) {
            QTest::keyClicks(combo, QStringLiteral("T"));
        } else if (gesture == QLatin1String("blank")) {
            QTest::keyClick(combo, Qt::Key_Space);
        } else if (gesture == QLatin1String("down")) {
            QTest::keyClick(combo, Qt::Key_Down);
        } else if (gesture == QLatin1String("shift")) {
            QTest::keyClick(combo, Qt::Key_Shift);
        } else if (gesture == QLatin1String("up")) {
            QTest::keyClick(combo, Qt::Key_Up);
        } else if (gesture == QLatin1String("popup")) {
            combo->showPopup();
            QVERIFY(combo->view()->isVisible());
            combo->hidePopup();
        } else {
            QWheelEvent wheel(QPointF(combo->rect().center()), QPointF(combo->mapToGlobal(combo->rect().center())),
                              QPoint(), QPoint(0, -120), Qt::NoButton, Qt::NoModifier, Qt::NoScrollPhase, false);
            QCoreApplication::sendEvent(combo, &wheel);
        }
        QCOMPARE(combo->currentIndex(), indexChange);
        QVERIFY(m.isRed(combo));
        QVERIFY(m.w->ChangesPending);
        QVERIFY(m.buttonsEnabled());
        VERIFY_BOXES(boxes);
    }

    // The wheel over a list without the focus scrolls past it, on every list: no choice, no mark, no
    // focus. The list with the focus still takes it (comboBoxGestures).
    void wheelPassesOverUnfocusedLists()
    {
        QVERIFY(m.configure());
        testsupport::ScriptedMessageBoxes boxes;
        for (const auto& [index, combo] : m.ui().cbNvi) {
            m.ui().tabData->setCurrentWidget(tabOf(combo));
            m.enter(m.ui().cmdRefresh);
            const int before = combo->currentIndex();
            QWheelEvent wheel(QPointF(combo->rect().center()), QPointF(combo->mapToGlobal(combo->rect().center())),
                              QPoint(), QPoint(0, index % 2 ? 120 : -120), Qt::NoButton, Qt::NoModifier,
                              Qt::NoScrollPhase, false);
            QCoreApplication::sendEvent(combo, &wheel);
            QVERIFY2(combo->currentIndex() == before && !m.isRed(combo) && !combo->hasFocus(),
                     qPrintable(combo->objectName()));
        }
        QVERIFY(!m.w->ChangesPending);
        QVERIFY(m.buttonsDisabled());
        VERIFY_BOXES(boxes);
    }

    // Ctrl+Tab / Ctrl+Page Down to the next tab and Ctrl+Shift+Tab / Ctrl+Page Up to the one before,
    // from any control, pressed as a person does (Ctrl down, the key, Ctrl up): nothing is chosen,
    // stepped or marked on the way.
    void tabKeysFromEveryControl_data()
    {
        QTest::addColumn<QString>("control");
        QTest::addColumn<int>("key");
        QTest::addColumn<int>("modifiers");
        QTest::addColumn<int>("step");
        const std::pair<const char*, QList<int>> keys[] = {
            {"Ctrl+Tab", {Qt::Key_Tab, Qt::ControlModifier, 1}},
            {"Ctrl+Page Down", {Qt::Key_PageDown, Qt::ControlModifier, 1}},
            {"Ctrl+Shift+Tab", {Qt::Key_Backtab, int(Qt::ControlModifier | Qt::ShiftModifier), -1}},
            {"Ctrl+Page Up", {Qt::Key_PageUp, Qt::ControlModifier, -1}}};
        for (const char* control : {"text box", "list", "button", "unit option"})
            for (const auto& [name, key] : keys)
                QTest::addRow("%s from a %s", name, control) << control << key[0] << key[1] << key[2];
    }
    void tabKeysFromEveryControl()
    {
        QFETCH(QString, control);
        QFETCH(int, key);
        QFETCH(int, modifiers);
        QFETCH(int, step);
        QVERIFY(m.configure());
        testsupport::ScriptedMessageBoxes boxes;
        QWidget* from = control == QLatin1String("text box") ? static_cast<QWidget*>(m.box(OccHeat))
                        : control == QLatin1String("list")   ? static_cast<QWidget*>(m.combo(0))
                        : control == QLatin1String("button") ? static_cast<QWidget*>(m.ui().cmdViewLog)
                                                             : static_cast<QWidget*>(m.ui().obUnits.at(0));
        // From the first tab: on to the second, or round to the last.
        QTabWidget* tabs = m.ui().tabData;
        tabs->setCurrentIndex(0);
        const int next = (step + tabs->count()) % tabs->count();
        const QString text = m.box(OccHeat)->text();
        const int choice = m.combo(0)->currentIndex();
        m.enter(from);
        QCOMPARE(QApplication::focusWidget(), from);
        QTest::keyPress(from, Qt::Key_Control);
        QTest::keyClick(from, Qt::Key(key), Qt::KeyboardModifiers(modifiers));
        QTest::keyRelease(QApplication::focusWidget(), Qt::Key_Control, Qt::ControlModifier);
        QCOMPARE(tabs->currentIndex(), next);
        QCOMPARE(m.box(OccHeat)->text(), text);
        QCOMPARE(m.combo(0)->currentIndex(), choice);
        QVERIFY(!m.isRed(m.box(OccHeat)));
        QVERIFY(!m.isRed(m.combo(0)));
        QVERIFY(!m.w->ChangesPending);
        QCOMPARE(int(m.session->DisplayUnits), 0);
        // The keyboard stays on the window.
        QVERIFY(QApplication::focusWidget() && m.w->isAncestorOf(QApplication::focusWidget()));
        VERIFY_BOXES(boxes);
    }

    // Alt with a letter or a digit is an access key, whether or not one takes it (no button has it,
    // or the window is not the active one, as after a box closes without a window manager): it never
    // types into a box nor picks from a list, on any field. Checked on the device's values read back.
    void strayAccessKeysChangeNothing()
    {
        QVERIFY(m.configure());
        testsupport::ScriptedMessageBoxes boxes;
        const auto deviceValues = [this] {
            QStringList values;
            for (const auto& table : m.tables().NvTables)
                values << m.world->admin().nvText(m.ref, table->Name.section(QLatin1Char(' '), 0, 0),
                                                  QStringLiteral("RAW"));
            return values;
        };
        const QStringList before = deviceValues();
        QString letters = QStringLiteral("0123456789");
        QWidget other;
        for (const bool active : {true, false}) {
            if (!active) {
                // Every letter, access keys too: none is taken while another window is active.
                letters += QStringLiteral("ABCDEFGHIJKLMNOPQRSTUVWXYZ");
                other.show();
                other.activateWindow();
                QApplication::setActiveWindow(&other);
                QVERIFY(QTest::qWaitForWindowActive(&other));
            }
            std::vector<QWidget*> fields;
            for (const auto& [index, box] : m.ui().txtNvi)
                if (!box->isReadOnly())
                    fields.push_back(box);
            for (const auto& [index, combo] : m.ui().cbNvi)
                fields.push_back(combo);
            for (QWidget* field : fields) {
                m.ui().tabData->setCurrentWidget(tabOf(field));
                field->setFocus(Qt::TabFocusReason);
                auto* box = qobject_cast<QLineEdit*>(field);
                auto* combo = qobject_cast<QComboBox*>(field);
                const QString text = box ? box->text() : combo->currentText();
                for (const QChar letter : letters) {
                    QTest::keyClick(field, letter.toLatin1(), Qt::AltModifier);
                    QVERIFY2(
                        (box ? box->text() : combo->currentText()) == text && !m.isRed(field) && !m.w->ChangesPending,
                        qPrintable(QStringLiteral("Alt+%1 on %2, window %3")
                                       .arg(letter, field->objectName(), active ? "active" : "inactive")));
                }
            }
        }
        QCOMPARE(deviceValues(), before);
        VERIFY_BOXES(boxes);
    }

    void enterInAComboBoxAppliesEveryEdit()
    {
        QVERIFY(m.configure());
        testsupport::ScriptedMessageBoxes boxes;
        m.type(UnoccHeat, QStringLiteral("17"));
        m.leave();
        // Reheat time base on the hardware page; Enter there applies the heating page's edit too.
        m.ui().tabData->setCurrentIndex(2);
        QComboBox* combo = m.combo(8);
        m.enter(combo);
        QTest::keyClick(combo, Qt::Key_Down);
        const QString chosen = combo->currentText();
        QTest::keyClick(combo, Qt::Key_Return);
        VERIFY_BOXES(boxes);
        QCOMPARE(m.RowsStartingWith(QStringLiteral("Updating ")),
                 QStringList({QStringLiteral("Updating nciSetPts"), QStringLiteral("Updating nciGenOpts")}));
        QCOMPARE(m.deviceSetPoint(UnoccHeat), 17.0);
        QCOMPARE(m.deviceFields(QStringLiteral("nciGenOpts")).value(21), chosen);
        QVERIFY(!m.isRed(combo));
        QVERIFY(!m.isRed(m.box(UnoccHeat)));
        QVERIFY(m.buttonsDisabled());
    }

private:
    QWidget* tabOf(QWidget* control)
    {
        for (int i = 0; i < m.ui().tabData->count(); ++i)
            if (m.ui().tabData->widget(i)->isAncestorOf(control))
                return m.ui().tabData->widget(i);
        return nullptr;
    }

    ConfiguredWindow m;
};

QTEST_MAIN(TestFieldEditing)
#include "tst_FieldEditing.moc"
