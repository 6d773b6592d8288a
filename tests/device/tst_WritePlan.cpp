// The plan on generated device bytes and edits, with the thermostat's own types: a field nobody edited
// keeps its bytes whatever the units, an edit's bytes are what its field holds of the text, and the
// write order keeps the rules between two writes where some order does. KR5M_SEED chooses the run.
#include "device/ConfigModel.h"
#include "device/WritePlan.h"
#include "platform/base/Numbers.h"
#include "platform/objectserver/ValueFormats.h"
#include "support/DeviceWorld.h"

#include <QRandomGenerator>
#include <QtTest>

namespace {

using device::config::Item;
using device::config::ItemKind;

const QStringList Keys{"nciSetPts", "nciGenOpts"};

quint64 Seed()
{
    static const quint64 seed = testsupport::GeneratedSeed();
    return seed;
}

class Cases {
public:
    explicit Cases(devicetest::DeviceWorld& world) : m_path(world.admin->lonWorksPath()), m_random(quint32(Seed()))
    {
        for (const char* nv : {"nciSetPts", "nciGenOpts"})
            m_sizes[world.admin->nvTypeName(world.ref(), QLatin1String(nv))] =
                world.admin->nvRaw(world.ref(), QLatin1String(nv)).size();
    }

    // A variable's bytes as a device may hold them: every field a value its format shows and takes back.
    QByteArray bytes(const QString& type)
    {
        for (;;) {
            QByteArray raw(m_sizes.at(type), '\0');
            for (char& b : raw)
                b = char(m_random.bounded(256));
            try {
                const QString text = lns::formats::Format(type, raw, m_path);
                if (lns::formats::Parse(type, text, qint32(raw.size()), m_path) == raw)
                    return raw;
            } catch (const com::ComError&) {
                // Not a value of the type (an enumeration no member has, a temperature below absolute zero).
            }
        }
    }

    // Edits of some items of the two variables: values in range on the steps the fields hold.
    std::vector<device::Edit> edits(int units)
    {
        std::vector<device::Edit> edits;
        for (const Item& item : device::config::Items()) {
            if (item.kind == ItemKind::ReadOnly || !Keys.contains(item.variable) || m_random.bounded(3) != 0)
                continue;
            if (item.kind == ItemKind::Choice) {
                edits.push_back({item.name, item.choices[int(m_random.bounded(quint32(item.choices.size())))]});
                continue;
            }
            const double low = item.min[units], high = item.max[units];
            const double step = item.wholeNumbers ? 1 : item.temperature ? 0.01 : 0.1;
            const double value = std::round((low + (high - low) * m_random.bounded(1.0)) / step) * step;
            edits.push_back({item.name, numbers::ShortestNumber(std::clamp(value, low, high))});
        }
        return edits;
    }

    quint32 pick(quint32 n) { return m_random.bounded(n); }

    // Set points (occupied, standby, unoccupied cooling; the same heating), heating maximum, cooling
    // minimum and dead band in °C that keep the rules, on the hundredths the device holds.
    std::map<QString, QString> agreeingState()
    {
        namespace n = device::config::names;
        const auto between = [&](int low, int high) { return low + int(pick(quint32(high - low + 1))); };
        for (;;) {
            const int deadBand = between(100, 250), heatMax = between(450, 3200), coolMin = between(1200, 3750);
            const int occHeat = between(450, heatMax), unoccHeat = between(450, heatMax);
            const int occLow = std::max(coolMin, occHeat + deadBand),
                      unoccLow = std::max(coolMin, unoccHeat + deadBand);
            if (occLow > 3750 || unoccLow > 3750)
                continue;
            const auto t = [](int hundredths) { return numbers::ShortestNumber(hundredths / 100.0); };
            return {{n::OccHeat, t(occHeat)},
                    {n::UnoccHeat, t(unoccHeat)},
                    {n::OccCool, t(between(occLow, 3750))},
                    {n::UnoccCool, t(between(unoccLow, 3750))},
                    {n::HeatMax, t(heatMax)},
                    {n::CoolMin, t(coolMin)},
                    {n::DeadBand, t(deadBand)}};
        }
    }

    // The two variables holding such a state, their other fields as generated.
    std::vector<device::HeldVariable> holding(const std::map<QString, QString>& state)
    {
        std::vector<device::HeldVariable> held{{"nciSetPts", "SNVT_temp_setpt#SI", ",", bytes("SNVT_temp_setpt")},
                                               {"nciGenOpts", "UNVT_fc_gen_opts#SI", " ", bytes("UNVT_fc_gen_opts")}};
        for (device::HeldVariable& h : held) {
            QStringList fields = lns::formats::Format(h.format, h.bytes, m_path).split(h.separator);
            for (const auto& [name, text] : state)
                if (const Item* item = device::config::FindSettable(name); item->variable == h.key)
                    fields[item->field] = text;
            h.bytes = lns::formats::Parse(h.format, fields.join(h.separator), qint32(h.bytes.size()), m_path);
        }
        return held;
    }

private:
    QString m_path;
    QRandomGenerator m_random;
    std::map<QString, qsizetype> m_sizes;  // by type name
};

QByteArray FieldBytes(const QByteArray& raw, const QString& format, int field, const QString& path)
{
    const auto fields = lns::formats::Read(format, raw, path);
    return raw.mid(fields[field].offset, fields[field].bytes);
}

}  // namespace

class TestWritePlan : public QObject {
    Q_OBJECT
private slots:
    void planKeepsWhatNobodyEdited()
    {
        devicetest::DeviceWorld world;
        const QString path = world.admin->lonWorksPath();
        Cases cases(world);
        for (int n = 0; n < 1000; ++n) {
            const int units = int(cases.pick(2));
            const QString suffix = units ? "#US" : "#SI";
            const std::vector<device::HeldVariable> held{
                {"nciSetPts", "SNVT_temp_setpt" + suffix, ",", cases.bytes("SNVT_temp_setpt")},
                {"nciGenOpts", "UNVT_fc_gen_opts" + suffix, " ", cases.bytes("UNVT_fc_gen_opts")}};
            const std::vector<device::Edit> edits = cases.edits(units);
            const device::Plan plan = device::MakePlan(held, edits, qint16(units), path);
            const auto why = [&](const QString& what) {
                return qPrintable(QStringLiteral("seed %1, case %2: %3").arg(Seed()).arg(n).arg(what));
            };
            for (const device::PlannedItem& item : plan.items) {
                const device::HeldVariable& h = held[Keys.indexOf(item.item->variable)];
                const device::PlannedVariable& v = *plan.Variable(h.key);
                const QByteArray before = FieldBytes(h.bytes, h.format, item.item->field, path);
                const QByteArray after = FieldBytes(v.after, h.format, item.item->field, path);
                const auto edit = std::find_if(edits.begin(), edits.end(),
                                               [&](const device::Edit& e) { return e.item == item.name(); });
                if (edit == edits.end()) {
                    QVERIFY2(before == after, why(item.name() + " changed without an edit"));
                    continue;
                }
                // The bytes are those of the text, as the device's own parse of the field makes them.
                QStringList fields = lns::formats::Format(h.format, h.bytes, path).split(h.separator);
                fields[item.item->field] = edit->text;
                const QByteArray parsed =
                    lns::formats::Parse(h.format, fields.join(h.separator), qint32(h.bytes.size()), path);
                QVERIFY2(after == FieldBytes(parsed, h.format, item.item->field, path),
                         why(item.name() + " does not hold its edit " + edit->text));
                QCOMPARE(item.changes, before != after);
            }
        }
    }

    // Set points and limits that keep the rules before and after: the first write leaves the device
    // keeping them whenever one of the two orders does.
    void writeOrderKeepsTheRules()
    {
        devicetest::DeviceWorld world;
        const QString path = world.admin->lonWorksPath();
        Cases cases(world);
        int bothChanged = 0;
        for (int n = 0; n < 1500; ++n) {
            const std::vector<device::HeldVariable> held = cases.holding(cases.agreeingState());
            std::vector<device::Edit> edits;
            for (const auto& [name, text] : cases.agreeingState())
                edits.push_back({name, text});
            const device::Plan plan = device::MakePlan(held, edits, 0, path);
            const auto keeps = [&](const QString& written) {
                return device::config::CrossFieldViolations(
                           plan.RuleValues([&](const QString& key) { return key == written; }))
                    .empty();
            };
            const std::vector<const device::PlannedVariable*> order = device::WriteOrder(plan);
            if (order.size() != 2)
                continue;
            ++bothChanged;
            if (keeps(Keys[0]) || keeps(Keys[1]))
                QVERIFY2(keeps(order.front()->key),
                         qPrintable(QStringLiteral("seed %1, case %2: %3 first breaks the rules")
                                        .arg(Seed())
                                        .arg(n)
                                        .arg(order.front()->key)));
        }
        QVERIFY2(bothChanged > 500,
                 qPrintable(QStringLiteral("only %1 cases changed both variables").arg(bothChanged)));
    }
};

QTEST_MAIN(TestWritePlan)
#include "tst_WritePlan.moc"
