// Data items over access objects whose fields are in memory: rounding, the control fallback, stores
// and the changed flag, limits, and the failures a caller sees.
#include "binding/CNvCtrlTable.h"
#include "device/CNvCpTable.h"
#include "device/Global.h"
#include "support/Failures.h"

#include <QComboBox>
#include <QLabel>
#include <QLineEdit>
#include <QPushButton>
#include <QTest>
#include <functional>
#include <memory>

namespace {

std::shared_ptr<CNvCpTable> TableWith(const QString& separator, std::optional<QStringList> fields)
{
    auto table = std::make_shared<CNvCpTable>();
    table->Name = QStringLiteral("nciSetPts");
    table->Separator = separator;
    table->NvAsArray = std::move(fields);
    return table;
}

using testsupport::FailureOf;

}  // namespace

class TestDataItems : public QObject {
    Q_OBJECT

private slots:
    void roundToStep_data()
    {
        QTest::addColumn<QString>("value");
        QTest::addColumn<double>("step");
        QTest::addColumn<double>("expected");
        QTest::newRow("quarter below a half-step tie goes to even") << "21.25" << 0.5 << 21.0;
        QTest::newRow("quarter above goes to even") << "21.75" << 0.5 << 22.0;
        QTest::newRow("near a whole") << "22.24" << 0.5 << 22.0;
        QTest::newRow("negative on the step") << "-2.5" << 0.5 << -2.5;
        QTest::newRow("on the step") << "2.5" << 0.5 << 2.5;
        QTest::newRow("whole step, half to even down") << "6.5" << 1.0 << 6.0;
        QTest::newRow("whole step, half to even up") << "7.5" << 1.0 << 8.0;
        QTest::newRow("blanks around a number") << " 21.6 " << 0.5 << 21.5;
        QTest::newRow("not a number") << "abc" << 0.5 << 0.0;
        QTest::newRow("empty") << "" << 0.5 << 0.0;
        QTest::newRow("not a number with step 0") << "x" << 0.0 << 0.0;
    }
    void roundToStep()
    {
        QFETCH(QString, value);
        QFETCH(double, step);
        QFETCH(double, expected);
        QCOMPARE(Global::RoundToStep(value, step), expected);
    }

    void roundToStepFailures_data()
    {
        QTest::addColumn<QString>("value");
        QTest::addColumn<double>("step");
        QTest::addColumn<qint32>("number");
        QTest::newRow("step 0 divides by zero") << "21" << 0.0 << Global::ErrDivisionByZero;
        QTest::newRow("quotient above 32 bits") << "1e10" << 0.5 << Global::ErrOverflow;
        QTest::newRow("quotient below 32 bits") << "-1100000000" << 0.5 << Global::ErrOverflow;
        QTest::newRow("largest quotient fits") << "2147483647" << 1.0 << 0;
    }
    void roundToStepFailures()
    {
        QFETCH(QString, value);
        QFETCH(double, step);
        QFETCH(qint32, number);
        QCOMPARE(FailureOf([&] { Global::RoundToStep(value, step); }), number);
    }

    void objectServerErrorText_data()
    {
        QTest::addColumn<qint64>("code");
        QTest::addColumn<QString>("text");
        QTest::newRow("18200") << qint64(18200) << "Failed to communicate with target device.";
        QTest::newRow("18034") << qint64(18034) << "Failed to write data to the network variable object.";
        QTest::newRow("18035") << qint64(18035) << "An attempt to format the requested data has failed.";
        QTest::newRow("other code") << qint64(4010) << "";
        QTest::newRow("zero") << qint64(0) << "";
    }
    void objectServerErrorText()
    {
        QFETCH(qint64, code);
        QFETCH(QString, text);
        QCOMPARE(Global::ObjectServerErrorText(code).english, text);
    }

    void valueOfReadField_data()
    {
        QTest::addColumn<QString>("field");
        QTest::addColumn<bool>("round");
        QTest::addColumn<double>("step");
        QTest::addColumn<QString>("expected");
        QTest::newRow("21.25 rounds to 21") << "21.25" << true << 0.5 << "21";
        QTest::newRow("21.75 rounds to 22") << "21.75" << true << 0.5 << "22";
        QTest::newRow("22.24 rounds to 22") << "22.24" << true << 0.5 << "22";
        QTest::newRow("-2.5 stays") << "-2.5" << true << 0.5 << "-2.5";
        QTest::newRow("21.5 keeps its half") << "21.5" << true << 0.5 << "21.5";
        QTest::newRow("22.0 is written 22") << "22.0" << true << 0.5 << "22";
        QTest::newRow("door time by whole minutes") << "3.4" << true << 1.0 << "3";
        QTest::newRow("non-numeric rounds to 0") << "abc" << true << 0.5 << "0";
        QTest::newRow("enumeration unrounded") << "TWO_PIPE" << false << 0.0 << "TWO_PIPE";
        QTest::newRow("number unrounded keeps its text") << "21.25" << false << 0.5 << "21.25";
        QTest::newRow("empty field unrounded") << "" << false << 0.0 << "";
    }
    void valueOfReadField()
    {
        QFETCH(QString, field);
        QFETCH(bool, round);
        QFETCH(double, step);
        QFETCH(QString, expected);
        QLineEdit control(QStringLiteral("shown"));
        CNvCtrlTable item;
        item.NvCpTable = TableWith(QStringLiteral(","), QStringList{QStringLiteral("1"), field, QStringLiteral("3")});
        item.ItemArrayIndex = 1;
        item.RoundValue = round;
        item.Ceiling = step;
        item.TheControl = &control;
        QCOMPARE(item.Value(), expected);
    }

    void valueFallsBackToControl_data()
    {
        QTest::addColumn<QString>("control");
        QTest::addColumn<QString>("state");
        QTest::addColumn<QString>("expected");
        for (const QString state : {"unread", "index outside", "step 0", "no table"}) {
            QTest::addRow("text box, %s", qPrintable(state)) << "lineedit" << state << "21.5";
            QTest::addRow("combo box, %s", qPrintable(state)) << "combo" << state << "FOUR_PIPE";
            QTest::addRow("label, %s", qPrintable(state)) << "label" << state << "HVT_UNKNOWN";
            QTest::addRow("button, %s", qPrintable(state)) << "button" << state << "";
            QTest::addRow("no control, %s", qPrintable(state)) << "none" << state << "";
        }
    }
    void valueFallsBackToControl()
    {
        QFETCH(QString, control);
        QFETCH(QString, state);
        QFETCH(QString, expected);
        QLineEdit edit(QStringLiteral("21.5"));
        QComboBox combo;
        // As the window's lists: the device's name as data, another text shown.
        combo.addItem(QStringLiteral("two pipes"), QStringLiteral("TWO_PIPE"));
        combo.addItem(QStringLiteral("four pipes"), QStringLiteral("FOUR_PIPE"));
        combo.setCurrentIndex(1);
        QLabel label(QStringLiteral("HVT_UNKNOWN"));
        QPushButton button(QStringLiteral("&Apply"));

        CNvCtrlTable item;
        if (control == "lineedit")
            item.TheControl = &edit;
        else if (control == "combo")
            item.TheControl = &combo;
        else if (control == "label")
            item.TheControl = &label;
        else if (control == "button")
            item.TheControl = &button;
        item.ItemArrayIndex = 2;
        item.RoundValue = true;
        item.Ceiling = 0.5;
        if (state == "unread") {
            item.NvCpTable = TableWith(QStringLiteral(" "), std::nullopt);
        } else if (state == "index outside") {
            item.NvCpTable = TableWith(QStringLiteral(" "), QStringList{QStringLiteral("1"), QStringLiteral("2")});
        } else if (state == "step 0") {
            item.NvCpTable = TableWith(QStringLiteral(" "), QStringList{"1", "2", "3"});
            item.Ceiling = 0;
        }
        QCOMPARE(item.Value(), expected);
    }

    void valueFallbackFollowsTheControl()
    {
        // Until the first read the item shows whatever the control shows now.
        QLineEdit edit(QStringLiteral("20"));
        CNvCtrlTable item;
        item.NvCpTable = TableWith(QStringLiteral(","), std::nullopt);
        item.TheControl = &edit;
        QCOMPARE(item.Value(), QStringLiteral("20"));
        edit.setText(QStringLiteral("24.5"));
        QCOMPARE(item.Value(), QStringLiteral("24.5"));
        item.NvCpTable->NvAsArray = QStringList{QStringLiteral("19")};
        QCOMPARE(item.Value(), QStringLiteral("19"));
    }

    void storeChangesOnlyItsField_data()
    {
        QTest::addColumn<QString>("separator");
        QTest::addColumn<QStringList>("fields");
        QTest::addColumn<int>("index");
        QTest::addColumn<QString>("stored");
        QTest::addColumn<QString>("joined");
        QTest::newRow("comma, six set points") << "," << QStringList{"24", "26", "28", "21", "19", "16"} << 3 << "23"
                                               << "24,26,28,23,19,16";
        QTest::newRow("blank, empty field kept") << " " << QStringList{"ON", "", "3", "OFF"} << 2 << "5"
                                                 << "ON  5 OFF";
        QTest::newRow("tab, single field") << "\t" << QStringList{"51"} << 0 << "60"
                                           << "60";
        QTest::newRow("tab, empty fields around") << "\t" << QStringList{"", "7", ""} << 1 << "8"
                                                  << "\t8\t";
        QTest::newRow("store an empty text") << "," << QStringList{"1", "2"} << 0 << ""
                                             << ",2";
    }
    void storeChangesOnlyItsField()
    {
        QFETCH(QString, separator);
        QFETCH(QStringList, fields);
        QFETCH(int, index);
        QFETCH(QString, stored);
        QFETCH(QString, joined);
        CNvCtrlTable item;
        item.NvCpTable = TableWith(separator, fields);
        item.ItemArrayIndex = qint16(index);
        QVERIFY(!item.NvCpTable->ValueAsChanges);
        item.SetValue(stored);
        QStringList expected = fields;
        expected[index] = stored;
        QCOMPARE(*item.NvCpTable->NvAsArray, expected);
        QVERIFY(item.NvCpTable->ValueAsChanges);
        QCOMPARE(item.NvString(), joined);
        QCOMPARE(item.NvCpTable->NvAsString(), joined);
    }

    void storeIsNotRounded()
    {
        CNvCtrlTable item;
        item.NvCpTable = TableWith(QStringLiteral(","), QStringList{"21", "22"});
        item.RoundValue = true;
        item.Ceiling = 0.5;
        item.SetValue(QStringLiteral("31.95"));
        QCOMPARE(item.NvCpTable->NvAsArray->at(0), QStringLiteral("31.95"));
        QCOMPARE(item.Value(), QStringLiteral("32"));
    }

    void storeFailures_data()
    {
        QTest::addColumn<QString>("state");
        QTest::addColumn<qint32>("number");
        QTest::newRow("unread") << "unread" << Global::ErrSubscriptOutOfRange;
        QTest::newRow("index outside") << "index outside" << Global::ErrSubscriptOutOfRange;
        QTest::newRow("negative index") << "negative index" << Global::ErrSubscriptOutOfRange;
        QTest::newRow("no access object") << "no table" << Global::ErrObjectNotSet;
    }
    void storeFailures()
    {
        QFETCH(QString, state);
        QFETCH(qint32, number);
        CNvCtrlTable item;
        item.ItemArrayIndex = 2;
        if (state == "unread")
            item.NvCpTable = TableWith(QStringLiteral(","), std::nullopt);
        else if (state == "index outside")
            item.NvCpTable = TableWith(QStringLiteral(","), QStringList{"1", "2"});
        else if (state == "negative index") {
            item.NvCpTable = TableWith(QStringLiteral(","), QStringList{"1", "2"});
            item.ItemArrayIndex = -1;
        }
        QCOMPARE(FailureOf([&] { item.SetValue(QStringLiteral("5")); }), number);
        if (item.NvCpTable) {
            QVERIFY(!item.NvCpTable->ValueAsChanges);
            QCOMPARE(item.NvCpTable->NvAsArray.value_or(QStringList{"unread"}).size(), state == "unread" ? 1 : 2);
        }
    }

    void joinFailsWithoutFields()
    {
        CNvCtrlTable item;
        item.NvCpTable = TableWith(QStringLiteral(","), std::nullopt);
        QCOMPARE(FailureOf([&] { item.NvString(); }), Global::ErrTypeMismatch);
        QCOMPARE(FailureOf([&] { item.NvCpTable->NvAsString(); }), Global::ErrTypeMismatch);
        item.NvCpTable->NvAsArray = QStringList();
        QCOMPARE(item.NvString(), QString());
    }

    void initializeClearsTheSharedFlag()
    {
        auto table = TableWith(QStringLiteral(","), QStringList{"24", "26", "28", "21", "19", "16"});
        CNvCtrlTable occHeat;
        occHeat.NvCpTable = table;
        occHeat.ItemArrayIndex = 3;
        CNvCtrlTable occCool;
        occCool.NvCpTable = table;
        occCool.ItemArrayIndex = 0;

        occHeat.SetValue(QStringLiteral("22"));
        QVERIFY(table->ValueAsChanges);
        occCool.Initialize();
        QVERIFY(!table->ValueAsChanges);
        // The stored field stays; only the mark goes.
        QCOMPARE(occHeat.Value(), QStringLiteral("22"));

        CNvCtrlTable unbound;
        QCOMPARE(FailureOf([&] { unbound.Initialize(); }), Global::ErrObjectNotSet);
    }

    void formatNeedsAVariable()
    {
        CNvCtrlTable item;
        item.NvCpTable = TableWith(QStringLiteral(","), std::nullopt);
        QCOMPARE(FailureOf([&] { item.DsFormatType(); }), Global::ErrObjectNotSet);
        QCOMPARE(FailureOf([&] { item.SetDsFormatType(QStringLiteral("RAW")); }), Global::ErrObjectNotSet);
    }

    void itemOutlivingItsControl()
    {
        CNvCtrlTable item;
        {
            QLineEdit edit(QStringLiteral("21"));
            item.TheControl = &edit;
            QCOMPARE(item.Value(), QStringLiteral("21"));
        }
        QCOMPARE(item.Value(), QString());
    }
};

QTEST_MAIN(TestDataItems)
#include "tst_DataItems.moc"
