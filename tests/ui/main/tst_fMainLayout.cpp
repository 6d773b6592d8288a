// The configuration window's content as a user meets it: every named control, the tabs, the frames
// and row captions the fields sit under, choice lists, locked boxes, hidden debug controls, the
// initial button states, the unit captions, a layout that fits its texts and stretches, and what the
// set-point band under the Heating - Cooling frames shows.
#include "device/ConfigModel.h"
#include "device/Units.h"
#include "framework/PlugInSettings.h"
#include "platform/base/Numbers.h"
#include "ui/main/ElidedLabel.h"
#include "ui/main/SetpointBand.h"
#include "ui/main/fMainLayout.h"

#include <QAccessible>
#include <QHelpEvent>
#include <QToolTip>

#include <QComboBox>
#include <QGroupBox>
#include <QLabel>
#include <QLineEdit>
#include <QMainWindow>
#include <QPushButton>
#include <QRadioButton>
#include <QStatusBar>
#include <QTabBar>
#include <QTabWidget>
#include <QTest>
#include <QTextBrowser>
#include <memory>

namespace {

QList<int> TextBoxIndices()
{
    QList<int> indices;
    for (int i = 0; i <= 18; ++i)
        indices << i;
    return indices << 39 << 40 << 41;
}

// The tab page (0-based) that holds w, or -1 outside the tabs.
int TabOf(QTabWidget* tabs, QWidget* w)
{
    for (int i = 0; i < tabs->count(); ++i) {
        if (tabs->widget(i)->isAncestorOf(w))
            return i;
    }
    return -1;
}

// The captions of the frames around w, innermost first.
QStringList FramesAround(QWidget* w)
{
    QStringList titles;
    for (QWidget* p = w->parentWidget(); p; p = p->parentWidget()) {
        if (auto* frame = qobject_cast<QGroupBox*>(p))
            titles << frame->title();
    }
    return titles;
}

// The caption that labels w: the label whose buddy it is; empty when none.
QString RowCaption(QWidget* window, QWidget* w)
{
    for (QLabel* label : window->findChildren<QLabel*>()) {
        if (label->buddy() == w)
            return label->text();
    }
    return QString();
}

}  // namespace

class TestFMainLayout : public QObject {
    Q_OBJECT

    std::unique_ptr<QMainWindow> window;
    FMainControls c;

private slots:
    void init()
    {
        window = std::make_unique<QMainWindow>();
        c = BuildFMainLayout(window.get());
    }
    void cleanup() { window.reset(); }

    // Tests, the snapshot's table and the model options reach a control by its name or through the
    // controls handed to the device definition: each control the window holds is on it, under a
    // name no other widget of the window has, and the device definition gets these same controls.
    void everyControlIsOnTheWindowUnderItsOwnName()
    {
        QList<QWidget*> held = {
            c.tabData,         c.lblDeviceTemplate, c.lbModel,         c.lbHvacType,      c.frmControlType,
            c.frmAccTiming,    c.lblCyclePerHour,   c.frmActing,       c.lblAutoMode,     c.frmFanMode,
            c.frmSeqOperation, c.frmUnits,          c.cmdApply,        c.cmdCancel,       c.cmdRefresh,
            c.cmdViewLog,      c.cmdHelp,           c.cmdExit,         c.cmdDebug,        c.txtDebug,
            c.WebBrowser1,     c.Picture1,          c.txtMajorVersion, c.txtMinorVersion, c.StatusBar};
        auto hold = [&held](const auto& controls) {
            for (const auto& [index, control] : controls)
                held << control;
        };
        hold(c.txtNvi);
        hold(c.cbNvi);
        hold(c.txtTempUnits);
        hold(c.txtPercentUnits);
        hold(c.lblTimeUnits);
        hold(c.obUnits);
        hold(c.StatusBarPanel);
        for (QWidget* w : held) {
            QVERIFY(w);
            QVERIFY2(window->isAncestorOf(w), qPrintable(w->objectName()));
            QVERIFY(!w->objectName().isEmpty());
            QCOMPARE(window->findChildren<QWidget*>(w->objectName()).size(), 1);
        }

        const device::WindowControls w = c.windowControls();
        QCOMPARE(w.txtNvi, c.txtNvi);
        QCOMPARE(w.cbNvi, c.cbNvi);
        const QList<QWidget*> given = {w.lbModel,   w.lbHvacType,     w.tabData,      w.cmdDebug,
                                       w.txtDebug,  w.frmControlType, w.frmAccTiming, w.lblCyclePerHour,
                                       w.frmActing, w.lblAutoMode,    w.frmFanMode,   w.frmSeqOperation};
        const QList<QWidget*> own = {c.lbModel,   c.lbHvacType,     c.tabData,      c.cmdDebug,
                                     c.txtDebug,  c.frmControlType, c.frmAccTiming, c.lblCyclePerHour,
                                     c.frmActing, c.lblAutoMode,    c.frmFanMode,   c.frmSeqOperation};
        QCOMPARE(given, own);
    }

    void tabsInOrder()
    {
        const QStringList captions = {"&Heating - Cooling", "&General", "&Hardware", "RH &Options",
                                      "&Network",           "C&ontact", "A&bout"};
        QCOMPARE(c.tabData->count(), captions.size());
        for (int i = 0; i < captions.size(); ++i)
            QCOMPARE(c.tabData->tabText(i), captions[i]);
        QCOMPARE(c.tabData->currentIndex(), 0);
        for (int i = 0; i < captions.size(); ++i)
            QVERIFY(c.tabData->isTabEnabled(i));
    }

    void controlsSitUnderTheirFrames_data()
    {
        QTest::addColumn<QString>("name");
        QTest::addColumn<int>("tab");
        QTest::addColumn<QStringList>("frames");  // innermost first
        QTest::addColumn<QString>("caption");     // the row label, when there is one
        auto row = [](const char* name, int tab, QStringList frames, const char* caption) {
            QTest::newRow(name) << name << tab << frames << caption;
        };
        row("txtNvi_0", 0, {"Heating"}, "Occupied");
        row("txtNvi_1", 0, {"Heating"}, "Unoccupied");
        row("txtNvi_2", 0, {"Heating"}, "Maximum limit");
        row("txtNvi_3", 0, {"Cooling"}, "Occupied");
        row("txtNvi_4", 0, {"Cooling"}, "Unoccupied");
        row("txtNvi_5", 0, {"Cooling"}, "Minimum limit");
        row("cbNvi_0", 0, {"Setpoint options"}, "Setpoint type");
        row("cbNvi_1", 0, {"Common Options"}, "Cycle Per Hour");
        row("txtNvi_16", 0, {"Common Options"}, "Heating cooling minimum setpoint deadband");
        row("cbNvi_11", 1, {"System type"}, "");
        row("txtNvi_17", 1, {"Temporary Occ Time"}, "");
        row("cbNvi_10", 1, {"Fan mode sequence and menu"}, "");
        row("txtNvi_18", 1, {"Door time"}, "");
        row("cbNvi_12", 1, {"Display"}, "Scale");
        row("cbNvi_13", 1, {"Display"}, "Menu Scroll");
        row("cbNvi_14", 1, {"Display"}, "Auto Function");
        row("cbNvi_15", 1, {"Sequence of operations"}, "");
        row("cbNvi_2", 2, {"Inputs"}, "Binary Input #1");
        row("cbNvi_3", 2, {"Inputs"}, "Digital Input #2");
        row("cbNvi_4", 2, {"Inputs"}, "Universal Input #3");
        row("txtNvi_6", 2, {"Temperature sensor calibration"}, "Room sensor offset");
        row("txtNvi_14", 2, {"Floating actuator timing", "Outputs"}, "");
        row("cbNvi_5", 2, {"Control Type", "Outputs"}, "");
        row("cbNvi_6", 2, {"Reverse AO action", "Outputs"}, "");
        row("cbNvi_7", 2, {"Auxiliary Contacts"}, "Configuration");
        row("cbNvi_8", 2, {"Auxiliary Contacts"}, "Reheat time base");
        row("txtNvi_7", 3, {"Dehumidification"}, "Setpoint");
        row("txtNvi_8", 3, {"Dehumidification"}, "Hysteresis");
        row("txtNvi_9", 3, {"Dehumidification"}, "Max Cooling output");
        row("cbNvi_9", 3, {"Display relative humidity"}, "");
        row("txtNvi_10", 3, {"RH sensor calibration"}, "");
        row("txtNvi_41", 4, {"Input"}, "Heartbeat");
        row("txtNvi_39", 4, {"Output"}, "Heartbeat");
        row("txtNvi_40", 4, {"Output"}, "Trottle");
        row("WebBrowser1", 5, {}, "");
        row("txtNvi_11", 6, {"Thermostat"}, "Model");
        row("txtNvi_12", 6, {"Thermostat"}, "Version");
        row("txtNvi_13", 6, {"Ostrane Module"}, "Major Version");
        row("txtNvi_15", 6, {"Ostrane Module"}, "Minor Version");
        row("Picture1", 6, {}, "");
        row("txtMajorVersion", 6, {}, "");
        row("txtMinorVersion", 6, {}, "");
        row("lbModel", -1, {}, "");
        row("lbHvacType", -1, {}, "");
        row("lblDeviceTemplate", -1, {}, "");
        row("obUnits_0", -1, {"Plug-In Display Units"}, "");
        row("obUnits_1", -1, {"Plug-In Display Units"}, "");
        row("cmdApply", -1, {}, "");
        row("cmdDebug", -1, {}, "");
    }
    void controlsSitUnderTheirFrames()
    {
        QFETCH(QString, name);
        QFETCH(int, tab);
        QFETCH(QStringList, frames);
        QFETCH(QString, caption);
        auto* w = window->findChild<QWidget*>(name);
        QVERIFY(w);
        QCOMPARE(TabOf(c.tabData, w), tab);
        QCOMPARE(FramesAround(w), frames);
        QCOMPARE(RowCaption(window.get(), w), caption);
    }

    void frameCaptionsOfTheModelOptions_data()
    {
        QTest::addColumn<QString>("name");
        QTest::addColumn<QString>("title");
        QTest::newRow("frmControlType") << "frmControlType"
                                        << "Control Type";
        QTest::newRow("frmAccTiming") << "frmAccTiming"
                                      << "Floating actuator timing";
        QTest::newRow("frmActing") << "frmActing"
                                   << "Reverse AO action";
        QTest::newRow("frmFanMode") << "frmFanMode"
                                    << "Fan mode sequence and menu";
        QTest::newRow("frmSeqOperation") << "frmSeqOperation"
                                         << "Sequence of operations";
        QTest::newRow("frmUnits") << "frmUnits"
                                  << "Plug-In Display Units";
    }
    void frameCaptionsOfTheModelOptions()
    {
        QFETCH(QString, name);
        QFETCH(QString, title);
        auto* frame = window->findChild<QGroupBox*>(name);
        QVERIFY(frame);
        QCOMPARE(frame->title(), title);
    }

    void choiceLists_data()
    {
        QTest::addColumn<int>("index");
        QTest::addColumn<QStringList>("items");
        QTest::newRow("0 SetpointType") << 0 << QStringList{"PERMANENT", "TEMPORARY"};
        QTest::newRow("1 CyclePerHour") << 1 << QStringList{"3", "4", "5", "6", "7", "8"};
        QTest::newRow("2 DigitalInput1") << 2 << QStringList{"NONE", "REM_NSB", "MOTION_NO", "MOTION_NC", "WINDOW"};
        QTest::newRow("3 DigitalInput2") << 3 << QStringList{"NONE", "DOOR_DRY", "OVERRIDE", "SERVICE", "FILTER"};
        QTest::newRow("4 DigitalInput3") << 4 << QStringList{"NONE", "COC_NH", "COC_NC", "COS", "SS"};
        QTest::newRow("5 ControlType") << 5 << QStringList{"ON_OFF", "FLOATING"};
        QTest::newRow("6 ReverseAOut") << 6 << QStringList{"OFF", "ON"};
        QTest::newRow("7 AuxCont") << 7 << QStringList{"USED_FOR_REHEAT",    "NO_WITH_OCCUPANCY",  "NC_WITH_OCCUPANCY",
                                                       "NO_WITH_OCC_FAN_ON", "NC_WITH_OCC_FAN_ON", "REMOTE_CONTROL"};
        QTest::newRow("8 Reheat") << 8 << QStringList{"RTB_15_MINUTES", "RTB_10_SECONDS"};
        QTest::newRow("9 RHdisplay") << 9 << QStringList{"OFF", "ON"};
        QTest::newRow("10 FanMenu") << 10
                                    << QStringList{"LOW_MED_HIGH", "LOW_HIGH", "LOW_MED_HIGH_AUTO", "LOW_HIGH_AUTO",
                                                   "ON_AUTO"};
        QTest::newRow("11 Pipes") << 11 << QStringList{"TWO_PIPE", "FOUR_PIPE"};
        QTest::newRow("12 TempScale") << 12 << QStringList{"CELSIUS", "FAHRENHEIT"};
        QTest::newRow("13 MenuScroll") << 13 << QStringList{"NO_SCROLL", "SCROLL_ACTIVE"};
        QTest::newRow("14 AutoMode") << 14 << QStringList{"OFF", "ON"};
        QTest::newRow("15 SeqOpera") << 15 << QStringList{"COOLING_ONLY",     "HEATING_ONLY", "COOLING_W_REHEAT",
                                                          "HEATING_W_REHEAT", "HEAT_COOL",    "HEAT_COOL_W_REHEAT"};
    }
    void choiceLists()
    {
        QFETCH(int, index);
        QFETCH(QStringList, items);
        QComboBox* combo = c.cbNvi.at(index);
        QVERIFY(!combo->isEditable());
        QStringList shown;
        for (int i = 0; i < combo->count(); ++i)
            shown << combo->itemText(i);
        QCOMPARE(shown, items);
    }

    void lockedTextBoxes()
    {
        for (int i : TextBoxIndices()) {
            const bool locked = i == 11 || i == 12 || i == 13 || i == 15;
            QVERIFY2(c.txtNvi.at(i)->isReadOnly() == locked, qPrintable(QString::number(i)));
            QVERIFY(c.txtNvi.at(i)->isEnabled());
        }
    }

    void initialStates()
    {
        window->show();
        QVERIFY(QTest::qWaitForWindowExposed(window.get()));
        QVERIFY(!c.cmdApply->isEnabled());
        QVERIFY(!c.cmdCancel->isEnabled());
        for (QPushButton* b : {c.cmdExit, c.cmdHelp, c.cmdViewLog, c.cmdRefresh})
            QVERIFY2(b->isEnabled() && b->isVisible(), qPrintable(b->objectName()));
        QVERIFY(!c.cmdDebug->isVisible());
        QVERIFY(!c.txtDebug->isVisible());
        QVERIFY(c.cmdDebug->isHidden());
        QVERIFY(c.txtDebug->isHidden());
        QVERIFY(c.lbModel->isVisible());
        QVERIFY(c.lbHvacType->isVisible());
        QCOMPARE(c.lbModel->text(), QStringLiteral("Undefined model"));
        QCOMPARE(c.lbHvacType->text(), QStringLiteral("HVT_UNKNOWN"));
        QCOMPARE(c.lblDeviceTemplate->text(), QString());
    }

    void buttonCaptions_data()
    {
        QTest::addColumn<QString>("name");
        QTest::addColumn<QString>("caption");
        QTest::newRow("cmdApply") << "cmdApply"
                                  << "&Apply";
        QTest::newRow("cmdCancel") << "cmdCancel"
                                   << "&Cancel";
        QTest::newRow("cmdExit") << "cmdExit"
                                 << "&Exit";
        QTest::newRow("cmdRefresh") << "cmdRefresh"
                                    << "&Refresh All";
        QTest::newRow("obUnits_0") << "obUnits_0"
                                   << "&Metric";
        QTest::newRow("obUnits_1") << "obUnits_1"
                                   << "&Imperial";
    }
    void buttonCaptions()
    {
        QFETCH(QString, name);
        QFETCH(QString, caption);
        auto* button = window->findChild<QAbstractButton*>(name);
        QVERIFY(button);
        QCOMPARE(button->text(), caption);
    }

    void unitOptionsFollowTheDisplayUnits_data()
    {
        QTest::addColumn<int>("units");
        QTest::addColumn<QString>("symbol");
        QTest::newRow("metric") << 0 << QString(QChar(0x00BA)) + "C";
        QTest::newRow("imperial") << 1 << QString(QChar(0x00BA)) + "F";
    }
    void unitOptionsFollowTheDisplayUnits()
    {
        QFETCH(int, units);
        QFETCH(QString, symbol);
        QMainWindow other;
        FMainControls o = BuildFMainLayout(&other, qint16(units));
        QCOMPARE(o.obUnits.at(units)->isChecked(), true);
        QCOMPARE(o.obUnits.at(1 - units)->isChecked(), false);
        QCOMPARE(o.obUnits.at(0)->property("Tag").toString(), QStringLiteral("#SI"));
        QCOMPARE(o.obUnits.at(1)->property("Tag").toString(), QStringLiteral("#US"));
        QCOMPARE(int(o.txtTempUnits.size()), 8);
        for (const auto& [index, label] : o.txtTempUnits)
            QCOMPARE(label->text(), symbol);
        // A click leaves the choice to the window (it asks first when edits are pending); the window
        // choosing the other option leaves exactly one chosen.
        o.obUnits.at(1 - units)->click();
        QCOMPARE(o.obUnits.at(units)->isChecked(), true);
        QCOMPARE(o.obUnits.at(1 - units)->isChecked(), false);
        o.obUnits.at(1 - units)->setChecked(true);
        QCOMPARE(o.obUnits.at(units)->isChecked(), false);
    }

    void unitCaptionsBesideTheirFields_data()
    {
        QTest::addColumn<QString>("unit");
        QTest::addColumn<int>("field");
        QTest::addColumn<QString>("caption");
        const QString celsius = QString(QChar(0x00BA)) + "C";
        for (const auto& [unit, field] : FMainControls::TempUnitsField())
            QTest::addRow("txtTempUnits_%d", unit) << QStringLiteral("txtTempUnits_%1").arg(unit) << field << celsius;
        const int percentFields[] = {7, 8, 9, 10};
        for (int i = 0; i < 4; ++i)
            QTest::addRow("txtPercentUnits_%d", i)
                << QStringLiteral("txtPercentUnits_%1").arg(i) << percentFields[i] << "%";
        QTest::newRow("Min") << "lblTimeUnits_14" << 14 << "Min";
        QTest::newRow("Hours") << "lblTimeUnits_17" << 17 << "Hours";
        QTest::newRow("Minutes") << "lblTimeUnits_18" << 18 << "Minutes";
        QTest::newRow("Sec 39") << "lblTimeUnits_39" << 39 << "Sec";
        QTest::newRow("Sec 40") << "lblTimeUnits_40" << 40 << "Sec";
        QTest::newRow("Sec 41") << "lblTimeUnits_41" << 41 << "Sec";
    }
    void unitCaptionsBesideTheirFields()
    {
        QFETCH(QString, unit);
        QFETCH(int, field);
        QFETCH(QString, caption);
        auto* label = window->findChild<QLabel*>(unit);
        QVERIFY(label);
        QCOMPARE(label->text(), caption);
        window->show();
        QVERIFY(QTest::qWaitForWindowExposed(window.get()));
        QLineEdit* edit = c.txtNvi.at(field);
        c.tabData->setCurrentIndex(TabOf(c.tabData, edit));
        QCoreApplication::processEvents();
        // Same frame, same line, right after the field.
        QCOMPARE(label->parentWidget(), edit->parentWidget());
        const QRect l = label->geometry();
        const QRect e = edit->geometry();
        QVERIFY2(l.left() >= e.right(), qPrintable(unit));
        QVERIFY2(l.top() < e.bottom() && l.bottom() > e.top(), qPrintable(unit));
    }

    void statusBarHasTwoPanels()
    {
        QCOMPARE(int(c.StatusBarPanel.size()), 2);
        for (int panel : {1, 2}) {
            QLabel* label = c.StatusBarPanel.at(panel);
            QCOMPARE(label->parentWidget(), static_cast<QWidget*>(c.StatusBar));
            QCOMPARE(label->text(), QString());
        }
        window->show();
        QVERIFY(QTest::qWaitForWindowExposed(window.get()));
        QVERIFY(c.StatusBarPanel.at(1)->geometry().right() < c.StatusBarPanel.at(2)->geometry().left());
    }

    // Every caption is shown whole and no two controls of a page cover each other, on every tab,
    // at the window's smallest size and at a larger one.
    void textsFitAndNothingOverlaps_data()
    {
        QTest::addColumn<double>("grow");
        QTest::newRow("smallest") << 1.0;
        QTest::newRow("larger") << 1.5;
    }
    void textsFitAndNothingOverlaps()
    {
        QFETCH(double, grow);
        c.cmdDebug->setVisible(true);
        c.txtDebug->setVisible(true);
        c.lblDeviceTemplate->setText(QStringLiteral("Ostrane [T7 (8000D3550004040B)]"));
        window->show();
        QVERIFY(QTest::qWaitForWindowExposed(window.get()));
        window->resize(window->minimumSizeHint() * grow);
        for (int tab = 0; tab < c.tabData->count(); ++tab) {
            c.tabData->setCurrentIndex(tab);
            QCoreApplication::processEvents();
            for (QWidget* w : window->findChildren<QWidget*>()) {
                if (!w->isVisible() || w->objectName().isEmpty() || w->objectName().startsWith("qt_"))
                    continue;
                const QString name = w->objectName();
                if (auto* label = qobject_cast<QLabel*>(w); label && !label->wordWrap()) {
                    QVERIFY2(label->width() >= label->minimumSizeHint().width(), qPrintable(name));
                }
                if (auto* button = qobject_cast<QAbstractButton*>(w))
                    QVERIFY2(button->width() >= button->minimumSizeHint().width(), qPrintable(name));
                if (auto* combo = qobject_cast<QComboBox*>(w))
                    QVERIFY2(combo->width() >= combo->minimumSizeHint().width(), qPrintable(name));
                // Siblings in the same parent must not overlap.
                for (QObject* o : w->parentWidget()->children()) {
                    auto* sibling = qobject_cast<QWidget*>(o);
                    if (!sibling || sibling == w || !sibling->isVisible() || sibling->isWindow())
                        continue;
                    if (sibling->objectName().isEmpty() || sibling->objectName().startsWith("qt_"))
                        continue;
                    QVERIFY2(!w->geometry().intersects(sibling->geometry()),
                             qPrintable(name + " overlaps " + sibling->objectName()));
                }
                // Inside its parent.
                QVERIFY2(w->parentWidget()->rect().contains(w->geometry()), qPrintable(name + " clipped"));
            }
        }
    }

    // A path longer than the status bar's room is shortened in the middle, where a path says least,
    // and shown whole as the tooltip and to a screen reader; it never widens the window.
    void longPathIsShortenedInTheMiddle_data()
    {
        QTest::addColumn<QString>("path");
        QTest::newRow("short") << "Demo/System 1/Floor 1/TS-101";
        QTest::newRow("long") << QString(QStringLiteral("Demo/System 1/Floor 1/")).repeated(8) + "TS-999";
    }
    void longPathIsShortenedInTheMiddle()
    {
        QFETCH(QString, path);
        window->show();
        QVERIFY(QTest::qWaitForWindowExposed(window.get()));
        const QSize smallest = window->minimumSizeHint();
        auto* panel = static_cast<ElidedLabel*>(c.StatusBarPanel.at(2));
        panel->setText(path);
        QCOMPARE(window->minimumSizeHint(), smallest);
        window->resize(smallest);
        QCoreApplication::processEvents();
        const QString shown = panel->shownText();
        const bool shortened = shown != path;
        QCOMPARE(shortened, QByteArray(QTest::currentDataTag()) == "long");
        const qsizetype cut = shown.indexOf(QChar(0x2026));
        QCOMPARE(shortened, panel->fontMetrics().horizontalAdvance(path) > panel->contentsRect().width());
        QVERIFY(panel->fontMetrics().horizontalAdvance(shown) <= panel->contentsRect().width());
        QVERIFY(!shortened || (cut >= 2 && path.startsWith(shown.left(cut)) && path.endsWith(shown.mid(cut + 1)) &&
                               shown.size() - cut > 2));
        QHelpEvent help(QEvent::ToolTip, panel->rect().center(), panel->mapToGlobal(panel->rect().center()));
        QCoreApplication::sendEvent(panel, &help);
        QTRY_COMPARE(QToolTip::text(), shortened ? path : QString());
        QToolTip::hideText();
        QCOMPARE(QAccessible::queryAccessibleInterface(panel)->text(QAccessible::Name), path);
    }

    // The band shows whenever it has at least its smallest height, in smaller letters the less room
    // it has, and gives its room up only below that: from the window's own size down to its smallest.
    void setpointBandShrinksWithTheWindow()
    {
        c.setpointBand->setValues({{"nciSetPts.occ_heat", "70"},
                                   {"nciSetPts.unocc_heat", "62"},
                                   {"HeatMax", "86"},
                                   {"nciSetPts.occ_cool", "74"},
                                   {"nciSetPts.unocc_cool", "80"},
                                   {"CoolMin", "64"},
                                   {"DeadBand", "3"}},
                                  1);
        window->show();
        QVERIFY(QTest::qWaitForWindowExposed(window.get()));
        const QSize smallest = c.setpointBand->smallestShown();
        const QFont own = c.setpointBand->font();
        bool smallerLetters = false;
        bool givenUp = false;
        for (int h = window->sizeHint().height(); h >= window->minimumSizeHint().height(); h -= 2) {
            window->resize(window->sizeHint().width(), h);
            QCoreApplication::processEvents();
            const SetpointBand::Picture picture = c.setpointBand->pictureAt(c.setpointBand->size());
            const QString at = QStringLiteral("window %1 high, band %2").arg(h).arg(c.setpointBand->height());
            QVERIFY2(picture.shown == (c.setpointBand->height() >= smallest.height()), qPrintable(at));
            QVERIFY2(c.setpointBand->width() >= smallest.width(), qPrintable(at));
            smallerLetters = smallerLetters || (picture.shown && picture.font.pointSizeF() < own.pointSizeF());
            givenUp = givenUp || !picture.shown;
        }
        QVERIFY(smallerLetters);
        QVERIFY(givenUp);
    }

    void windowStretches()
    {
        window->show();
        QVERIFY(QTest::qWaitForWindowExposed(window.get()));
        window->resize(window->minimumSizeHint());
        c.tabData->setCurrentIndex(5);
        QCoreApplication::processEvents();
        const QSize tabsBefore = c.tabData->size();
        const QSize browserBefore = c.WebBrowser1->size();
        window->resize(window->size() + QSize(300, 200));
        QCoreApplication::processEvents();
        QCOMPARE(c.tabData->size(), tabsBefore + QSize(300, 200));
        QVERIFY(c.WebBrowser1->width() > browserBefore.width());
        QVERIFY(c.WebBrowser1->height() > browserBefore.height());
        // The buttons keep to their column on the right of the tabs.
        QVERIFY(c.cmdApply->mapTo(window.get(), QPoint(0, 0)).x() > c.tabData->geometry().right());
    }

    // The band's marks as texts ("occ_cool 21.5 rule"), its dead band, and its words, for the field
    // texts in CrossFieldItems order (heat occ, heat unocc, HeatMax, cool occ, cool unocc, CoolMin,
    // DeadBand).
    void setpointBandShows_data()
    {
        QTest::addColumn<int>("units");
        QTest::addColumn<QStringList>("texts");
        QTest::addColumn<QStringList>("marks");
        QTest::addColumn<QString>("band");
        QTest::addColumn<QString>("said");
        QTest::newRow("normal device, metric") << 0 << QStringList{"21", "16", "30", "24", "28", "18", "1.5"}
                                               << QStringList{"HeatMax 30 ok",  "occ_heat 21 ok",   "unocc_heat 16 ok",
                                                              "occ_cool 24 ok", "unocc_cool 28 ok", "CoolMin 18 ok"}
                                               << "21-24 ok"
                                               << "Occupied dead band from 21 \u00BAC to 24 \u00BAC.";
        QTest::newRow("dead band broken while typing, metric")
            << 0 << QStringList{"21", "16", "30", "21.5", "28", "18", "1.5"}
            << QStringList{"HeatMax 30 ok",      "occ_heat 21 rule", "unocc_heat 16 ok",
                           "occ_cool 21.5 rule", "unocc_cool 28 ok", "CoolMin 18 ok"}
            << "21-21.5 broken"
            << "Occupied cooling setpoint: 21.5 \u00BAC, breaks a rule";
        QTest::newRow("normal device, imperial")
            << 1 << QStringList{"70", "61", "86", "75", "82", "64", "3"}
            << QStringList{"HeatMax 86 ok",  "occ_heat 70 ok",   "unocc_heat 61 ok",
                           "occ_cool 75 ok", "unocc_cool 82 ok", "CoolMin 64 ok"}
            << "70-75 ok"
            << "from 70 \u00BAF to 75 \u00BAF";
        // 35 °F is below the heating range; 62 is below the cooling minimum typed beside it.
        QTest::newRow("out of range and below the minimum, imperial")
            << 1 << QStringList{"58", "35", "86", "62", "82", "64", "3"}
            << QStringList{"HeatMax 86 ok",    "occ_heat 58 ok",   "unocc_heat 35 range",
                           "occ_cool 62 rule", "unocc_cool 82 ok", "CoolMin 64 ok"}
            << "58-62 ok"
            << "Unoccupied heating setpoint: 35 \u00BAF, out of its range";
        QTest::newRow("values not read") << 0 << QStringList{"", "", "", "", "", "", ""} << QStringList{} << "none"
                                         << "no set point read";
        // Without occupied heating neither the band nor the rule on it: occupied cooling is fine.
        QTest::newRow("occupied heating not read")
            << 0 << QStringList{"", "16", "30", "21.5", "28", "18", "1.5"}
            << QStringList{"HeatMax 30 ok", "unocc_heat 16 ok", "occ_cool 21.5 ok", "unocc_cool 28 ok", "CoolMin 18 ok"}
            << "none"
            << "Occupied cooling setpoint: 21.5 \u00BAC.";
    }
    void setpointBandShows()
    {
        QFETCH(int, units);
        QFETCH(QStringList, texts);
        QFETCH(QStringList, marks);
        QFETCH(QString, band);
        QFETCH(QString, said);
        std::map<QString, QString> fields;
        for (int i = 0; i < texts.size(); ++i)
            fields[device::config::CrossFieldItems().at(i)] = texts.at(i);
        SetpointBand widget;
        widget.setValues(fields, qint16(units));
        const SetpointBand::Model& model = widget.model();
        const char* const states[] = {"ok", "rule", "range"};
        QStringList shown;
        for (const SetpointBand::Mark& mark : model.marks) {
            shown << QStringLiteral("%1 %2 %3")
                         .arg(mark.item.section(QLatin1Char('.'), -1), numbers::ShortestNumber(mark.value),
                              QLatin1String(states[mark.state]));
            // Every mark lies on the scale, with room around it.
            QVERIFY(model.low < mark.value && mark.value < model.high);
        }
        QCOMPARE(shown, marks);
        const QString bandShown =
            model.band ? QStringLiteral("%1-%2 %3")
                             .arg(numbers::ShortestNumber(model.band->first),
                                  numbers::ShortestNumber(model.band->second), model.bandBroken ? "broken" : "ok")
                       : QStringLiteral("none");
        QCOMPARE(bandShown, band);
        QCOMPARE(model.unit, device::UnitSymbol(qint16(units)));
        QVERIFY2(widget.accessibleDescription().contains(said), qPrintable(widget.accessibleDescription()));
    }

    // The band takes room under the frames only: at the window's smallest the frames of the tab sit
    // where they would without it, and the window needs no more room than its other tabs ask; at
    // its own size the window has the band's room too.
    void setpointBandLeavesTheFramesInPlace()
    {
        window->show();
        QVERIFY(QTest::qWaitForWindowExposed(window.get()));
        window->resize(window->minimumSizeHint());
        QCoreApplication::processEvents();
        auto* page = c.tabData->widget(0);
        QVERIFY(page->isAncestorOf(c.setpointBand));
        QList<QRect> withBand;
        const QStringList frames{"frmHeating", "frmCooling", "frmSetpointOptions", "frmCommonOptions"};
        for (const QString& name : frames)
            withBand << page->findChild<QGroupBox*>(name)->geometry();
        const QSize smallest = window->minimumSizeHint();
        c.setpointBand->hide();
        QCoreApplication::processEvents();
        for (int i = 0; i < frames.size(); ++i)
            QCOMPARE(page->findChild<QGroupBox*>(frames.at(i))->geometry(), withBand.at(i));
        QCOMPARE(window->minimumSizeHint(), smallest);
        c.setpointBand->show();
        window->resize(window->sizeHint());
        QCoreApplication::processEvents();
        const QRect lowest = page->findChild<QGroupBox*>("frmCommonOptions")->geometry();
        QVERIFY(c.setpointBand->geometry().top() > lowest.bottom());
        QCOMPARE(c.setpointBand->height(), c.setpointBand->sizeHint().height());
    }
};

QTEST_MAIN(TestFMainLayout)
#include "tst_fMainLayout.moc"
