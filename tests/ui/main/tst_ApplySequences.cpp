// Random sequences of what a person does in the configuration window (typing, keys that change nothing,
// Page Up / Page Down, lists, units, Refresh All, another writer, refused writes, Apply, Cancel), on the
// demo thermostats, through the real widgets. What must hold after every Apply, read back from the
// device's bytes:
//   - a device that kept the rules between its set points, limits and dead band still keeps them;
//   - a field nobody changed (its text is the one shown for the device, and no rule wrote into it)
//     holds the bytes it held before;
//   - a field the user or a rule changed holds what the window shows in it, up to the unit conversion
//     and the inward offset (when a write failed: that, or what it held before);
//   - a plan the rules refuse writes nothing.
// And after every re-read: a change of the user's is still there.
// KR5M_SEED chooses the run, KR5M_SEQUENCES its length; a failure prints the seed and the shortest
// sequence that still fails.
#include "ConfiguredWindow.h"
#include "device/ConfigModel.h"
#include "platform/base/Numbers.h"
#include "platform/objectserver/ValueFormats.h"

#include <QRandomGenerator>
#include <QTabWidget>

#include <set>

using namespace windowtest;

namespace {

#ifndef KR5M_SEQUENCES_DEFAULT
#define KR5M_SEQUENCES_DEFAULT 500
#endif

const QString Network = QStringLiteral("Demo");
const QStringList Devices{"TS-101", "TS-102", "TS-103", "TS-104", "TS-105"};
const QStringList Variables{"nciSetPts", "nciGenOpts", "nciRHmodel", "nciSndHrtBt", "nciMinOutTm", "nciRcvHrtBt"};
// Text boxes a person can type into, and the keys that change nothing in them.
const QList<int> Boxes{0, 1, 2, 3, 4, 5, 16, 6, 14, 7, 8, 9, 10, 17, 18, 39, 40, 41};
const QList<QPair<int, int>> NoChangeKeys{{Qt::Key_Return, 0},
                                          {Qt::Key_Escape, 0},
                                          {Qt::Key_C, Qt::ControlModifier},
                                          {Qt::Key_A, Qt::ControlModifier},
                                          {Qt::Key_Z, Qt::ControlModifier},
                                          {Qt::Key_Shift, 0},
                                          {Qt::Key_PageDown, int(Qt::ControlModifier | Qt::ShiftModifier)}};

// The device's set points and limits, in hundredths of a degree Celsius: a state that keeps the rules.
struct DeviceState {
    int setPoints[6]{};  // occupied, standby, unoccupied cooling; occupied, standby, unoccupied heating
    int heatMax = 0, coolMin = 0, deadBand = 0;
};

QString Hundredths(int value)
{
    return numbers::ShortestNumber(value / 100.0);
}

struct Action {
    enum Kind { Type, Key, Page, Choose, Units, Refresh, OtherWriter, Refuse, Apply, Cancel } kind = Apply;
    int control = 0;  // text box or combo box index, unit option
    QString text;
    int key = 0;
    int modifiers = 0;
    bool yes = true;  // the answer to the box the action may raise (units warning; Ignore rather than Abort)
    DeviceState state;

    QString describe() const
    {
        switch (kind) {
        case Type: return QStringLiteral("type \"%1\" in box %2").arg(text).arg(control);
        case Key: return QStringLiteral("key %1+%2 in box %3").arg(modifiers, 0, 16).arg(key, 0, 16).arg(control);
        case Page: return QStringLiteral("page key %1+%2 in box %3").arg(modifiers, 0, 16).arg(key, 0, 16).arg(control);
        case Choose: return QStringLiteral("key %1 in list %2").arg(key, 0, 16).arg(control);
        case Units: return QStringLiteral("units %1, answer %2").arg(control).arg(yes ? "OK" : "Cancel");
        case Refresh: return QStringLiteral("Refresh All");
        case OtherWriter: return QStringLiteral("another writer sets the set points and limits");
        case Refuse: return QStringLiteral("the device %1 writes").arg(yes ? "refuses" : "takes");
        case Apply: return QStringLiteral("Apply, answering %1").arg(yes ? "Ignore" : "Abort");
        case Cancel: return QStringLiteral("Cancel");
        }
        return {};
    }
};

struct Sequence {
    QString device;
    int units = 0;
    DeviceState start;
    std::vector<Action> actions;
};

class Generator {
public:
    explicit Generator(quint64 seed) : m_random(quint32(seed ^ (seed >> 32))) {}

    Sequence next()
    {
        Sequence s;
        s.device = Devices[pick(Devices.size())];
        s.units = pick(2);
        s.start = state();
        const int length = 3 + pick(10);
        for (int i = 0; i < length; ++i)
            s.actions.push_back(action());
        s.actions.emplace_back();  // Apply
        return s;
    }

private:
    int pick(qsizetype n) { return int(m_random.bounded(quint32(n))); }
    int between(int low, int high) { return low + pick(high - low + 1); }
    // Often on the half degree the window shows, often not: where the rounded text and the device part.
    int temperature(int low, int high)
    {
        const int value = between(low, high);
        return pick(3) == 0 ? std::clamp(value / 50 * 50, low, high) : value;
    }

    DeviceState state()
    {
        for (;;) {
            DeviceState d;
            d.deadBand = temperature(100, 250);
            d.heatMax = temperature(450, 3200);
            d.coolMin = temperature(1200, 3750);
            bool fits = true;
            for (const auto& [heat, cool] : {std::pair{3, 0}, std::pair{5, 2}}) {
                const int high = std::min(d.heatMax, 3750 - d.deadBand);
                if (high < 450) {
                    fits = false;
                    break;
                }
                d.setPoints[heat] = temperature(450, high);
                const int low = std::max(d.coolMin, d.setPoints[heat] + d.deadBand);
                if (low > 3750) {
                    fits = false;
                    break;
                }
                d.setPoints[cool] = temperature(low, 3750);
            }
            d.setPoints[1] = temperature(1200, 3750);
            d.setPoints[4] = temperature(450, 3200);
            if (fits)
                return d;
        }
    }

    QString typed()
    {
        // In and out of range, on limits, finer than the device holds, empty, junk.
        static const QStringList fixed{"",     "-",  "abc", "1:30", "0",   "90",  "4.5",  "32",   "100",
                                       "40",   "54", "2",   "5",    "2.5", "-5",  "37.5", "12",   "21.005",
                                       "2.55", "95", "-20", "7000", "21.", "+17", " 22 ", "70.7", "74.3"};
        if (pick(3) == 0)
            return fixed[pick(fixed.size())];
        // Tenths mostly, hundredths now and then.
        return numbers::ShortestNumber(pick(4) ? between(-100, 1000) / 10.0 : between(-1000, 10000) / 100.0);
    }

    Action action()
    {
        Action a;
        a.yes = pick(2) == 0;
        switch (pick(20)) {
        case 0:
        case 1:
        case 2:
        case 3:
        case 4:
        case 5:
            a.kind = Action::Type;
            a.control = Boxes[pick(Boxes.size())];
            a.text = typed();
            break;
        case 6:
        case 7:
        case 8: {
            a.kind = Action::Key;
            a.control = Boxes[pick(7)];
            const auto key = NoChangeKeys[pick(NoChangeKeys.size())];
            a.key = key.first;
            a.modifiers = key.second;
            break;
        }
        case 9:
        case 10:
            a.kind = Action::Page;
            a.control = Boxes[pick(Boxes.size())];
            a.key = pick(2) ? Qt::Key_PageUp : Qt::Key_PageDown;
            a.modifiers = QList<int>{0, Qt::ShiftModifier, Qt::AltModifier}[pick(3)];
            break;
        case 11:
        case 12:
            a.kind = Action::Choose;
            a.control = pick(16);
            a.key = QList<int>{Qt::Key_Down, Qt::Key_Up, Qt::Key_Home, Qt::Key_End, Qt::Key_Shift}[pick(5)];
            break;
        case 13:
            a.kind = Action::Units;
            a.control = pick(2);
            break;
        case 14: a.kind = Action::Refresh; break;
        case 15:
            a.kind = Action::OtherWriter;
            a.state = state();
            break;
        case 16: a.kind = Action::Refuse; break;
        case 17: a.kind = Action::Cancel; break;
        default: a.kind = Action::Apply; break;
        }
        return a;
    }

    QRandomGenerator m_random;
};

// Answers every box a sequence may raise, the way its action says; anything else is a fault.
class Answerer : public toolkit::MessageBoxService {
public:
    Answerer() : m_previous(toolkit::SetMessageBoxService(this)) {}
    ~Answerer() override { toolkit::SetMessageBoxService(m_previous); }

    bool yes = true;
    bool refused = false;
    std::set<QString> failedWrites;
    std::set<const QWidget*> adjusted;
    QStringList unexpected;

    toolkit::Answer ask(const toolkit::MessageBoxRequest& r) override
    {
        const QString& t = r.text;
        if (t.contains(QLatin1String("Adjustment where made"))) {
            // A rule wrote into the box it moves the caret to.
            adjusted.insert(QApplication::focusWidget());
            return toolkit::Answer::Ok;
        }
        if (t.contains(QLatin1String("out of range")) || t.startsWith(QLatin1String("Value must be numerical")))
            return toolkit::Answer::Ok;
        if (t.startsWith(QLatin1String("The changes were not applied"))) {
            refused = true;
            return toolkit::Answer::Ok;
        }
        if (t.startsWith(QLatin1String("This action will discard all changes")))
            return yes ? toolkit::Answer::Ok : toolkit::Answer::Cancel;
        if (t.startsWith(QLatin1String("There are changes that have not been applied")))
            return toolkit::Answer::No;
        if (t.startsWith(QLatin1String("Error updating "))) {
            failedWrites.insert(t.section(QLatin1Char(' '), 2, 2));
            return yes ? toolkit::Answer::Ignore : toolkit::Answer::Abort;
        }
        unexpected << r.text;
        return r.buttons == toolkit::Buttons::AbortRetryIgnore ? toolkit::Answer::Abort : toolkit::Answer::Ok;
    }

private:
    toolkit::MessageBoxService* m_previous;
};

class Runner {
public:
    explicit Runner(ConfiguredWindow& window) : m(window) {}

    // Runs a sequence from its start; empty when every check held, else what broke.
    QString run(const Sequence& s)
    {
        Answerer boxes;
        m_boxes = &boxes;
        m_ref = testsupport::DemoWorld::refOf(Network, Prefix() + s.device);
        start(s);
        for (std::size_t i = 0; i < s.actions.size(); ++i) {
            const QString broken = perform(s.actions[i]);
            if (!boxes.unexpected.isEmpty())
                return QStringLiteral("step %1: unexpected box: %2").arg(i).arg(boxes.unexpected.join(" | "));
            if (!broken.isEmpty())
                return QStringLiteral("step %1 (%2): %3").arg(i).arg(s.actions[i].describe(), broken);
        }
        return {};
    }

private:
    static QString Prefix() { return QStringLiteral("Demo/System 1/Floor 1/"); }

    void start(const Sequence& s)
    {
        if (m.ui().cmdCancel->isEnabled())
            m.ui().cmdCancel->click();
        m.world->admin().setDeviceFaults(m_ref, {});
        setDevice(s.start);
        if (m.session->DisplayUnits != s.units)
            m.chooseUnits(s.units);
        m.objects.back()->SendCommand(13, 7, Prefix() + s.device);
        m.objects.back()->SetVisible(true);
        // The progress window of the command took the activation.
        activate();
        m_shown.clear();
        m_boxes->adjusted.clear();
        sync();
    }

    void setDevice(const DeviceState& d)
    {
        QStringList points;
        for (const int p : d.setPoints)
            points << Hundredths(p);
        m.world->admin().setNvText(m_ref, QStringLiteral("nciSetPts"), points.join(QLatin1Char(',')));
        QStringList options = m.world->admin().nvText(m_ref, QStringLiteral("nciGenOpts")).split(QLatin1Char(' '));
        options[13] = Hundredths(d.heatMax);
        options[14] = Hundredths(d.coolMin);
        options[18] = Hundredths(d.deadBand);
        m.world->admin().setNvText(m_ref, QStringLiteral("nciGenOpts"), options.join(QLatin1Char(' ')));
    }

    // The controls a sequence works on, with the data item each shows.
    std::vector<std::pair<QWidget*, const device::config::Item*>> fields() const
    {
        std::vector<std::pair<QWidget*, const device::config::Item*>> all;
        for (const device::config::Item& item : device::config::Items()) {
            if (item.kind == device::config::ItemKind::Number)
                all.emplace_back(m.box(item.controlIndex), &item);
            else if (item.kind == device::config::ItemKind::Choice)
                all.emplace_back(m.combo(item.controlIndex), &item);
        }
        return all;
    }
    static QString textOf(const QWidget* control)
    {
        if (const auto* box = qobject_cast<const QLineEdit*>(control))
            return box->text();
        return static_cast<const QComboBox*>(control)->currentText();
    }
    bool changed(const QWidget* control) const
    {
        return m_boxes->adjusted.count(control) || textOf(control) != m_shown.value(control);
    }
    // A clean field shows the device: what it shows is what "nobody changed it" means.
    void sync()
    {
        for (const auto& [control, item] : fields()) {
            if (!m.isRed(control)) {
                m_shown[control] = textOf(control);
                m_boxes->adjusted.erase(control);
            }
        }
    }

    // Shows the control's tab and gives it the caret, as a click does; false when a person cannot reach
    // it. Leaving the box with the caret may run a rule that moves the caret to the box it adjusts: then
    // a person clicks again.
    bool reachable(QWidget* control)
    {
        if (!control->isEnabled())
            return false;
        for (int tab = 0; tab < m.ui().tabData->count(); ++tab)
            if (m.ui().tabData->widget(tab)->isAncestorOf(control)) {
                if (!m.ui().tabData->isTabEnabled(tab))
                    return false;
                m.ui().tabData->setCurrentIndex(tab);
            }
        if (auto* box = qobject_cast<QLineEdit*>(control); box && box->isReadOnly())
            return false;
        for (int click = 0; click < 3 && QApplication::focusWidget() != control; ++click)
            m.enter(control);
        return QApplication::focusWidget() == control;
    }

    // The log opens on an error row and takes the activation: a person clicks back into the window.
    void activate()
    {
        if (!m.w->isActiveWindow()) {
            m.w->activateWindow();
            QApplication::setActiveWindow(m.w);
            QCoreApplication::processEvents();
        }
    }

    QString perform(const Action& a)
    {
        activate();
        m_boxes->yes = a.yes;
        const QString broken = act(a);
        return broken.isEmpty() ? cleanShowsDevice() : broken;
    }

    // A field in the normal colour shows what the device holds, to the step it is shown in (half a
    // degree for a temperature).
    QString cleanShowsDevice() const
    {
        const auto view = deviceView();
        for (const auto& [control, item] : fields()) {
            if (m.isRed(control) || !control->isEnabled())
                continue;
            const QString device = view.at(item->variable).value(item->field);
            const bool shows = item->kind == device::config::ItemKind::Choice
                                   ? device == textOf(control)
                                   : std::abs(device.toDouble() - textOf(control).toDouble()) <= item->step / 2 + 1e-9;
            if (!shows)
                return QStringLiteral("%1 shows %2 in the normal colour, but the device holds %3")
                    .arg(item->name, textOf(control), device);
        }
        return {};
    }

    QString act(const Action& a)
    {
        switch (a.kind) {
        case Action::Type:
            if (reachable(m.box(a.control))) {
                m.type(a.control, a.text);
                // The user's own text now, whatever a rule wrote there before.
                m_boxes->adjusted.erase(m.box(a.control));
                m.leave();
                return leftBox(a.control);
            }
            break;
        case Action::Key:
        case Action::Page:
            if (reachable(m.box(a.control))) {
                QTest::keyClick(m.box(a.control), Qt::Key(a.key), Qt::KeyboardModifiers(a.modifiers));
                m.leave();
                return leftBox(a.control);
            }
            break;
        case Action::Choose:
            if (reachable(m.combo(a.control))) {
                QTest::keyClick(m.combo(a.control), Qt::Key(a.key));
                m.leave();
            }
            break;
        case Action::Units: m.chooseUnits(a.control); break;
        case Action::Refresh: return reread([&] { m.ui().cmdRefresh->click(); });
        case Action::OtherWriter:
            return reread([&] {
                setDevice(a.state);
                m.w->DeviceWrittenElsewhere(Network, Prefix() + m_ref.device);
            });
        case Action::Refuse: m.world->admin().setDeviceFaults(m_ref, {.refusesWrites = a.yes}); break;
        case Action::Cancel: m.ui().cmdCancel->click(); break;
        case Action::Apply: return apply();
        }
        QCoreApplication::processEvents();
        sync();
        return {};
    }

    // After a set point, a limit or the dead band is left, its rules hold between what the fields the
    // user changed say and what the device holds in the others (not their rounded texts).
    QString leftBox(int box)
    {
        QCoreApplication::processEvents();
        sync();
        namespace n = device::config::names;
        std::map<QString, double> v;
        for (const QString& name : device::config::CrossFieldItems()) {
            const device::config::Item* item = device::config::FindSettable(name);
            const QLineEdit* control = m.box(item->controlIndex);
            if (changed(control)) {
                v[name] = control->text().toDouble();
                continue;
            }
            const double celsius = deviceTexts(item->variable, false).value(item->field).toDouble();
            v[name] = !m.session->DisplayUnits ? celsius : celsius * 1.8 + (name == n::DeadBand ? 0 : 32);
        }
        const auto keeps = [&](const QString& heat, const QString& cool) {
            return v[n::DeadBand] <= v[cool] - v[heat] + 1e-6;
        };
        bool holds = true;
        switch (box) {
        case 0:
        case 3: holds = keeps(n::OccHeat, n::OccCool); break;
        case 1:
        case 4: holds = keeps(n::UnoccHeat, n::UnoccCool); break;
        case 16: holds = keeps(n::OccHeat, n::OccCool) && keeps(n::UnoccHeat, n::UnoccCool); break;
        case 2: holds = v[n::OccHeat] <= v[n::HeatMax] + 1e-6 && v[n::UnoccHeat] <= v[n::HeatMax] + 1e-6; break;
        case 5: holds = v[n::OccCool] >= v[n::CoolMin] - 1e-6 && v[n::UnoccCool] >= v[n::CoolMin] - 1e-6; break;
        default: break;
        }
        if (holds)
            return {};
        QStringList values;
        for (const auto& [name, value] : v)
            values << QStringLiteral("%1 %2").arg(name).arg(value);
        return QStringLiteral("the rules of box %1 do not hold after leaving it: %2").arg(box).arg(values.join(", "));
    }

    // A re-read keeps every change of the user's, and shows the device's value in every other field
    // (clean, whatever key turned it red).
    QString reread(const std::function<void()>& read)
    {
        std::map<QWidget*, QString> kept;
        for (const auto& [control, item] : fields())
            if (changed(control))
                kept[control] = textOf(control);
        read();
        QCoreApplication::processEvents();
        for (const auto& [control, item] : fields()) {
            const auto change = kept.find(control);
            // Refresh All leaves the box with the caret first: a rule may move a set point then.
            if (change != kept.end() && textOf(control) != change->second && !m_boxes->adjusted.count(control))
                return QStringLiteral("%1: the change \"%2\" became \"%3\" on a re-read")
                    .arg(item->name, change->second, textOf(control));
            if (change == kept.end() && m.isRed(control))
                return QStringLiteral("%1 is red after a re-read though nobody changed it").arg(item->name);
        }
        sync();
        return {};
    }

    std::map<QString, QByteArray> deviceBytes() const
    {
        std::map<QString, QByteArray> bytes;
        for (const QString& nv : Variables)
            bytes[nv] = m.world->admin().nvRaw(m_ref, nv);
        return bytes;
    }
    // Every variable's fields as the device shows them in the display units, read once.
    std::map<QString, QStringList> deviceView() const
    {
        std::map<QString, QStringList> view;
        for (const QString& nv : Variables)
            view[nv] = deviceTexts(nv, true);
        return view;
    }
    // The device's fields as it shows them: in the display units, or in °C for the rules.
    QStringList deviceTexts(const QString& nv, bool displayUnits) const
    {
        const bool localized = nv == QLatin1String("nciSetPts") || nv == QLatin1String("nciGenOpts");
        const QString format =
            localized ? typeNameOf(nv) + (displayUnits && m.session->DisplayUnits ? "#US" : "#SI") : QString();
        return m.world->admin()
            .nvText(m_ref, nv, format)
            .split(nv == QLatin1String("nciSetPts") ? QStringLiteral(",") : QStringLiteral(" "));
    }
    bool keepsRules() const
    {
        std::map<QString, QString> values;
        for (const QString& name : device::config::CrossFieldItems()) {
            const device::config::Item* item = device::config::FindSettable(name);
            values[name] = deviceTexts(item->variable, false).value(item->field);
        }
        return device::config::CrossFieldViolations(values).empty();
    }
    QByteArray fieldBytes(const std::map<QString, QByteArray>& bytes, const device::config::Item& item) const
    {
        const QByteArray& raw = bytes.at(item.variable);
        const auto fields = lns::formats::Read(typeNameOf(item.variable), raw, m.world->lonWorksPath());
        return raw.mid(fields[item.field].offset, fields[item.field].bytes);
    }
    QString typeNameOf(const QString& nv) const
    {
        QString& name = m_typeNames[nv];
        if (name.isEmpty())
            name = m.world->admin().nvTypeName(m_ref, nv);
        return name;
    }
    // What the device holds is what the field shows, up to the conversion into °F and the inward offset.
    bool holdsShown(const QWidget* control, const device::config::Item& item,
                    const std::map<QString, QStringList>& view) const
    {
        const QString device = view.at(item.variable).value(item.field);
        if (item.kind == device::config::ItemKind::Choice)
            return device == textOf(control);
        const double tolerance = m.session->DisplayUnits ? 0.025 + 0.01 : 0.05;
        return std::abs(device.toDouble() - textOf(control).toDouble()) <= tolerance + 1e-9;
    }

    QString apply()
    {
        const bool keptRules = keepsRules();
        const auto before = deviceBytes();
        // Changed before the click (Apply may bring a typed value back to a limit that the field showed),
        // or by a rule when the click leaves the box with the caret.
        std::set<const QWidget*> changedFields;
        for (const auto& [control, item] : fields())
            if (changed(control))
                changedFields.insert(control);
        m_boxes->refused = false;
        m_boxes->failedWrites.clear();
        m.ui().cmdApply->click();
        changedFields.insert(m_boxes->adjusted.begin(), m_boxes->adjusted.end());
        QCoreApplication::processEvents();
        const auto after = deviceBytes();
        const bool failed = !m_boxes->failedWrites.empty();
        if (m_boxes->refused && before != after)
            return QStringLiteral("the rules refused the changes, but the device was written");
        if (keptRules && !keepsRules())
            return QStringLiteral("the device no longer keeps its rules: %1 / %2")
                .arg(deviceTexts(QStringLiteral("nciSetPts"), false).join(','),
                     deviceTexts(QStringLiteral("nciGenOpts"), false).mid(13, 6).join(' '));
        const auto view = deviceView();
        for (const auto& [control, item] : fields()) {
            const bool same = fieldBytes(before, *item) == fieldBytes(after, *item);
            if (!changedFields.count(control)) {
                if (!same)
                    return QStringLiteral("%1 changed on the device though nobody changed it (shows %2, device %3)")
                        .arg(item->name, textOf(control), view.at(item->variable).value(item->field));
                continue;
            }
            if (m_boxes->refused)
                continue;
            if (!holdsShown(control, *item, view) && !(failed && same))
                return QStringLiteral("%1 shows %2 but the device holds %3")
                    .arg(item->name, textOf(control), view.at(item->variable).value(item->field));
        }
        if (!failed && !m_boxes->refused)
            for (const auto& [control, item] : fields())
                if (m.isRed(control))
                    return QStringLiteral("%1 is still red after everything was written").arg(item->name);
        sync();
        return {};
    }

    ConfiguredWindow& m;
    Answerer* m_boxes = nullptr;
    lns::admin::DeviceRef m_ref;
    QHash<const QWidget*, QString> m_shown;
    mutable std::map<QString, QString> m_typeNames;  // every demo thermostat has the same interface
};

}  // namespace

class TestApplySequences : public QObject {
    Q_OBJECT
private slots:
    void everyApplyWritesWhatWasMeant()
    {
        const quint64 seed = testsupport::GeneratedSeed();
        const int count = qEnvironmentVariableIsSet("KR5M_SEQUENCES") ? qEnvironmentVariableIntValue("KR5M_SEQUENCES")
                                                                      : KR5M_SEQUENCES_DEFAULT;
        QVERIFY(m.makeWorld());
        QVERIFY(m.configure());
        Runner runner(m);
        Generator generator(seed);
        QElapsedTimer timer;
        timer.start();
        // KR5M_ONLY runs one sequence of the run on a fresh window, to look at it alone.
        const int only = qEnvironmentVariableIsSet("KR5M_ONLY") ? qEnvironmentVariableIntValue("KR5M_ONLY") : -1;
        for (int n = 0; n < count; ++n) {
            Sequence s = generator.next();
            if (only >= 0 && n != only)
                continue;
            QString broken = runner.run(s);
            if (broken.isEmpty())
                continue;
            // The shortest sequence that still fails: drop one action at a time while it does.
            for (bool shorter = true; shorter;) {
                shorter = false;
                for (std::size_t i = 0; i + 1 < s.actions.size(); ++i) {
                    Sequence fewer = s;
                    fewer.actions.erase(fewer.actions.begin() + qsizetype(i));
                    if (const QString again = runner.run(fewer); !again.isEmpty()) {
                        s = fewer;
                        broken = again;
                        shorter = true;
                        break;
                    }
                }
            }
            QStringList steps;
            for (const Action& a : s.actions)
                steps << QStringLiteral("  ") + a.describe();
            QFAIL(qPrintable(
                QStringLiteral("seed %1, sequence %2: %3 on %4 in %5 units, set points %6, limits %7 %8 %9:\n%10\n%11")
                    .arg(seed)
                    .arg(n)
                    .arg(broken, s.device, s.units ? "imperial" : "metric")
                    .arg([&] {
                        QStringList p;
                        for (int v : s.start.setPoints)
                            p << Hundredths(v);
                        return p.join(',');
                    }())
                    .arg(Hundredths(s.start.heatMax), Hundredths(s.start.coolMin), Hundredths(s.start.deadBand))
                    .arg(steps.join('\n'), QStringLiteral("(KR5M_SEED=%1 reproduces it)").arg(seed))));
        }
        qInfo("%d sequences from seed %llu in %lld ms", count, seed, timer.elapsed());
    }

    void cleanup() { m.tearDown(); }

private:
    ConfiguredWindow m;
};

QTEST_MAIN(TestApplySequences)
#include "tst_ApplySequences.moc"
