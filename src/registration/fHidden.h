#pragma once
// A window that is never shown: it hosts the open-file dialog that asks for a device's XIF. Made for
// one question and destroyed right after.
#include <QWidget>

class fHidden : public QWidget {
    Q_OBJECT
public:
    explicit fHidden(QWidget* parent = nullptr);

    // Asks for the XIF with the program ID progIdStr, starting in importStr. The chosen path when the
    // file carries that ID; empty when the user cancelled or chose another model's file.
    QString DlgXIF(const QString& importStr, const QString& progIdStr);
};
