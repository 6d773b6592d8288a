// Display units: the device converts, the window only chooses the unit system, relabels the
// temperature fields and reads everything again.
#include "device/Units.h"
#include "ui/main/fMain.h"

#include "framework/PlugInSettings.h"
#include "platform/toolkit/MessageBox.h"

#include <QLabel>
#include <QRadioButton>

using toolkit::Answer;
using toolkit::Buttons;
using toolkit::Icon;
using toolkit::MsgBox;

void fMain::obUnits_Click(int Index)
{
    if (Index == m_session.DisplayUnits)
        return;
    if (ChangesPending && MsgBox(tr("This action will discard all changes\r\n\r\nProceed and lose all changes ?"),
                                 Buttons::OkCancel, Icon::Exclamation, tr("Warning")) != Answer::Ok) {
        // The current option again, should the program have selected the other; its own click finds
        // nothing to change.
        ui.obUnits.at(m_session.DisplayUnits)->setChecked(true);
        return;
    }
    // Edits typed in the old units would mean something else in the new ones.
    cmdCancel_Click();
    // Saved only when the user confirms the exit.
    m_session.DisplayUnits = qint16(Index);
    // Only now does the option move: it showed the old choice while the question was open.
    ui.obUnits.at(Index)->setChecked(true);
    const QString symbol = device::UnitSymbol(m_session.DisplayUnits);
    for (auto& [index, label] : ui.txtTempUnits)
        label->setText(symbol);
    DescribeFields(ui, m_session.DisplayUnits);
    // The values on screen must belong to the new units, whatever the reading gives.
    ReadInitValues();
    ShowValues();
    // Fields left as they were still change their scale.
    ShowSetpointBand();
}
