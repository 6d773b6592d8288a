// What a screen reader reads of the configuration window showing a demo thermostat, taken from the
// accessibility tree (QAccessible): every control named by what it is, each field described by its
// unit and range in the display units (or its choices), its value the value it shows.
#include "ConfiguredWindow.h"
#include "device/ConfigModel.h"
#include "platform/base/Numbers.h"

#include <QAccessible>

using namespace windowtest;

namespace {

// Every node below node, depth first.
void Collect(QAccessibleInterface* node, QList<QAccessibleInterface*>& out)
{
    for (int i = 0; i < node->childCount(); ++i)
        if (QAccessibleInterface* child = node->child(i)) {
            out << child;
            Collect(child, out);
        }
}

}  // namespace

class TestAccessibility : public QObject {
    Q_OBJECT
private slots:
    void init() { QVERIFY(m.makeWorld()); }
    void cleanup() { m.tearDown(); }

    void everyControlSaysWhatItIs_data()
    {
        QTest::addColumn<int>("units");
        QTest::addColumn<QStringList>("heating");  // occupied heating: name, description, value
        QTest::newRow("metric") << 0
                                << QStringList{"Occupied heating setpoint", "In degrees Celsius, from 4.5 to 32.",
                                               "21"};
        QTest::newRow("imperial") << 1
                                  << QStringList{"Occupied heating setpoint", "In degrees Fahrenheit, from 40 to 90.",
                                                 "70"};
    }
    void everyControlSaysWhatItIs()
    {
        QFETCH(int, units);
        QFETCH(QStringList, heating);
        QVERIFY(m.configure());
        testsupport::ScriptedMessageBoxes boxes;
        m.chooseUnits(units);
        QList<QAccessibleInterface*> tree;
        Collect(QAccessible::queryAccessibleInterface(m.w), tree);
        std::map<QString, QStringList> fields;
        for (QAccessibleInterface* node : tree) {
            const QString object = node->object() ? node->object()->objectName() : QString();
            const QString name = node->text(QAccessible::Name);
            const QString description = node->text(QAccessible::Description);
            const QString value = node->text(QAccessible::Value);
            const QString what = object + QStringLiteral(" (") + name + QStringLiteral(", ") + description + ')';
            // Buttons, options, tabs, lists and text boxes, hidden ones included, all have a name.
            if (QList{QAccessible::EditableText, QAccessible::ComboBox, QAccessible::Button, QAccessible::RadioButton,
                      QAccessible::PageTab}
                    .contains(node->role()))
                QVERIFY2(!name.trimmed().isEmpty(), qPrintable(what));
            const bool combo = object.startsWith(QLatin1String("cbNvi_"));
            if (!combo && !object.startsWith(QLatin1String("txtNvi_")))
                continue;
            // A field's name is what it holds, its item's description where it has one; never the value,
            // never another field's; its description names the range or the choices.
            const device::config::Item* item = device::config::ItemOfControl(
                combo ? device::config::Binding::ComboBox : device::config::Binding::TextBox,
                object.section(QLatin1Char('_'), 1).toInt());
            QVERIFY2(item, qPrintable(what));
            QVERIFY2(!name.isEmpty() && name != value, qPrintable(what));
            QVERIFY2(item->description.isEmpty() || name == item->description, qPrintable(what));
            for (const auto& [other, read] : fields)
                QVERIFY2(read.first() != name, qPrintable(what + QStringLiteral(" is named as ") + other));
            QVERIFY2(!description.isEmpty(), qPrintable(what));
            if (item->limited)
                QVERIFY2(description.contains(QStringLiteral("from %1 to %2")
                                                  .arg(numbers::ShortestNumber(item->min[units]),
                                                       numbers::ShortestNumber(item->max[units]))),
                         qPrintable(what));
            for (const QString& choice : item->choices)
                QVERIFY2(description.contains(choice), qPrintable(what));
            fields[object] = {name, description, value};
        }
        QCOMPARE(int(fields.size()), 38);  // 22 text boxes, 16 lists
        QCOMPARE(fields.at("txtNvi_0"), heating);
        QCOMPARE(fields.at("txtNvi_41").first(), QStringLiteral("Input heartbeat"));
        QCOMPARE(fields.at("txtNvi_39").first(), QStringLiteral("Output heartbeat"));
        // A list: what it is for, its choices, the device's choice.
        QCOMPARE(fields.at("cbNvi_0"), QStringList({"Setpoint type", "One of PERMANENT, TEMPORARY.",
                                                    m.deviceFields(QStringLiteral("nciGenOpts")).value(15)}));
        VERIFY_BOXES(boxes);
    }

private:
    ConfiguredWindow m;
};

QTEST_MAIN(TestAccessibility)
#include "tst_Accessibility.moc"
