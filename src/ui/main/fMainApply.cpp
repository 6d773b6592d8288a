// Apply, Cancel and the write pass: edited fields are range-checked and collected as edits; the plan
// made of them and of the bytes last read is checked against every rule, and each variable whose bytes
// change is written whole and read back.
#include "ui/main/fMain.h"

#include "binding/CNvCtrlTable.h"
#include "binding/Collections.h"
#include "device/CNvCpTable.h"
#include "device/ConfigModel.h"
#include "device/Global.h"
#include "device/WritePlan.h"
#include "framework/Identity.h"
#include "framework/PlugInSettings.h"
#include "framework/StepRunner.h"
#include "platform/base/Numbers.h"
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
    return (value < 0 ? QString() : QStringLiteral(" ")) + numbers::ShortestNumber(value);
}

void ShowOutOfRange(const QString& description, device::config::Verdict::Bound bound, double limit)
{
    const QString text =
        bound == device::config::Verdict::Maximum
            ? fMain::tr("%1 out of range\r\n\r\nThe maximum allowed value is: %2\r\n\r\nThe value has been adjusted")
            : fMain::tr("%1 out of range\r\n\r\nThe minimum allowed value is: %2\r\n\r\nThe value has been adjusted");
    MsgBox(text.arg(fMain::tr(description.toLatin1().constData()), SignedNumber(limit)), Buttons::Ok, Icon::None,
           framework::ApplicationTitle());
}

// The rules a plan or a merge would break, as the box and the log say them.
Sentence NotApplied(const QList<Sentence>& broken)
{
    return Sentence("fMain", QT_TRANSLATE_NOOP("fMain", "The changes were not applied:\r\n\r\n%1"),
                    {Sentence::Part(Sentence::JoinEnglish(broken, CrLf), Sentence::JoinShown(broken, CrLf))});
}

bool IsField(const QWidget* control)
{
    return qobject_cast<const QLineEdit*>(control) || qobject_cast<const QComboBox*>(control);
}

}  // namespace

void fMain::CollectEdit(const CNvCtrlTable& item)
{
    QWidget* control = item.TheControl.data();
    if (!control || !IsField(control) || !IsEdited(control))
        return;
    // Red from a key that changed nothing (Enter, Escape, a copy, an undo back to the text read): no
    // edit, so the device keeps the bytes it has, not the rounded value the field shows. The field shows
    // the device's value again, which a read since may have changed.
    if (!ChangedByUser(control)) {
        SetEdited(control, false);
        ShowDeviceValue(control, item.ShownValue());
        return;
    }
    // A variable whose last read failed (or that was never read) holds no value the device is known
    // to have: the fields written along with the edit could be stale, or in the units of an earlier
    // read. The edit waits, in the edit colour, for a read; one message per variable.
    if (item.NvCpTable && !item.NvCpTable->LastReadSucceeded()) {
        const bool reported =
            std::any_of(m_refusedStores.begin(), m_refusedStores.end(),
                        [&](const CNvCtrlTable* refused) { return refused->NvCpTable == item.NvCpTable; });
        m_refusedStores.insert(&item);
        if (!reported)
            throw com::ComError(Global::ErrInvalidArgument, QStringLiteral("fMain"),
                                Sentence("fMain",
                                         QT_TRANSLATE_NOOP("fMain", "%1 could not be read from the device, so its "
                                                                    "changes were not applied.\r\nUse Refresh All, "
                                                                    "then apply again."),
                                         {item.NvCpTable->Name}));
        return;
    }
    if (auto* combo = qobject_cast<QComboBox*>(control)) {
        m_edits.push_back({item.Name, combo->currentData().toString()});
        return;
    }
    auto* box = qobject_cast<QLineEdit*>(control);
    const device::config::Item* setting = device::config::FindSettable(item.Name);
    if (!setting)
        return;
    const auto verdict = device::config::CheckValue(*setting, box->text(), qint16(m_session.DisplayUnits));
    if (verdict.kind == device::config::Verdict::Refused) {
        // Typed without the box ever having had the caret, so never checked on leaving: refused as
        // leaving it would have.
        bool cancel = false;
        txtNvi_Validate(setting->controlIndex, cancel);
        return;
    }
    if (verdict.bound == device::config::Verdict::Maximum || verdict.bound == device::config::Verdict::Minimum)
        ShowOutOfRange(item.Description, verdict.bound, verdict.limit);
    // The box shows the limit or the number as the device writes it; the stored value may lie
    // inside the limit.
    if (box->text() != verdict.shown)
        box->setText(verdict.shown);
    m_edits.push_back({item.Name, verdict.stored});
}

bool fMain::PlanEdits()
{
    m_plan = device::MakePlan(HeldVariables(), m_edits, qint16(m_session.DisplayUnits), m_session.LonWorksPath());
    const QList<Sentence> broken = device::CheckPlan(*m_plan, ModelCode, device::Naming::Descriptions);
    if (broken.empty()) {
        for (const device::PlannedVariable& variable : m_plan->variables)
            if (variable.Changes())
                tables().NvTables.Item(variable.key)->ValueAsChanges = true;
        return true;
    }
    // Nothing goes to a device that would break a rule; the edits stay for the user to mend.
    const Sentence text = NotApplied(broken);
    fLog::Of(m_session).LogError(text.English());
    MsgBox(text.Shown(), Buttons::Ok, Icon::Exclamation, framework::ApplicationTitle());
    m_plan.reset();
    return false;
}

void fMain::cmdApply_Click()
{
    m_refusedStores.clear();
    m_keptDevice.clear();
    m_merged.clear();
    m_edits.clear();
    m_plan.reset();
    const auto planned = std::make_shared<bool>(false);
    std::vector<Step> steps;
    steps.push_back(Step::Do([] { toolkit::SetMousePointer(toolkit::MousePointer::Hourglass); }));
    for (const auto& item : tables().DataItems)
        steps.push_back(Step::Do([this, item] { CollectEdit(*item); }));
    steps.push_back(Step::Do([this, planned] {
        *planned = PlanEdits();
        if (!*planned)
            return;
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
    // A plan the rules refused leaves every field as it was.
    for (const auto& item : tables().DataItems) {
        steps.push_back(Step::Do([this, item, planned] {
            QWidget* control = item->TheControl.data();
            if (!*planned || !control || !IsField(control) || !item->NvCpTable || item->NvCpTable->ValueAsChanges ||
                m_refusedStores.count(item.get()))
                return;
            if (IsEdited(control) && !m_keptDevice.count(item->Name)) {
                SetEdited(control, false);
                m_readTexts[control] = FieldText(control);
            } else if (m_keptDevice.count(item->Name) || (!IsEdited(control) && m_merged.count(item->NvCpTable->Key))) {
                // Another writer's value: the one the device now holds, clean.
                SetEdited(control, false);
                ShowDeviceValue(control, item->ShownValue());
            }
        }));
    }
    steps.push_back(Step::Do([] { toolkit::SetMousePointer(toolkit::MousePointer::Default); }));
    framework::RunSteps(
        steps, StepFailurePolicy{ModuleName + QStringLiteral("cmdApply_Click"), Icon::Information,
                                 [this](const com::ComError& e) { fLog::Of(m_session).LogError(e.description()); },
                                 [] { toolkit::SetMousePointer(toolkit::MousePointer::Default); }});
}

std::optional<device::OnConflict> fMain::AskOnConflict(const device::WriteConflict& conflict)
{
    fLog::Of(m_session).LogError(conflict.description());
    if (conflict.fields.empty()) {
        // Nothing to choose: with the other writer's values the changes would break a rule.
        MsgBox(NotApplied(conflict.broken).Shown(), Buttons::Ok, Icon::Exclamation, framework::ApplicationTitle());
        return std::nullopt;
    }
    QStringList lines;
    for (const device::FieldConflict& field : conflict.fields) {
        // Yours as typed, not as the device would round it.
        const device::PlannedItem* planned = m_plan ? m_plan->Item(field.item) : nullptr;
        lines << tr("%1: yours %2, on the device now %3")
                     .arg(device::config::ItemLabel(field.item).shown,
                          planned && planned->asked ? *planned->asked : field.yours, field.onDevice);
    }
    const QString& name = conflict.variable;
    const toolkit::Answer answer = MsgBox(toolkit::MessageBoxRequest{
        tr("%1 of %2 was changed on the device since it was read, in fields you changed too:\r\n\r\n%3\r\n\r\n"
           "Overwrite them with your values, or keep the device's?")
            .arg(name, m_shownDevice.section(QLatin1Char('/'), 1), lines.join(CrLf)),
        framework::ApplicationTitle(),
        Buttons::YesNoCancel,
        Icon::Exclamation,
        2,
        {tr("&Overwrite"), tr("&Keep the device's")}});
    const QString choice = answer == toolkit::Answer::Yes  ? QStringLiteral("overwritten with the window's values")
                           : answer == toolkit::Answer::No ? QStringLiteral("the device's values kept")
                                                           : QStringLiteral("canceled, nothing written");
    fLog::Of(m_session).LogCommand(QStringLiteral("Conflict on ") + name, choice);
    if (answer == toolkit::Answer::Yes)
        return device::OnConflict::Overwrite;
    if (answer == toolkit::Answer::No)
        return device::OnConflict::KeepTheirs;
    return std::nullopt;
}

bool fMain::PropagateChanges()
{
    if (!m_plan)
        return true;
    m_merged.clear();
    std::vector<Step> steps;
    for (const device::PlannedVariable* variable : device::WriteOrder(*m_plan)) {
        const std::shared_ptr<CNvCpTable> table = tables().NvTables.Item(variable->key);
        const auto written = std::make_shared<device::Written>();
        steps.push_back(Step::Named(variable->key, [this, table, variable, written] {
            std::optional<device::OnConflict> choice = device::OnConflict::Refuse;
            while (choice) {
                try {
                    *written = device::WriteVariable(*table, *m_plan, *variable, *choice);
                    break;
                } catch (const device::WriteConflict& conflict) {
                    // None: nothing more is written, the fields keep their edits for another Apply.
                    choice = AskOnConflict(conflict);
                    if (choice == device::OnConflict::KeepTheirs)
                        for (const device::FieldConflict& field : conflict.fields)
                            m_keptDevice.insert(field.item);
                }
            }
            if (!choice)
                return Step::Finish;
            if (written->merged)
                m_merged.insert(variable->key);
            if (written->readBack != written->sent)
                throw com::ComError(
                    Global::ErrInvalidArgument, QStringLiteral("SendNetworkValue"),
                    Sentence("fMain",
                             QT_TRANSLATE_NOOP("fMain", "Verification of %1 failed\r\nwritten %2, read back %3"),
                             {table->Name, device::RawText(written->sent), device::RawText(written->readBack)}));
            return Step::Next;
        }));
        // Logged after an ignored failure too; the object then stays marked for the next Apply.
        steps.push_back(Step::Do([this, table, variable, written] {
            if (written->Wrote() || written->text.isEmpty())
                fLog::Of(m_session).LogCommand(QStringLiteral("Updating ") + table->Name,
                                               written->text.isEmpty() ? variable->Text() : written->text);
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
    // What the device held at the last read or write: an edit that was never written is dropped, not
    // shown as if the device had it.
    for (const auto& item : tables().DataItems) {
        QWidget* control = item->TheControl.data();
        if (control && IsField(control) && IsEdited(control)) {
            SetEdited(control, false);
            ShowDeviceValue(control, item->ShownValue());
        }
    }
    for (const auto& table : tables().NvTables)
        table->ValueAsChanges = false;
    ChangesPending = false;
    ui.cmdApply->setEnabled(false);
    ui.cmdCancel->setEnabled(false);
}
