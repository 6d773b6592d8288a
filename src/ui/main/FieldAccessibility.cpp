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
#include <QLabel>
#include <QLineEdit>

#include <map>

namespace {

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
    static const std::map<QString, QString> words{{device::UnitSymbol(0), QStringLiteral("degrees Celsius")},
                                                  {device::UnitSymbol(1), QStringLiteral("degrees Fahrenheit")},
                                                  {QStringLiteral("%"), QStringLiteral("percent")},
                                                  {QStringLiteral("Min"), QStringLiteral("minutes")},
                                                  {QStringLiteral("Minutes"), QStringLiteral("minutes")},
                                                  {QStringLiteral("Hours"), QStringLiteral("hours")},
                                                  {QStringLiteral("Sec"), QStringLiteral("seconds")}};
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
                description = QStringLiteral("Read only.");
            } else if (item.limited) {
                const auto unit = c.fieldUnits.find(item.controlIndex);
                description =
                    QStringLiteral("%1 from %2 to %3%4.")
                        .arg(unit == c.fieldUnits.end()
                                 ? QStringLiteral("A number")
                                 : QStringLiteral("In ") + UnitWords(unit->second->text()) + QLatin1Char(','),
                             numbers::ShortestNumber(item.min[column]), numbers::ShortestNumber(item.max[column]),
                             item.wholeNumbers ? QStringLiteral(", whole numbers only") : QString());
            }
        } else if (item.binding == Binding::ComboBox && c.cbNvi.count(item.controlIndex)) {
            field = c.cbNvi.at(item.controlIndex);
            description = QStringLiteral("One of %1.").arg(item.choices.join(QStringLiteral(", ")));
        }
        if (!field)
            continue;
        // The item's own description says best what the field holds; without one, the caption.
        if (!item.description.isEmpty())
            field->setAccessibleName(item.description);
        field->setAccessibleDescription(description);
    }
}
