#include "registration/fRegisterPlugIn.h"

#include "framework/Identity.h"
#include "platform/toolkit/Events.h"
#include "platform/toolkit/ProgramImages.h"
#include "registration/PlugInRegistration.h"

#include <QCloseEvent>
#include <QComboBox>
#include <QGridLayout>
#include <QGroupBox>
#include <QPushButton>
#include <QVBoxLayout>

fRegisterPlugIn::fRegisterPlugIn(std::function<void()> onClosed, QWidget* parent)
    : QWidget(parent), m_onClosed(std::move(onClosed))
{
    setObjectName(QStringLiteral("fRegisterPlugIn"));
    setWindowTitle(framework::PlugInName());
    setWindowIcon(toolkit::ProgramIcon(QStringLiteral(":/res/icon/WINDOW"), "png"));

    cmbDeregMode = new QComboBox(this);
    cmbDeregMode->setObjectName(QStringLiteral("cmbDeregMode"));
    // List positions 0, 1, 2 are the modes -1, 0, 1.
    cmbDeregMode->addItems({tr("Minimal Mode"), tr("Complete Mode"), tr("Exhaustive Mode")});
    cmbDeregMode->setCurrentIndex(1);

    bRegister = new QPushButton(tr("&Register Plug-in"), this);
    bRegister->setObjectName(QStringLiteral("bRegister"));
    bDeregister = new QPushButton(tr("&Deregister Plug-in"), this);
    bDeregister->setObjectName(QStringLiteral("bDeregister"));
    bExit = new QPushButton(tr("&Exit"), this);
    bExit->setObjectName(QStringLiteral("bExit"));

    auto* layout = new QGridLayout(this);
    layout->addWidget(bRegister, 0, 0);
    layout->addWidget(bDeregister, 1, 0);
    layout->addWidget(cmbDeregMode, 1, 1);
    layout->addWidget(bExit, 2, 1, Qt::AlignRight);
    layout->setColumnStretch(1, 1);
    setMinimumWidth(360);

    connect(bRegister, &QPushButton::clicked, this, &fRegisterPlugIn::bRegister_Click);
    connect(bDeregister, &QPushButton::clicked, this, &fRegisterPlugIn::bDeregister_Click);
    connect(bExit, &QPushButton::clicked, this, &QWidget::close);
}

void fRegisterPlugIn::setBusy(bool busy)
{
    m_busy = busy;
    for (QWidget* control : {static_cast<QWidget*>(cmbDeregMode), static_cast<QWidget*>(bRegister),
                             static_cast<QWidget*>(bDeregister), static_cast<QWidget*>(bExit)})
        control->setEnabled(!busy);
}

void fRegisterPlugIn::bRegister_Click()
{
    setBusy(true);
    registration::RegisterPlugIn(true);
    setBusy(false);
    close();
}

void fRegisterPlugIn::bDeregister_Click()
{
    setBusy(true);
    repaint();
    toolkit::DoEvents();
    registration::DeregisterPlugIn(static_cast<qint16>(cmbDeregMode->currentIndex() - 1), true);
    setBusy(false);
    close();
}

void fRegisterPlugIn::closeEvent(QCloseEvent* event)
{
    if (m_busy) {
        event->ignore();
        return;
    }
    event->accept();
    if (m_onClosed)
        m_onClosed();
}
