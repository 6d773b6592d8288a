#pragma once
// A data item: one field of one access object, bound to the window control that shows it, with its
// rounding and its limits in metric (index 0) and imperial (index 1) units.
#include "device/CNvCpTable.h"

#include <QPointer>
#include <QString>
#include <QWidget>
#include <memory>

class CNvCtrlTable {
public:
    QString Name;
    QString Description;
    QString Typee;
    // A QLineEdit, QComboBox or QLabel of the window, or none. Guarded, so that an item outliving
    // its window falls back to an empty text instead of touching a deleted widget.
    QPointer<QWidget> TheControl;
    qint16 ItemArrayIndex = 0;
    std::shared_ptr<CNvCpTable> NvCpTable;
    bool RoundValue = false;
    double Ceiling = 0;
    bool OffsetValue = false;
    // The field holds whole numbers only (a humidity in percent, a time in hours or minutes).
    bool WholeNumbers = false;

    // Limits as text in their shortest form (32, 37.5, -2.5). Index 0 metric, 1 imperial; any other
    // index raises ErrSubscriptOutOfRange, a text that is not a number ErrTypeMismatch.
    QString MaxLimit(int index) const;
    void SetMaxLimit(int index, const QString& text);
    QString MinLimit(int index) const;
    void SetMinLimit(int index, const QString& text);

    // True when the text is a value the item can take: a number, and for a WholeNumbers item a
    // whole one written without a decimal point ("20.0" and "2.5" are not).
    bool AcceptsText(const QString& text) const;

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

    double m_maxLimits[2] = {0, 0};
    double m_minLimits[2] = {0, 0};
};
