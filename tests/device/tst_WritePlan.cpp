// The plan on generated device bytes and edits, with the thermostat's own types: a field nobody edited
// keeps its bytes whatever the units, an edit's bytes are what its field holds of the text, the write
// order keeps the rules between two writes where some order does, and a write after another writer's
// change keeps that change or writes nothing. KR5M_SEED chooses the run.
#include "device/CNvCpTable.h"
#include "device/ConfigModel.h"
#include "device/WritePlan.h"
#include "platform/base/Numbers.h"
#include "platform/objectserver/ValueFormats.h"
#include "support/DeviceWorld.h"

#include <QRandomGenerator>
#include <QTest>
#include <set>

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

// An access object of the world's thermostat, read in °C.
std::unique_ptr<CNvCpTable> ReadTable(devicetest::DeviceWorld& world, const QString& key)
{
    auto table = std::make_unique<CNvCpTable>();
    table->Name = table->Key = key;
    table->Format = key == Keys[0] ? QStringLiteral("SNVT_temp_setpt") : QStringLiteral("UNVT_fc_gen_opts");
    table->Separator = key == Keys[0] ? QStringLiteral(",") : QStringLiteral(" ");
    table->LocalizationSpecific = true;
    table->MyNetworkVariable = world.nvs->NvCollectionItem(key);
    table->GetNetworkValue();
    return table;
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
                return QStringLiteral("seed %1, case %2: %3").arg(Seed()).arg(n).arg(what).toLocal8Bit();
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

    // A window or a profile read the device, then another writer changed some of its fields, then the
    // write. Whatever the fields: a field only this write changed holds its value, a field only the
    // other writer changed keeps theirs, and where both changed one (or the two together would break a
    // rule) nothing is written until the user chooses: then the chosen side's value, every other field
    // as before. Read back from the object server's store, not from the access object.
    void anotherWritersChangeIsKeptOrNothingIsWritten()
    {
        devicetest::DeviceWorld world;
        const QString path = world.admin->lonWorksPath();
        Cases cases(world);
        std::map<QString, int> outcomes;
        for (int n = 0; n < 400; ++n) {
            const auto why = [&](const QString& what) {
                return QStringLiteral("seed %1, case %2: %3").arg(Seed()).arg(n).arg(what).toLocal8Bit();
            };
            for (const device::HeldVariable& h : cases.holding(cases.agreeingState()))
                world.admin->setNvRaw(world.ref(), h.key, h.bytes);
            std::map<QString, std::unique_ptr<CNvCpTable>> tables;
            std::vector<device::HeldVariable> held;
            for (const QString& key : Keys) {
                tables[key] = ReadTable(world, key);
                held.push_back(device::HeldOf(*tables[key]));
            }
            std::vector<device::Edit> edits;
            for (const auto& [name, text] : cases.agreeingState())
                if (cases.pick(3) == 0)
                    edits.push_back({name, text});
            for (const device::Edit& edit : cases.edits(0))
                if (!device::config::CrossFieldItems().contains(edit.item))
                    edits.push_back(edit);
            const device::Plan plan = device::MakePlan(held, edits, 0, path);
            if (!device::CheckPlan(plan, 0).empty())
                continue;
            // The other writer: one to three fields of either variable, each to a value its field holds.
            std::map<QString, QByteArray> theirs;
            for (const device::HeldVariable& h : held) {
                QByteArray bytes = h.bytes;
                const auto fields = lns::formats::Read(h.format, bytes, path);
                const QByteArray other = cases.bytes(h.format.section(QLatin1Char('#'), 0, 0));
                for (quint32 k = cases.pick(4); k > 0; --k) {
                    const auto& f = fields[int(cases.pick(quint32(fields.size())))];
                    bytes.replace(f.offset, f.bytes, other.mid(f.offset, f.bytes));
                }
                world.admin->setNvRaw(world.ref(), h.key, bytes);
                theirs[h.key] = bytes;
            }
            for (const device::PlannedVariable* v : device::WriteOrder(plan)) {
                const QByteArray& before = v->before;
                const QByteArray& other = theirs[v->key];
                auto choice = device::OnConflict::Refuse;
                std::set<int> conflicting;
                const auto fields = lns::formats::Read(v->format, before, path);
                for (int i = 0; i < fields.size(); ++i) {
                    const auto bytesOf = [&](const QByteArray& b) { return b.mid(fields[i].offset, fields[i].bytes); };
                    if (bytesOf(v->after) != bytesOf(before) && bytesOf(other) != bytesOf(before) &&
                        bytesOf(other) != bytesOf(v->after))
                        conflicting.insert(i);
                }
                QString outcome = other == before ? QStringLiteral("as planned") : QStringLiteral("merged");
                try {
                    device::WriteVariable(*tables[v->key], plan, *v);
                    QVERIFY2(conflicting.empty(), why(v->key + " was written over a field both changed"));
                } catch (const device::WriteConflict& conflict) {
                    QCOMPARE(world.admin->nvRaw(world.ref(), v->key), other);
                    QVERIFY2(conflict.fields.size() == conflicting.size(),
                             why(v->key + " names other fields in conflict: " + conflict.description()));
                    QVERIFY2(!conflict.fields.empty() || !conflict.broken.empty(), why(conflict.description()));
                    choice = cases.pick(2) ? device::OnConflict::Overwrite : device::OnConflict::KeepTheirs;
                    outcome = conflict.fields.empty() ? QStringLiteral("rule") : QStringLiteral("conflict");
                    try {
                        device::WriteVariable(*tables[v->key], plan, *v, choice);
                    } catch (const device::WriteConflict& again) {
                        QVERIFY2(!again.broken.empty(), why(again.description()));
                        QCOMPARE(world.admin->nvRaw(world.ref(), v->key), other);
                        ++outcomes[outcome + QStringLiteral(", then a rule")];
                        break;
                    }
                }
                ++outcomes[outcome];
                const QByteArray device = world.admin->nvRaw(world.ref(), v->key);
                for (int i = 0; i < fields.size(); ++i) {
                    const auto bytesOf = [&](const QByteArray& b) { return b.mid(fields[i].offset, fields[i].bytes); };
                    const bool mine = bytesOf(v->after) != bytesOf(before) &&
                                      !(conflicting.count(i) && choice == device::OnConflict::KeepTheirs);
                    QVERIFY2(bytesOf(device) == bytesOf(mine ? v->after : other),
                             why(QStringLiteral("field %1 of %2 holds %3, not %4 (%5)")
                                     .arg(i)
                                     .arg(v->key, device::RawText(bytesOf(device)),
                                          device::RawText(bytesOf(mine ? v->after : other)),
                                          mine ? QStringLiteral("this write's") : QStringLiteral("as it was"))));
                }
            }
        }
        qInfo() << "seed" << Seed() << "outcomes" << outcomes;
        for (const QString& outcome : {QStringLiteral("merged"), QStringLiteral("conflict"), QStringLiteral("rule")}) {
            int seen = 0;
            for (const auto& [name, count] : outcomes)
                seen += name.startsWith(outcome) ? count : 0;
            QVERIFY2(seen >= 10,
                     qPrintable(QStringLiteral("seed %1: only %2 writes %3").arg(Seed()).arg(seen).arg(outcome)));
        }
    }
};

QTEST_MAIN(TestWritePlan)
#include "tst_WritePlan.moc"
