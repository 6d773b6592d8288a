// Field editing: the keystroke filter, Page Up / Page Down stepping, the numeric check on leaving a
// text box, the cross-field rules between the set points, their limits and the dead band, and the
// combo boxes' edit gestures. The fore colour of a control is the record of its edit.
#include "ui/main/fMain.h"

#include "binding/CNvCtrlTable.h"
#include "binding/Collections.h"
#include "device/ConfigModel.h"
#include "framework/Identity.h"
#include "framework/StepRunner.h"
#include "platform/base/Numbers.h"
#include "platform/toolkit/MessageBox.h"
#include "ui/main/SetpointBand.h"

#include <QAbstractItemView>
#include <QApplication>
#include <QComboBox>
#include <QFocusEvent>
#include <QKeyEvent>
#include <QLineEdit>
#include <QPushButton>
#include <QRadioButton>
#include <QShortcut>
#include <QTabBar>
#include <QTabWidget>

#include <algorithm>

using toolkit::Buttons;
using toolkit::Icon;
using toolkit::MsgBox;

namespace {

constexpr int vbKeyBack = 8;
constexpr int vbKeyReturn = 13;
constexpr int vbKeyEscape = 27;
constexpr int vbKeyPageUp = 33;
constexpr int vbKeyPageDown = 34;

constexpr int ShiftMask = 1;
constexpr int CtrlMask = 2;
constexpr int AltMask = 4;

const QString CrLf = QStringLiteral("\r\n");

// Whether the configuration model holds the item to whole numbers; a box without an item is not.
bool WholeNumbersIn(const CNvCtrlTable* item)
{
    const device::config::Item* setting = item ? device::config::FindSettable(item->Name) : nullptr;
    return setting && setting->wholeNumbers;
}

QString NoticeOf(device::config::Adjustment::Notice notice)
{
    switch (notice) {
    case device::config::Adjustment::DeadBand:
        return fMain::tr("The deadband limitation was not respected.\r\n\r\nAdjustment where made");
    case device::config::Adjustment::HeatingLimit:
        return fMain::tr("Heating maximum limit was not respected.\r\n\r\nAdjustment where made");
    case device::config::Adjustment::CoolingLimit: break;
    }
    return fMain::tr("Cooling minimum limit was not respected.\r\n\r\nAdjustment where made");
}

int ShiftState(Qt::KeyboardModifiers modifiers)
{
    return (modifiers & Qt::ShiftModifier ? ShiftMask : 0) | (modifiers & Qt::ControlModifier ? CtrlMask : 0) |
           (modifiers & Qt::AltModifier ? AltMask : 0);
}

int KeyCode(const QKeyEvent* e)
{
    switch (e->key()) {
    case Qt::Key_Return:
    case Qt::Key_Enter: return vbKeyReturn;
    case Qt::Key_PageUp: return vbKeyPageUp;
    case Qt::Key_PageDown: return vbKeyPageDown;
    default: return e->key();
    }
}

bool MovesFocus(const QKeyEvent* e)
{
    return e->key() == Qt::Key_Tab || e->key() == Qt::Key_Backtab;
}

bool IsModifierKey(int key)
{
    return key == Qt::Key_Shift || key == Qt::Key_Control || key == Qt::Key_Alt || key == Qt::Key_Meta ||
           key == Qt::Key_AltGr;
}

// The character a key press types, 0 for a key that types none: navigation keys, Delete, Tab (it
// moves the focus) and keys held with Ctrl, Alt or Meta (Ctrl with a letter is ControlCharacter).
int TypedCharacter(const QKeyEvent* e)
{
    if (MovesFocus(e))
        return 0;
    if (e->key() == Qt::Key_Backspace)
        return vbKeyBack;
    if (e->modifiers() & (Qt::ControlModifier | Qt::AltModifier | Qt::MetaModifier))
        return 0;
    if (e->key() == Qt::Key_Return || e->key() == Qt::Key_Enter)
        return vbKeyReturn;
    if (e->key() == Qt::Key_Escape)
        return vbKeyEscape;
    const QString text = e->text();
    if (text.isEmpty())
        return 0;
    const char16_t c = text.at(0).unicode();
    return c < 0x20 || c == 0x7F ? 0 : int(c);
}

// A key held with Alt or Meta (not AltGr, which is Ctrl+Alt on some keyboards) that would type
// text: an access key. Where no access key takes it (the window is not the active one) it must not
// type into a box or pick from a list.
bool StrayAccessKey(const QKeyEvent* e)
{
    const Qt::KeyboardModifiers mods = e->modifiers();
    if (!(mods & (Qt::AltModifier | Qt::MetaModifier)) || (mods & Qt::ControlModifier))
        return false;
    return !e->text().isEmpty() && e->text().at(0).isPrint();
}

// The control character Ctrl with a letter types (Ctrl+A 1 ... Ctrl+Z 26), 0 for any other key.
int ControlCharacter(const QKeyEvent* e)
{
    const Qt::KeyboardModifiers mods = e->modifiers() & (Qt::ControlModifier | Qt::AltModifier | Qt::MetaModifier);
    if (mods != Qt::ControlModifier || e->key() < Qt::Key_A || e->key() > Qt::Key_Z)
        return 0;
    return e->key() - Qt::Key_A + 1;
}

// Focus that leaves or comes back because another window or a context menu took it over is no
// move between fields.
bool BetweenFields(const QFocusEvent* e)
{
    return e->reason() != Qt::ActiveWindowFocusReason && e->reason() != Qt::PopupFocusReason;
}

}  // namespace

double fMain::PageStep(int Shift)
{
    if (Shift == 0)
        return 0.5;
    if (Shift == ShiftMask)
        return 10;
    return Shift & AltMask ? 1 : 0;
}

bool fMain::isLocked(int Index) const
{
    const auto it = ui.txtNvi.find(Index);
    return it == ui.txtNvi.end() || it->second->isReadOnly();
}

const CNvCtrlTable* fMain::itemOfBox(int Index) const
{
    const auto it = ui.txtNvi.find(Index);
    if (it == ui.txtNvi.end())
        return nullptr;
    for (const auto& item : tables().DataItems)
        if (item->TheControl.data() == it->second)
            return item.get();
    return nullptr;
}

bool fMain::isValidEntry(int Index, const QString& text) const
{
    // Which numbers a field takes is the configuration model's to say.
    const CNvCtrlTable* item = itemOfBox(Index);
    return item ? device::config::AcceptsText(text, WholeNumbersIn(item)) : numbers::IsNumeric(text);
}

void fMain::MarkModified(QWidget* control)
{
    SetEdited(control, true);
    ChangesPending = true;
    ui.cmdApply->setEnabled(true);
    ui.cmdCancel->setEnabled(true);
}

void fMain::guarded(const std::function<void()>& handler)
{
    try {
        handler();
    } catch (const std::exception& e) {
        // A failure ends the handler; the event loop must not see it.
        MsgBox(framework::AsComError(e).shown(), Buttons::Ok, Icon::Critical, framework::ApplicationTitle());
    }
}

void fMain::StartAction(QWidget* origin, const std::function<void()>& action)
{
    // An access key or Enter starts the action without moving the focus: without this, a box's
    // checks would never run and the action would take its text as typed (an emptied set point as 0,
    // a set point past the dead band).
    LeaveFocusedBox(origin);
    guarded(action);
}

void fMain::LeaveFocusedBox(QWidget* next)
{
    const int index = m_focusedBox;
    if (index < 0)
        return;
    QLineEdit* box = ui.txtNvi.at(index);
    // Moving the focus runs the leaving handlers, as a click would; a rule may take the focus on to
    // the box it adjusts.
    if (next)
        next->setFocus(Qt::OtherFocusReason);
    else
        box->clearFocus();
    // In a window that is not the active one no focus event comes: leave the box here.
    if (m_focusedBox == index) {
        m_focusedBox = -1;
        guarded([&] { LeaveTextBox(index); });
        if (box->hasFocus())
            box->clearFocus();
    }
}

void fMain::LeaveTextBox(int Index)
{
    bool cancel = false;
    txtNvi_Validate(Index, cancel);
    txtNvi_LostFocus(Index);
}

bool fMain::AnyFieldModified() const
{
    const auto modified = [this](const auto& entry) { return ChangedByUser(entry.second); };
    return std::any_of(ui.txtNvi.begin(), ui.txtNvi.end(), modified) ||
           std::any_of(ui.cbNvi.begin(), ui.cbNvi.end(), modified);
}

// ---- Wiring

void fMain::ShowSetpointBand()
{
    ui.setpointBand->setValues(RuleValues(), m_session.DisplayUnits);
}

std::map<QString, QString> fMain::RuleValues() const
{
    QStringList keys;
    for (const QString& name : device::config::CrossFieldItems())
        if (const QString& key = device::config::FindSettable(name)->variable; !keys.contains(key))
            keys.append(key);
    std::map<QString, QString> held;
    try {
        held = device::MakePlan(HeldVariables(keys), {}, m_session.DisplayUnits, m_session.LonWorksPath())
                   .RuleValuesHeld();
    } catch (const com::ComError&) {
        // Bytes the formats cannot read: the texts shown are all there is to judge.
    }
    std::map<QString, QString> values;
    for (const QString& name : device::config::CrossFieldItems()) {
        const QLineEdit* box = ui.txtNvi.at(device::config::FindSettable(name)->controlIndex);
        const auto device = held.find(name);
        values[name] = ChangedByUser(box) || device == held.end() ? box->text() : device->second;
    }
    return values;
}

void fMain::connectEditing()
{
    for (const auto& [index, box] : ui.txtNvi) {
        m_txtIndex[box] = index;
        box->installEventFilter(this);
        // Emitted for every change the user makes, typed or not (Delete, cut, paste, drop, undo),
        // never for the program's own setText.
        connect(box, &QLineEdit::textEdited, this, [this, index = index] { guarded([&] { txtNvi_Change(index); }); });
    }
    // The band follows its fields whoever changes them: typing, the rules, reading, Cancel.
    for (const QString& name : device::config::CrossFieldItems())
        connect(ui.txtNvi.at(device::config::FindSettable(name)->controlIndex), &QLineEdit::textChanged, this,
                [this] { ShowSetpointBand(); });
    for (const auto& [index, combo] : ui.cbNvi) {
        m_cbIndex[combo] = index;
        // The list's window is made when the list is first opened (see comboBoxEvent): asking for it
        // here would build a list view for every combo box, which nobody may open.
        combo->installEventFilter(this);
        // A choice made without the keyboard or the list (the mouse wheel) is an edit as well.
        connect(combo, &QComboBox::activated, this, [this, combo = combo] { guarded([&] { MarkModified(combo); }); });
    }
    connect(ui.cmdApply, &QPushButton::clicked, this,
            [this] { StartAction(ui.cmdApply, [this] { cmdApply_Click(); }); });
    connect(ui.cmdCancel, &QPushButton::clicked, this,
            [this] { StartAction(ui.cmdCancel, [this] { cmdCancel_Click(); }); });
    for (const auto& [index, option] : ui.obUnits) {
        // The user's click (mouse, access key, Space, an arrow key) leaves the option as it was: the
        // change of units selects it once it goes ahead.
        connect(option, &QRadioButton::clicked, this, [this, index = index, option = option] {
            StartAction(option, [this, index] { obUnits_Click(index); });
        });
        // Selecting an option in the program is its click as well.
        connect(option, &QRadioButton::toggled, this, [this, index = index, option = option](bool selected) {
            if (selected && index != m_session.DisplayUnits)
                StartAction(option, [this, index] { obUnits_Click(index); });
        });
    }
    // Ctrl+Tab and Ctrl+Page Down go to the next tab, Ctrl+Shift+Tab and Ctrl+Page Up to the one
    // before, whichever control has the focus: a list would take Page Down as a choice, and a text
    // box as a step of nothing.
    const std::pair<QKeySequence, int> tabKeys[] = {{QKeySequence(Qt::CTRL | Qt::Key_Tab), 1},
                                                    {QKeySequence(Qt::CTRL | Qt::Key_PageDown), 1},
                                                    {QKeySequence(Qt::CTRL | Qt::SHIFT | Qt::Key_Tab), -1},
                                                    {QKeySequence(Qt::CTRL | Qt::Key_PageUp), -1}};
    for (const auto& [keys, step] : tabKeys)
        connect(new QShortcut(keys, this), &QShortcut::activated, this, [this, step = step] { NextTab(step); });
}

void fMain::NextTab(int step)
{
    QTabWidget* tabs = ui.tabData;
    const int count = tabs->count();
    int page = tabs->currentIndex();
    // As the tab control itself steps: past disabled tabs, round from the last to the first.
    for (int pass = 0; pass < count; ++pass) {
        page = (page + step + count) % count;
        if (tabs->isTabEnabled(page)) {
            tabs->setCurrentIndex(page);
            break;
        }
    }
    if (!QApplication::focusWidget() || !QApplication::focusWidget()->isVisible())
        tabs->tabBar()->setFocus(Qt::TabFocusReason);
}

bool fMain::eventFilter(QObject* watched, QEvent* event)
{
    if (const auto txt = m_txtIndex.find(watched); txt != m_txtIndex.end())
        return textBoxEvent(txt->second, event);
    if (const auto cb = m_cbIndex.find(watched); cb != m_cbIndex.end())
        return comboBoxEvent(cb->second, event);
    if (const auto popup = m_cbPopupIndex.find(watched); popup != m_cbPopupIndex.end()) {
        if (event->type() == QEvent::Show)
            guarded([&] { cbNvi_DropDown(popup->second); });
        return false;
    }
    return QMainWindow::eventFilter(watched, event);
}

bool fMain::textBoxEvent(int Index, QEvent* event)
{
    if (isLocked(Index))
        return false;
    QLineEdit* box = ui.txtNvi.at(Index);
    bool consumed = false;
    switch (event->type()) {
    case QEvent::FocusIn: {
        const auto* e = static_cast<QFocusEvent*>(event);
        m_focusedBox = Index;
        if (BetweenFields(e))
            guarded([&] { txtNvi_GotFocus(Index); });
        break;
    }
    case QEvent::FocusOut: {
        const auto* e = static_cast<QFocusEvent*>(event);
        if (!BetweenFields(e) || m_focusedBox != Index)
            break;
        m_focusedBox = -1;
        if (m_inRules)
            break;
        guarded([&] { LeaveTextBox(Index); });
        break;
    }
    case QEvent::KeyPress: {
        const auto* e = static_cast<QKeyEvent*>(event);
        if (StrayAccessKey(e)) {
            consumed = true;
            break;
        }
        const int code = KeyCode(e);
        if (code == vbKeyPageUp || code == vbKeyPageDown) {
            guarded([&] { txtNvi_KeyDown(Index, code, ShiftState(e->modifiers())); });
            consumed = true;
            break;
        }
        if (const int control = ControlCharacter(e)) {
            // Ctrl with a letter types a control character: discarded, an edit gesture all the same,
            // and the box still does what the shortcut asks (copy, select all, paste).
            int keyAscii = control;
            guarded([&] { txtNvi_KeyPress(Index, keyAscii); });
            break;
        }
        int keyAscii = TypedCharacter(e);
        if (keyAscii == 0)
            break;
        guarded([&] { txtNvi_KeyPress(Index, keyAscii); });
        consumed = keyAscii == 0;
        break;
    }
    case QEvent::Drop:
        // A drop can change a box that does not have the focus: keep its clean text to go back to.
        if (!IsEdited(box))
            box->setProperty("Tag", box->text());
        break;
    default: break;
    }
    return consumed;
}

bool fMain::comboBoxEvent(int Index, QEvent* event)
{
    switch (event->type()) {
    case QEvent::Wheel:
        // Scrolling past a list changes nothing: only the list with the focus takes the wheel. Left
        // unaccepted, the wheel goes on to what holds the list.
        if (!ui.cbNvi.at(Index)->hasFocus()) {
            event->ignore();
            return true;
        }
        return false;
    case QEvent::KeyRelease: {
        // A modifier let go with no other key since it went down was a key of its own.
        const auto* e = static_cast<QKeyEvent*>(event);
        if (IsModifierKey(e->key()) && m_modifierAlone == Index) {
            m_modifierAlone = -1;
            guarded([&] { cbNvi_KeyDown(Index, KeyCode(e), ShiftState(e->modifiers())); });
        }
        return false;
    }
    case QEvent::ShortcutOverride:
    case QEvent::FocusOut:
        // Held for a shortcut (Ctrl+Tab, Alt+A), or taken elsewhere: no key of this list's.
        m_modifierAlone = -1;
        return false;
    default: break;
    }
    if (event->type() == QEvent::ChildAdded) {
        // The list's window, made on first opening: its Show is the list opened, whichever way
        // (mouse, F4, Alt+Down).
        QObject* child = static_cast<QChildEvent*>(event)->child();
        if (child->isWidgetType() && !m_cbPopupIndex.count(child)) {
            m_cbPopupIndex[child] = Index;
            child->installEventFilter(this);
        }
        return false;
    }
    if (event->type() != QEvent::KeyPress)
        return false;
    const auto* e = static_cast<QKeyEvent*>(event);
    if (StrayAccessKey(e)) {
        m_modifierAlone = -1;
        return true;
    }
    if (IsModifierKey(e->key())) {
        // Judged when it is let go: Ctrl held for Ctrl+Page Down is part of that key, not an edit.
        m_modifierAlone = Index;
        return false;
    }
    m_modifierAlone = -1;
    if (MovesFocus(e))
        return false;
    const int code = KeyCode(e);
    guarded([&] { cbNvi_KeyDown(Index, code, ShiftState(e->modifiers())); });
    if (code == vbKeyReturn)
        return true;
    int keyAscii = TypedCharacter(e);
    if (keyAscii == 0)
        return false;
    guarded([&] { cbNvi_KeyPress(Index, keyAscii); });
    return keyAscii == 0;
}

// ---- Text boxes

void fMain::txtNvi_GotFocus(int Index)
{
    if (isLocked(Index))
        return;
    QLineEdit* box = ui.txtNvi.at(Index);
    // Only two colours arise; anything but the edit colour is the device's value.
    if (!IsEdited(box))
        box->setProperty("Tag", box->text());
    box->setSelection(0, int(box->text().length()));
}

void fMain::txtNvi_KeyPress(int Index, int& KeyAscii)
{
    if (isLocked(Index))
        return;
    const bool accepted = (KeyAscii >= '0' && KeyAscii <= '9') || KeyAscii == vbKeyBack || KeyAscii == '.' ||
                          KeyAscii == '-' || KeyAscii == ':';
    if (!accepted || (KeyAscii == '.' && WholeNumbersIn(itemOfBox(Index))))
        KeyAscii = 0;
    // Discarded or not, the key was an edit gesture.
    MarkModified(ui.txtNvi.at(Index));
}

void fMain::txtNvi_KeyDown(int Index, int KeyCode, int Shift)
{
    if (isLocked(Index) || (KeyCode != vbKeyPageUp && KeyCode != vbKeyPageDown))
        return;
    QLineEdit* box = ui.txtNvi.at(Index);
    // Text the box would refuse on leaving is not stepped either.
    const auto stepped =
        device::config::Stepped(box->text(), WholeNumbersIn(itemOfBox(Index)), PageStep(Shift), KeyCode == vbKeyPageUp);
    if (!stepped)
        return;
    box->setText(*stepped);
    MarkModified(box);
}

void fMain::txtNvi_Change(int Index)
{
    if (isLocked(Index))
        return;
    // Typed over what a rule wrote: the user's own text now.
    m_adjusted.erase(ui.txtNvi.at(Index));
    MarkModified(ui.txtNvi.at(Index));
}

void fMain::txtNvi_Validate(int Index, bool& Cancel)
{
    Cancel = false;
    if (isLocked(Index))
        return;
    QLineEdit* box = ui.txtNvi.at(Index);
    if (isValidEntry(Index, box->text()))
        return;
    MsgBox(tr("Value must be numerical"), Buttons::Ok, Icon::Exclamation, tr("Invalid value"));
    box->setText(box->property("Tag").toString());
    SetEdited(box, false);
}

void fMain::txtNvi_LostFocus(int Index)
{
    if (isLocked(Index))
        return;
    using device::config::Binding;
    const device::config::Item* left = device::config::ItemOfControl(Binding::TextBox, Index);
    if (!left || !device::config::CrossFieldItems().contains(left->name))
        return;
    const auto boxOf = [this](const QString& name) {
        return ui.txtNvi.at(device::config::FindSettable(name)->controlIndex);
    };
    // A field the user did not change counts with what the device holds, not its rounded text.
    std::map<QString, QString> values = RuleValues();
    const auto adjust = [&](const device::config::Adjustment& adjustment) {
        QLineEdit* box = boxOf(adjustment.item);
        // The box turns red before it gets the focus, where its restore text would be taken: take
        // it now, while the box still shows the device's value.
        if (!IsEdited(box))
            box->setProperty("Tag", box->text());
        box->setText(adjustment.text);
        SetEdited(box, true);
        m_adjusted.insert(box);
        // The band drew the new text as the device's value while the box was not yet marked as changed.
        ShowSetpointBand();
        box->setFocus(Qt::OtherFocusReason);
        MsgBox(NoticeOf(adjustment.notice), Buttons::Ok, Icon::None, framework::ApplicationTitle());
    };

    m_inRules = true;
    try {
        device::config::RulesOnLeaving(left->name, values, adjust);
    } catch (const std::exception& e) {
        // What was adjusted so far stays.
        m_inRules = false;
        MsgBox(framework::AsComError(e).shown(), Buttons::Ok, Icon::None, framework::ApplicationTitle());
        return;
    }
    m_inRules = false;
}

// ---- Combo boxes

void fMain::cbNvi_KeyPress(int, int& KeyAscii)
{
    // A choice comes from the list only.
    KeyAscii = 0;
}

void fMain::cbNvi_KeyDown(int Index, int KeyCode, int)
{
    if (KeyCode == vbKeyReturn) {
        StartAction(ui.cmdApply, [this] { cmdApply_Click(); });
        return;
    }
    MarkModified(ui.cbNvi.at(Index));
}

void fMain::cbNvi_DropDown(int Index)
{
    MarkModified(ui.cbNvi.at(Index));
}
