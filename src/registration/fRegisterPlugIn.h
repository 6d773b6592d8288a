#pragma once
// The small registration window shown by a stand-alone start without a known switch: register,
// deregister in one of three depths, or exit. Closing it by any path ends the program.
#include <QWidget>
#include <functional>

class QComboBox;
class QPushButton;

class fRegisterPlugIn : public QWidget {
    Q_OBJECT
public:
    // onClosed runs when the window closes (the program's end).
    explicit fRegisterPlugIn(std::function<void()> onClosed, QWidget* parent = nullptr);

    QComboBox* cmbDeregMode = nullptr;
    QPushButton* bRegister = nullptr;
    QPushButton* bDeregister = nullptr;
    QPushButton* bExit = nullptr;

    void bRegister_Click();
    void bDeregister_Click();

protected:
    void closeEvent(QCloseEvent* event) override;

private:
    // While an operation runs: list and buttons locked, and closing the window (which ends the
    // program) refused, so that nothing starts inside it and it is not cut short.
    void setBusy(bool busy);

    std::function<void()> m_onClosed;
    bool m_busy = false;
};
