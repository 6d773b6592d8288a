#pragma once
// What assistive technology reads of the window's fields.
#include <QComboBox>

// The window's lists. Known by their type rather than by their name: adding the entries already asks
// for a list's accessible interface, before the row it sits in names it.
class FieldList : public QComboBox {
public:
    using QComboBox::QComboBox;
};

// Makes every FieldList known to assistive technology by its accessible name, with its entry as the
// value (once per process).
void InstallFieldListAccessibility();
