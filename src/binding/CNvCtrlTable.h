#pragma once
// A data item: one field of one access object, bound to the window control that shows it, with its
// rounding. Its limits and whole-number rule are the configuration model's (device::config::Items).
#include "device/CNvCpTable.h"

#include <QPointer>
#include <QString>
#include <QWidget>
#include <memory>

class CNvCtrlTable {
public:
    QString Name;
    QString Description;
    // A QLineEdit, QComboBox or QLabel of the window, or none. Guarded, so that an item outliving
    // its window falls back to an empty text instead of touching a deleted widget.
    QPointer<QWidget> TheControl;
    qint16 ItemArrayIndex = 0;
    std::shared_ptr<CNvCpTable> NvCpTable;
    bool RoundValue = false;
    double Ceiling = 0;
    bool OffsetValue = false;

    // The format name of the object server's variable handle.
    QString DsFormatType() const;
    void SetDsFormatType(const QString& formatName);

    // The whole value of the item's variable, all fields joined.
    QString NvString() const;

    // The field (rounded to Ceiling when RoundValue). Never fails: without a readable field it is
    // the text the bound control shows (empty without a control).
    QString Value() const;
    // What a field shows of the item: its Value, or nothing while its variable has not been read
    // (rather than the control's own text, which would pass for the device's value).
    QString ShownValue() const;
    // Stores the text as the field and marks the variable changed; nothing reaches the device yet.
    void SetValue(const QString& text);

    // Clears the changed flag of the item's variable (shared by all its items).
    void Initialize();

    // The text the bound control shows: a text box's or combo box's text, a label's caption.
    QString ControlText() const;

private:
    CNvCpTable& Table(const char* operation) const;
};
