#include "binding/CNvCtrlTable.h"

#include "binding/Collections.h"
#include "device/Global.h"
#include "platform/base/Numbers.h"

#include <QComboBox>
#include <QLabel>
#include <QLineEdit>

#include <algorithm>

CNvCpTable& CNvCtrlTable::Table(const char* operation) const
{
    if (!NvCpTable)
        Global::Raise(Global::ErrObjectNotSet, QString::fromLatin1(operation));
    return *NvCpTable;
}

QString CNvCtrlTable::DsFormatType() const
{
    const CNvCpTable& table = Table("DsFormatType");
    if (!table.MyNetworkVariable)
        Global::Raise(Global::ErrObjectNotSet, QStringLiteral("DsFormatType"));
    return table.MyNetworkVariable->NvFormatSpec();
}

void CNvCtrlTable::SetDsFormatType(const QString& formatName)
{
    CNvCpTable& table = Table("DsFormatType");
    if (!table.MyNetworkVariable)
        Global::Raise(Global::ErrObjectNotSet, QStringLiteral("DsFormatType"));
    table.MyNetworkVariable->SetNvFormatSpec(formatName);
}

QString CNvCtrlTable::NvString() const
{
    return Table("NvString").NvAsString();
}

QString CNvCtrlTable::ControlText() const
{
    QWidget* control = TheControl.data();
    if (auto* edit = qobject_cast<QLineEdit*>(control))
        return edit->text();
    // A list's entry holds the name the device knows as its data; its text is only what is shown.
    if (auto* combo = qobject_cast<QComboBox*>(control))
        return combo->currentData().toString();
    if (auto* label = qobject_cast<QLabel*>(control))
        return label->text();
    return QString();
}

QString CNvCtrlTable::Value() const
{
    try {
        const CNvCpTable& table = Table("Value");
        if (!table.NvAsArray || ItemArrayIndex < 0 || ItemArrayIndex >= table.NvAsArray->size())
            Global::Raise(Global::ErrSubscriptOutOfRange, QStringLiteral("Value"));
        const QString& field = table.NvAsArray->at(ItemArrayIndex);
        if (!RoundValue)
            return field;
        return numbers::ShortestNumber(Global::RoundToStep(field, Ceiling));
    } catch (const std::exception&) {
        // Until the variable has been read the control keeps what it shows.
        return ControlText();
    }
}

QString CNvCtrlTable::ShownValue() const
{
    return NvCpTable && NvCpTable->NvAsArray ? Value() : QString();
}

void CNvCtrlTable::SetValue(const QString& text)
{
    CNvCpTable& table = Table("Value");
    if (!table.NvAsArray || ItemArrayIndex < 0 || ItemArrayIndex >= table.NvAsArray->size())
        Global::Raise(Global::ErrSubscriptOutOfRange, QStringLiteral("Value"));
    QStringList fields = *table.NvAsArray;
    fields[ItemArrayIndex] = text;
    table.NvAsArray = std::move(fields);
    table.ValueAsChanges = true;
}

void CNvCtrlTable::Initialize()
{
    Table("Initialize").ValueAsChanges = false;
}
