// Apply, Cancel and the write pass: edited fields are range-checked and stored into their data items,
// then every access object that changed is written to the device in one piece.
#include "ui/main/fMain.h"

#include "device/CNvCpTable.h"
#include "device/CNvCtrlTable.h"
#include "device/Collections.h"
#include "device/ConfigModel.h"
#include "device/Global.h"
#include "framework/Identity.h"
#include "framework/Numbers.h"
#include "framework/PlugInSettings.h"
#include "framework/StepRunner.h"
#include "platform/toolkit/Events.h"
#include "platform/toolkit/MessageBox.h"
#include "ui/log/fLog.h"

#include <QComboBox>
#include <QLabel>
#include <QLineEdit>
#include <QPushButton>
#include <algorithm>
#include <memory>

using framework::Step;
using framework::StepFailurePolicy;
using toolkit::Buttons;
using toolkit::Icon;
using toolkit::MsgBox;

namespace {

const QString ModuleName = QStringLiteral("fMain ");
const QString CrLf = QStringLiteral("\r\n");

// A limit as the messages write a number: a blank where a minus sign would stand.
QString SignedNumber(double value)
{
    return (value < 0 ? QString() : QStringLiteral(" ")) + framework::ShortestNumber(value);
}

void ShowOutOfRange(const QString& description, const QString& which, double limit)
{
    MsgBox(description + QStringLiteral(" ") + QStringLiteral("out of range") + CrLf + CrLf + which +
               SignedNumber(limit) + CrLf + CrLf + QStringLiteral("The value has been adjusted"),
           Buttons::Ok, Icon::None, framework::ApplicationTitle());
}

bool IsField(const QWidget* control)
{
    return qobject_cast<const QLineEdit*>(control) || qobject_cast<const QComboBox*>(control);
}

void ShowInControl(QWidget* control, const QString& text)
{
    if (auto* box = qobject_cast<QLineEdit*>(control)) {
        box->setText(text);
    } else if (auto* combo = qobject_cast<QComboBox*>(control)) {
        // A list-only combo box shows a text only when it is among its choices.
        combo->setCurrentIndex(combo->findText(text, Qt::MatchFixedString | Qt::MatchCaseSensitive));
    }
}

}  // namespace

void fMain::StoreEditedItem(CNvCtrlTable& item)
{
    QWidget* control = item.TheControl.data();
    if (!control || !IsField(control) || !IsEdited(control))
        return;
    if (item.Typee != QLatin1String("NVI") && item.Typee != QLatin1String("CP"))
        return;
    // A variable whose last read failed (or that was never read) holds no value the device is known
    // to have: the fields written along with the edit could be stale, or in the units of an earlier
    // read. The edit waits, in the edit colour, for a read; one message per variable.
    if (item.NvCpTable && !item.NvCpTable->LastReadSucceeded()) {
        const bool reported =
            std::any_of(m_refusedStores.begin(), m_refusedStores.end(),
                        [&](const CNvCtrlTable* refused) { return refused->NvCpTable == item.NvCpTable; });
        m_refusedStores.insert(&item);
        if (!reported)
            throw com::ComError(
                Global::ErrInvalidArgument, QStringLiteral("fMain"),
                item.NvCpTable->Name +
                    QStringLiteral(" could not be read from the device, so its changes were not applied.") + CrLf +
                    QStringLiteral("Use Refresh All, then apply again."));
        return;
    }
    if (auto* combo = qobject_cast<QComboBox*>(control)) {
        item.SetValue(combo->currentText());
        return;
    }
    auto* box = qobject_cast<QLineEdit*>(control);
    const device::config::Item* setting = device::config::FindSettable(item.Name);
    if (!setting) {
        item.SetValue(box->text());
        return;
    }
    const auto verdict = device::config::CheckValue(*setting, box->text(), qint16(m_session.DisplayUnits));
    if (verdict.bound == device::config::Verdict::Maximum)
        ShowOutOfRange(item.Description, QStringLiteral("The maximum allowed value is: "), verdict.limit);
    else if (verdict.bound == device::config::Verdict::Minimum)
        ShowOutOfRange(item.Description, QStringLiteral("The minimum allowed value is: "), verdict.limit);
    // The box shows the limit or the number as the device writes it; the stored value may lie
    // inside the limit.
    if (box->text() != verdict.shown)
        box->setText(verdict.shown);
    item.SetValue(verdict.stored);
}

void fMain::cmdApply_Click()
{
    m_refusedStores.clear();
    std::vector<Step> steps;
    steps.push_back(Step::Do([] { toolkit::SetMousePointer(toolkit::MousePointer::Hourglass); }));
    for (const auto& item : tables().DataItems)
        steps.push_back(Step::Do([this, item] { StoreEditedItem(*item); }));
    steps.push_back(Step::Do([this] {
        // A refused field, or a variable whose write failed and was ignored, stays an edit still to
        // be applied: Apply can try it again, and switching units asks before dropping it.
        // (An aborted pass leaves its variable unwritten too.)
        PropagateChanges();
        const bool unwritten = std::any_of(tables().NvTables.begin(), tables().NvTables.end(),
                                           [](const auto& table) { return table->ValueAsChanges; });
        if (m_refusedStores.empty() && !unwritten) {
            ChangesPending = false;
            ui.cmdApply->setEnabled(false);
            ui.cmdCancel->setEnabled(false);
        }
    }));
    // Whatever the write pass did: a field whose variable holds no unwritten change shows the device.
    for (const auto& item : tables().DataItems) {
        steps.push_back(Step::Do([this, item] {
            QWidget* control = item->TheControl.data();
            if (control && IsField(control) && item->NvCpTable && !item->NvCpTable->ValueAsChanges &&
                !m_refusedStores.count(item.get()))
                SetEdited(control, false);
        }));
    }
    steps.push_back(Step::Do([] { toolkit::SetMousePointer(toolkit::MousePointer::Default); }));
    framework::RunSteps(
        steps, StepFailurePolicy{ModuleName + QStringLiteral("cmdApply_Click"), Icon::Information,
                                 [this](const com::ComError& e) { fLog::Of(m_session).LogError(e.description()); },
                                 [] { toolkit::SetMousePointer(toolkit::MousePointer::Default); }});
}

bool fMain::PropagateChanges()
{
    std::vector<Step> steps;
    for (const auto& table : tables().NvTables) {
        // Whether this pass writes the variable: one it holds back is neither written nor logged.
        const auto writing = std::make_shared<bool>(false);
        steps.push_back(Step::Do([table, writing] {
            // A change stored before a read that then failed waits for a read, as an edit made
            // after it does.
            *writing = table->ValueAsChanges && table->LastReadSucceeded();
            if (*writing)
                table->SendNetworkValue();
        }));
        // Logged after an ignored failure too; the object then stays marked for the next Apply.
        steps.push_back(Step::Do([this, table, writing] {
            if (*writing)
                fLog::Of(m_session).LogCommand(QStringLiteral("Updating ") + table->Name, table->NvAsString());
        }));
    }
    return framework::RunSteps(
        steps, StepFailurePolicy{ModuleName + QStringLiteral("PropagateChanges"),
                                 Icon::Critical,
                                 [this](const com::ComError& e) { fLog::Of(m_session).LogError(e.description()); },
                                 {}});
}

void fMain::cmdCancel_Click()
{
    // The values in memory: the last read, or what an Apply stored and could not write.
    for (const auto& item : tables().DataItems) {
        QWidget* control = item->TheControl.data();
        if (control && IsField(control) && IsEdited(control)) {
            ShowInControl(control, item->ShownValue());
            SetEdited(control, false);
        }
    }
    for (const auto& table : tables().NvTables)
        table->ValueAsChanges = false;
    ChangesPending = false;
    ui.cmdApply->setEnabled(false);
    ui.cmdCancel->setEnabled(false);
}
