// What assistive technology reads of the window's fields: lists named by what they are for, and each
// field's range or choices in words.
#include "ui/main/FieldAccessibility.h"
#include "ui/main/fMainLayout.h"

#include "device/ConfigModel.h"
#include "device/Units.h"
#include "platform/base/Numbers.h"

#include <QAbstractItemView>
#include <QAccessible>
#include <QAccessibleWidget>
#include <QCoreApplication>
#include <QLabel>
#include <QLineEdit>

#include <map>

namespace {

struct Words {
    Q_DECLARE_TR_FUNCTIONS(fMain)
};

// A list as assistive technology sees it: Qt's own combo box names itself by its current entry on this
// platform ("PERMANENT", "4"), so a reader could not tell what the list is for. This one is named by
// its accessible name, keeps the entry as its value, and opens its list as the action.
class NamedComboBox : public QAccessibleWidget {
public:
    explicit NamedComboBox(QComboBox* combo) : QAccessibleWidget(combo, QAccessible::ComboBox) {}

    QString text(QAccessible::Text t) const override
    {
        return t == QAccessible::Value ? combo()->currentText() : QAccessibleWidget::text(t);
    }

    // The entries' list, once the list has been made (made on first opening).
    int childCount() const override { return list() ? 1 : 0; }
    QAccessibleInterface* child(int index) const override
    {
        return index == 0 && list() ? QAccessible::queryAccessibleInterface(list()) : nullptr;
    }
    int indexOfChild(const QAccessibleInterface* child) const override
    {
        return child && list() && child->object() == list() ? 0 : -1;
    }

    QStringList actionNames() const override
    {
        return QStringList{showMenuAction(), pressAction()} + QAccessibleWidget::actionNames();
    }
    void doAction(const QString& actionName) override
    {
        if (actionName == showMenuAction() || actionName == pressAction())
            combo()->showPopup();
        else
            QAccessibleWidget::doAction(actionName);
    }

private:
    QComboBox* combo() const { return static_cast<QComboBox*>(widget()); }
    QAbstractItemView* list() const { return combo()->findChild<QAbstractItemView*>(); }
};

QAccessibleInterface* NamedComboBoxes(const QString&, QObject* object)
{
    auto* list = dynamic_cast<FieldList*>(object);
    return list ? new NamedComboBox(list) : nullptr;
}

// A unit caption as it is read out.
QString UnitWords(const QString& caption)
{
    // Keyed by the captions as shown, in the language shown.
    const std::map<QString, QString> words{{device::UnitSymbol(0), Words::tr("degrees Celsius")},
                                           {device::UnitSymbol(1), Words::tr("degrees Fahrenheit")},
                                           {QStringLiteral("%"), Words::tr("percent")},
                                           {Words::tr("Min"), Words::tr("minutes")},
                                           {Words::tr("Minutes"), Words::tr("minutes")},
                                           {Words::tr("Hours"), Words::tr("hours")},
                                           {Words::tr("Sec"), Words::tr("seconds")}};
    const auto found = words.find(caption);
    return found == words.end() ? caption : found->second;
}

}  // namespace

void InstallFieldListAccessibility()
{
    QAccessible::installFactory(NamedComboBoxes);
}

void DescribeFields(const FMainControls& c, qint16 units)
{
    using device::config::Binding;
    const int column = units == 0 ? 0 : 1;
    for (const device::config::Item& item : device::config::Items()) {
        QWidget* field = nullptr;
        QString description;
        if (item.binding == Binding::TextBox && c.txtNvi.count(item.controlIndex)) {
            field = c.txtNvi.at(item.controlIndex);
            if (item.kind == device::config::ItemKind::ReadOnly) {
                description = Words::tr("Read only.");
            } else if (item.limited) {
                const auto unit = c.fieldUnits.find(item.controlIndex);
                const QString from = numbers::ShortestNumber(item.min[column]);
                const QString to = numbers::ShortestNumber(item.max[column]);
                if (unit == c.fieldUnits.end())
                    description = item.wholeNumbers
                                      ? Words::tr("A number from %1 to %2, whole numbers only.").arg(from, to)
                                      : Words::tr("A number from %1 to %2.").arg(from, to);
                else
                    description = (item.wholeNumbers ? Words::tr("In %1, from %2 to %3, whole numbers only.")
                                                     : Words::tr("In %1, from %2 to %3."))
                                      .arg(UnitWords(unit->second->text()), from, to);
            }
        } else if (item.binding == Binding::ComboBox && c.cbNvi.count(item.controlIndex)) {
            field = c.cbNvi.at(item.controlIndex);
            description = Words::tr("One of %1.").arg(item.choices.join(QStringLiteral(", ")));
        }
        if (!field)
            continue;
        // The item's own description says best what the field holds; without one, the caption.
        if (!item.description.isEmpty())
            field->setAccessibleName(Words::tr(item.description.toLatin1().constData()));
        field->setAccessibleDescription(description);
    }
}
