// Random profiles (valid, on limits, just outside, finer than a field holds, in either units) applied to
// random demo thermostats that start from random states keeping their rules, with write failures and
// devices that keep other bytes planted at random. What must hold, read back from the device's bytes:
//   - a profile refused whole, or a dry run, changes no device;
//   - a device reported verified or unchanged keeps its rules and holds exactly the report's new values,
//     which are the profile's own up to the unit conversion and the inward offset of a limit; nothing
//     else of it changed;
//   - any other device holds its old bytes, or is reported partly-written naming the variables left
//     new, or verify-failed naming the variables that read back otherwise;
//   - the report is ok exactly when every device verified or already matched (dry run: would change),
//     and every write is one "Updating" row of the log.
// KR5M_SEED chooses the run, KR5M_PROFILES its length; a failure prints the seed and the smallest case
// that still fails.
#include "device/ConfigModel.h"
#include "device/WritePlan.h"
#include "platform/base/Numbers.h"
#include "platform/objectserver/ValueFormats.h"
#include "profiles/Profiles.h"
#include "support/DemoWorld.h"
#include "ui/log/LogModel.h"
#include "ui/log/fLog.h"

#include <QJsonArray>
#include <QJsonDocument>
#include <QJsonObject>
#include <QRandomGenerator>
#include <QSqlDatabase>
#include <QSqlError>
#include <QSqlQuery>
#include <QTest>
#include <QTreeView>

#include <cmath>
#include <map>
#include <set>

namespace {

#ifndef KR5M_PROFILES_DEFAULT
#define KR5M_PROFILES_DEFAULT 300
#endif

const QString Network = QStringLiteral("Demo");
const QString Prefix = QStringLiteral("Demo/System 1/Floor 1/");
// TS-107 does not answer; the others have models 30, 45, 51, 60, 61 and 41.
const QStringList Devices{"TS-101", "TS-102", "TS-103", "TS-104", "TS-105", "TS-106", "TS-107"};
const QStringList Variables{"nciSetPts", "nciRHmodel", "nciGenOpts", "nciSndHrtBt", "nciMinOutTm", "nciRcvHrtBt"};

using device::config::Item;
using device::config::ItemKind;

struct Fault {
    // Its writes fail; it answers them and keeps what it held; it takes new bytes but not its old ones.
    enum Kind { RefusesWrite, KeepsOtherBytes, RefusesItsOldBytes } kind = RefusesWrite;
    QString variable;
};

struct DeviceCase {
    QString name;
    int setPoints[6]{};  // hundredths of a degree Celsius, as the variable orders them
    int heatMax = 0, coolMin = 0, deadBand = 0;
    std::vector<Fault> faults;
};

struct Case {
    std::vector<DeviceCase> devices;
    int units = 0;
    bool dryRun = false;
    bool twice = false;  // applied a second time to the same devices
    std::vector<std::pair<QString, QJsonValue>> values;

    QString describe() const
    {
        QStringList lines;
        lines << QStringLiteral("%1 profile%2%3")
                     .arg(units ? "imperial" : "metric", dryRun ? ", dry run" : "", twice ? ", applied twice" : "");
        for (const auto& [name, value] : values)
            lines << QStringLiteral("  %1: %2")
                         .arg(name, value.isDouble() ? numbers::ShortestNumber(value.toDouble()) : value.toString());
        for (const DeviceCase& d : devices) {
            QStringList points;
            for (const int p : d.setPoints)
                points << numbers::ShortestNumber(p / 100.0);
            QStringList faults;
            for (const Fault& f : d.faults)
                faults << QStringList{"refuses ", "keeps its bytes of ", "refuses the old bytes of "}[f.kind] +
                              f.variable;
            lines << QStringLiteral("  %1: set points %2, limits %3 %4 %5; %6")
                         .arg(d.name, points.join(','), numbers::ShortestNumber(d.heatMax / 100.0),
                              numbers::ShortestNumber(d.coolMin / 100.0), numbers::ShortestNumber(d.deadBand / 100.0),
                              faults.isEmpty() ? QStringLiteral("no fault") : faults.join(", "));
        }
        return lines.join('\n');
    }
};

class Generator {
public:
    explicit Generator(quint64 seed) : m_random(quint32(seed ^ (seed >> 32))) {}

    Case next()
    {
        Case c;
        c.units = pick(2);
        c.dryRun = pick(5) == 0;
        c.twice = !c.dryRun && pick(4) == 0;
        for (const QString& name : Devices)
            if (pick(2))
                c.devices.push_back(device(name));
        if (c.devices.empty())
            c.devices.push_back(device(Devices[pick(Devices.size())]));
        // Mostly values a device takes, the set points and limits among them agreeing with each other;
        // now and then one on a limit, just outside, finer than its field, or not in its list.
        const DeviceCase agreed = device(QString());
        const bool withRules = pick(3) != 0;
        for (const Item& item : device::config::Items()) {
            if (item.kind == ItemKind::ReadOnly)
                continue;
            if (device::config::CrossFieldItems().contains(item.name)) {
                if (withRules)
                    c.values.emplace_back(item.name, agreedValue(agreed, item, c.units));
                else if (pick(4) == 0)
                    c.values.emplace_back(item.name, value(item, c.units, false));
            } else if (pick(3) == 0) {
                c.values.emplace_back(item.name, value(item, c.units, false));
            }
        }
        for (int odd = pick(3) == 0 ? 1 + pick(2) : 0; odd > 0; --odd) {
            const Item& item = device::config::Items()[std::size_t(pick(device::config::Items().size()))];
            if (item.kind != ItemKind::ReadOnly)
                c.values.emplace_back(item.name, value(item, c.units, true));
        }
        if (c.values.empty())
            c.values.emplace_back(QStringLiteral("SetpointType"), QJsonValue(QStringLiteral("TEMPORARY")));
        // One value an item (a later one takes the place of an earlier one, as in the profile's JSON).
        std::map<QString, QJsonValue> unique(c.values.begin(), c.values.end());
        for (const auto& [name, v] : c.values)
            unique[name] = v;
        c.values.assign(unique.begin(), unique.end());
        return c;
    }

private:
    int pick(qsizetype n) { return int(m_random.bounded(quint32(n))); }
    int between(int low, int high) { return low + pick(high - low + 1); }
    int temperature(int low, int high)
    {
        const int v = between(low, high);
        return pick(3) == 0 ? std::clamp(v / 50 * 50, low, high) : v;
    }

    DeviceCase device(const QString& name)
    {
        for (;;) {
            DeviceCase d;
            d.name = name;
            d.deadBand = temperature(100, 250);
            d.heatMax = temperature(450, 3200);
            d.coolMin = temperature(1200, 3750);
            bool fits = true;
            for (const auto& [heat, cool] : {std::pair{3, 0}, std::pair{5, 2}}) {
                const int high = std::min(d.heatMax, 3750 - d.deadBand);
                d.setPoints[heat] = high < 450 ? 0 : temperature(450, high);
                const int low = std::max(d.coolMin, d.setPoints[heat] + d.deadBand);
                fits = fits && high >= 450 && low <= 3750;
                d.setPoints[cool] = fits ? temperature(low, 3750) : 0;
            }
            d.setPoints[1] = temperature(1200, 3750);
            d.setPoints[4] = temperature(450, 3200);
            for (int f = pick(4) == 0 ? 1 + pick(2) : 0; f > 0; --f)
                d.faults.push_back({Fault::Kind(pick(3)),
                                    QStringList{"nciSetPts", "nciGenOpts", "nciRHmodel", "nciSndHrtBt"}[pick(4)]});
            if (fits)
                return d;
        }
    }

    // A set point, limit or dead band of a state that keeps the rules, in the profile's units.
    static QJsonValue agreedValue(const DeviceCase& d, const Item& item, int units)
    {
        namespace n = device::config::names;
        const int hundredths = item.name == n::OccCool     ? d.setPoints[0]
                               : item.name == n::UnoccCool ? d.setPoints[2]
                               : item.name == n::OccHeat   ? d.setPoints[3]
                               : item.name == n::UnoccHeat ? d.setPoints[5]
                               : item.name == n::HeatMax   ? d.heatMax
                               : item.name == n::CoolMin   ? d.coolMin
                                                           : d.deadBand;
        const double celsius = hundredths / 100.0;
        if (!units)
            return celsius;
        return std::round((celsius * 1.8 + (item.name == n::DeadBand ? 0 : 32)) * 100) / 100;
    }

    QJsonValue value(const Item& item, int units, bool odd)
    {
        if (item.kind == ItemKind::Choice)
            return odd && pick(4) == 0 ? QJsonValue(QStringLiteral("NEVER"))
                                       : QJsonValue(item.choices[pick(item.choices.size())]);
        const double low = item.min[units], high = item.max[units];
        if (odd) {
            switch (pick(4)) {
            case 0: return pick(2) ? low : high;
            case 1: return pick(2) ? high + 0.5 : low - 0.5;  // just outside: the whole profile is refused
            case 2: return item.wholeNumbers ? std::floor((low + high) / 2) + 0.5 : (low + high) / 2 + 0.005;
            default: return low + (high - low) * pick(1000) / 1000.0 + (item.wholeNumbers ? 0 : 0.001);
            }
        }
        // Inside, on a step the field holds: whole numbers, tenths, and for temperatures hundredths too.
        const double steps = item.wholeNumbers ? 1 : item.temperature && pick(2) ? 0.01 : 0.1;
        const double inside = std::round((low + (high - low) * pick(1001) / 1000.0) / steps) * steps;
        return std::clamp(inside, low, high);
    }

    QRandomGenerator m_random;
};

QString RawText(const QByteArray& bytes)
{
    return device::RawText(bytes);
}

class Runner {
public:
    explicit Runner(testsupport::DemoWorld& world) : m_world(world)
    {
        fLog log;
        const QJsonObject saved =
            QJsonDocument::fromJson(profiles::Save(Network, Prefix + QStringLiteral("TS-102"), 0, log).toUtf8())
                .object();
        m_programId = saved.value(QStringLiteral("programId")).toString();
        for (const QString& name : Devices)
            m_pristine[name] = bytesOf(name);
        m_db = QSqlDatabase::addDatabase(QStringLiteral("QSQLITE"), QStringLiteral("faults"));
        m_db.setDatabaseName(world.admin().databasePath());
        m_db.open();
    }
    ~Runner()
    {
        m_db.close();
        m_db = QSqlDatabase();
        QSqlDatabase::removeDatabase(QStringLiteral("faults"));
    }

    QString run(const Case& c)
    {
        try {
            return runChecked(c);
        } catch (const com::ComError& e) {
            return QStringLiteral("raised %1 %2").arg(e.number()).arg(e.description());
        }
    }

    QString runChecked(const Case& c)
    {
        for (const DeviceCase& d : c.devices)
            prepare(d);
        QStringList written;
        QString broken = applyOnce(c, written);
        // Again on the same devices: one that took the profile already holds it and is not written again.
        QStringList writtenAgain;
        if (broken.isEmpty() && c.twice)
            broken = applyOnce(c, writtenAgain);
        for (const DeviceCase& d : c.devices) {
            plant(d.name, {});
            if (broken.isEmpty() && d.faults.empty() && written.contains(d.name) && writtenAgain.contains(d.name))
                broken = QStringLiteral("%1 took the profile, yet it was written again").arg(d.name);
        }
        return broken;
    }

    // Applies the case's profile once and checks every device; written gets the devices verified.
    QString applyOnce(const Case& c, QStringList& written)
    {
        std::map<QString, std::map<QString, QByteArray>> before;
        for (const QString& name : Devices)
            before[name] = bytesOf(name);
        fLog log;
        QStringList paths;
        for (const DeviceCase& d : c.devices)
            paths << Prefix + d.name;
        QJsonObject report;
        try {
            report = QJsonDocument::fromJson(
                         profiles::Apply(Network, paths, profileText(c), c.dryRun, log).ToJson().toUtf8())
                         .object();
        } catch (const com::ComError& e) {
            if (e.number() != profiles::ErrProfileRefused)
                return QStringLiteral("the apply failed: %1").arg(e.description());
            ++seen[QStringLiteral("profile refused")];
            for (const QString& name : Devices)
                if (bytesOf(name) != before[name])
                    return QStringLiteral("%1 changed although the profile was refused").arg(name);
            return {};
        }
        if (c.dryRun)
            for (const QString& name : Devices)
                if (bytesOf(name) != before[name])
                    return QStringLiteral("%1 changed in a dry run").arg(name);
        const QJsonArray devices = report.value(QStringLiteral("devices")).toArray();
        bool allFine = true;
        int verifications = 0;
        for (int i = 0; i < devices.size(); ++i) {
            const QJsonObject outcome = devices[i].toObject();
            const QString name = c.devices[std::size_t(i)].name;
            const QString status = outcome.value(QStringLiteral("status")).toString();
            ++seen[status];
            allFine = allFine && (status == QLatin1String("verified") || status == QLatin1String("unchanged") ||
                                  (c.dryRun && status == QLatin1String("would-change")));
            verifications += int(outcome.value(QStringLiteral("verification")).toArray().size());
            if (const QString wrong = checkDevice(c, name, outcome, before[name]); !wrong.isEmpty())
                return QStringLiteral("%1 (%2): %3").arg(name, status, wrong);
            if (status == QLatin1String("verified"))
                written.append(name);
        }
        if (report.value(QStringLiteral("ok")).toBool() != allFine)
            return QStringLiteral("the report says ok %1").arg(report.value(QStringLiteral("ok")).toBool());
        int updates = 0;
        for (int row = 0; row < log.OstLog->model()->rowCount(); ++row)
            updates += log.OstLog->model()->index(row, 1).data().toString().startsWith(QLatin1String("Updating "));
        if (updates != verifications)
            return QStringLiteral("%1 Updating rows for %2 writes").arg(updates).arg(verifications);
        return {};
    }

    // How often each outcome was met: a run that meets few is no test of them.
    std::map<QString, int> seen;

private:
    lns::admin::DeviceRef ref(const QString& name) const { return {Network, QStringLiteral("Floor 1"), name}; }

    std::map<QString, QByteArray> bytesOf(const QString& name)
    {
        std::map<QString, QByteArray> bytes;
        for (const QString& nv : Variables)
            bytes[nv] = m_world.admin().nvRaw(ref(name), nv);
        return bytes;
    }
    // The two models' interfaces differ: each device's own type.
    QString typeName(const QString& device, const QString& nv)
    {
        QString& name = m_typeNames[device + '/' + nv];
        if (name.isEmpty())
            name = m_world.admin().nvTypeName(ref(device), nv);
        return name;
    }
    // The device's fields as it shows them in the units given (2: its own, in °C).
    QStringList texts(const QString& name, const QString& nv, int units)
    {
        const bool localized = nv == QLatin1String("nciSetPts") || nv == QLatin1String("nciGenOpts");
        const QString format = typeName(name, nv) + (localized ? (units == 1 ? "#US" : "#SI") : "");
        return m_world.admin().nvText(ref(name), nv, format).split(nv == QLatin1String("nciSetPts") ? "," : " ");
    }

    void prepare(const DeviceCase& d)
    {
        plant(d.name, {});
        const lns::admin::DeviceRef r = ref(d.name);
        // From the same bytes every time: a case's outcome depends on the case alone.
        for (const auto& [nv, bytes] : m_pristine.at(d.name))
            m_world.admin().setNvRaw(r, nv, bytes);
        QStringList points;
        for (const int p : d.setPoints)
            points << numbers::ShortestNumber(p / 100.0);
        m_world.admin().setNvText(r, QStringLiteral("nciSetPts"), points.join(QLatin1Char(',')));
        QStringList options = m_world.admin().nvText(r, QStringLiteral("nciGenOpts")).split(QLatin1Char(' '));
        options[13] = numbers::ShortestNumber(d.heatMax / 100.0);
        options[14] = numbers::ShortestNumber(d.coolMin / 100.0);
        options[18] = numbers::ShortestNumber(d.deadBand / 100.0);
        m_world.admin().setNvText(r, QStringLiteral("nciGenOpts"), options.join(QLatin1Char(' ')));
        plant(d.name, d.faults);
    }

    // Faults of the device's variables, as the database's own triggers: a variable's writes fail, or the
    // device answers its writes and goes on holding what it held. None: the device's triggers go.
    void plant(const QString& name, const std::vector<Fault>& faults)
    {
        QSqlQuery q(m_db);
        const QString device = QString(name).remove('-');
        for (int i = 0; i < 2; ++i)
            for (const char* when : {"insert", "update"})
                q.exec(QStringLiteral("DROP TRIGGER IF EXISTS fault_%1_%2_%3").arg(device).arg(i).arg(when));
        for (std::size_t i = 0; i < faults.size(); ++i) {
            const Fault& fault = faults[i];
            QString condition = QStringLiteral("NEW.device_id = (SELECT id FROM devices WHERE name = '%1') AND "
                                               "NEW.nv_id IN (SELECT id FROM template_nvs WHERE name = '%2')")
                                    .arg(name, fault.variable);
            if (fault.kind == Fault::RefusesItsOldBytes)
                condition += QStringLiteral(" AND NEW.value = X'%1'")
                                 .arg(QString::fromLatin1(m_world.admin().nvRaw(ref(name), fault.variable).toHex()));
            for (const char* when : {"insert", "update"}) {
                if (fault.kind == Fault::KeepsOtherBytes && QLatin1String(when) == QLatin1String("insert"))
                    continue;
                const QString body =
                    fault.kind != Fault::KeepsOtherBytes
                        ? QStringLiteral(
                              "BEFORE %1 ON device_nv_values WHEN %2 BEGIN SELECT RAISE(ABORT, 'planted'); END")
                        : QStringLiteral(
                              "AFTER %1 ON device_nv_values WHEN %2 BEGIN UPDATE device_nv_values SET value = "
                              "OLD.value WHERE device_id = NEW.device_id AND nv_id = NEW.nv_id; END");
                if (!q.exec(QStringLiteral("CREATE TRIGGER fault_%1_%2_%3 ").arg(device).arg(i).arg(when) +
                            body.arg(when, condition)))
                    qFatal("cannot plant a fault: %s", qPrintable(q.lastError().text()));
            }
        }
    }

    QString profileText(const Case& c) const
    {
        QJsonObject values;
        for (const auto& [name, value] : c.values)
            values.insert(name, value);
        return QString::fromUtf8(QJsonDocument(QJsonObject{{"format", "KR5M-HU profile"},
                                                           {"version", 1},
                                                           {"programId", m_programId},
                                                           {"model", 45},
                                                           {"units", c.units ? "imperial" : "metric"},
                                                           {"values", values}})
                                     .toJson());
    }

    bool keepsRules(const QString& name)
    {
        std::map<QString, QString> values;
        for (const QString& item : device::config::CrossFieldItems()) {
            const Item* setting = device::config::FindSettable(item);
            values[item] = texts(name, setting->variable, 0).value(setting->field);
        }
        return device::config::CrossFieldViolations(values).empty();
    }

    // The profile's value stored as the device stores it: exactly, but inside a limit it lies on, and
    // through hundredths of a degree Celsius when converted.
    static bool Meant(const Item& item, double asked, double stored, int units)
    {
        double expected = asked;
        if (item.offset && asked == item.max[units])
            expected -= device::config::InwardOffset(qint16(units));
        else if (item.offset && asked == item.min[units])
            expected += device::config::InwardOffset(qint16(units));
        const double tolerance = units && item.temperature ? 0.01 : 0;
        return std::abs(stored - expected) <= tolerance + 1e-9;
    }

    QString checkDevice(const Case& c, const QString& name, const QJsonObject& outcome,
                        const std::map<QString, QByteArray>& before)
    {
        const QString status = outcome.value(QStringLiteral("status")).toString();
        const std::map<QString, QByteArray> now = bytesOf(name);
        QStringList changed;
        for (const QString& nv : Variables)
            if (now.at(nv) != before.at(nv))
                changed << nv;
        if (status == QLatin1String("verified") || status == QLatin1String("unchanged")) {
            if (status == QLatin1String("unchanged") && !changed.isEmpty())
                return QStringLiteral("%1 changed").arg(changed.join(", "));
            if (!keepsRules(name))
                return QStringLiteral("it breaks its rules");
            std::set<QString> named;
            for (const QJsonValue& i : outcome.value(QStringLiteral("items")).toArray()) {
                const QJsonObject item = i.toObject();
                const QString itemName = item.value(QStringLiteral("name")).toString();
                named.insert(itemName);
                if (item.value(QStringLiteral("state")).toString() == QLatin1String("skipped"))
                    continue;
                const Item* setting = device::config::FindSettable(itemName);
                const QString holds = texts(name, setting->variable, c.units).value(setting->field);
                const QString reported = item.value(QStringLiteral("new")).toString();
                if (holds != reported)
                    return QStringLiteral("%1 holds %2, the report says %3").arg(itemName, holds, reported);
                const auto asked =
                    std::find_if(c.values.begin(), c.values.end(), [&](const auto& v) { return v.first == itemName; });
                if (setting->kind == ItemKind::Number &&
                    !Meant(*setting, asked->second.toDouble(), holds.toDouble(), c.units))
                    return QStringLiteral("%1 holds %2 for the profile's %3")
                        .arg(itemName, holds, numbers::ShortestNumber(asked->second.toDouble()));
            }
            // Nothing but the profile's items changed: not another item, nor a field no item shows.
            for (const QString& nv : Variables) {
                std::set<int> profiled;
                for (const Item& item : device::config::Items())
                    if (item.variable == nv && named.count(item.name))
                        profiled.insert(item.field);
                const auto fields = lns::formats::Read(typeName(name, nv), before.at(nv), m_world.lonWorksPath());
                for (int f = 0; f < fields.size(); ++f)
                    if (!profiled.count(f) && before.at(nv).mid(fields[f].offset, fields[f].bytes) !=
                                                  now.at(nv).mid(fields[f].offset, fields[f].bytes))
                        return QStringLiteral("field %1 of %2 changed though the profile does not hold it")
                            .arg(f)
                            .arg(nv);
            }
            return {};
        }
        if (status == QLatin1String("would-change"))
            return {};
        QStringList allowed;
        const DeviceCase& planted =
            *std::find_if(c.devices.begin(), c.devices.end(), [&](const DeviceCase& d) { return d.name == name; });
        for (const QJsonValue& v : outcome.value(QStringLiteral("leftNew")).toArray()) {
            // Left new only where the device would not take its old bytes back.
            if (std::none_of(planted.faults.begin(), planted.faults.end(), [&](const Fault& f) {
                    return f.variable == v.toString() && f.kind == Fault::RefusesItsOldBytes;
                }))
                return QStringLiteral("%1 was left new though it could be put back").arg(v.toString());
            allowed << v.toString();
        }
        for (const QJsonValue& v : outcome.value(QStringLiteral("verification")).toArray()) {
            const QJsonObject check = v.toObject();
            if (check.value(QStringLiteral("ok")).toBool())
                continue;
            const QString nv = check.value(QStringLiteral("variable")).toString();
            if (check.value(QStringLiteral("readBack")).toString() != RawText(now.at(nv)))
                return QStringLiteral("%1 reads back %2, the report says %3")
                    .arg(nv, RawText(now.at(nv)), check.value(QStringLiteral("readBack")).toString());
            allowed << nv;
        }
        if (status == QLatin1String("verify-failed"))
            for (const QJsonValue& v : outcome.value(QStringLiteral("verification")).toArray())
                allowed << v.toObject().value(QStringLiteral("variable")).toString();
        for (const QString& nv : changed)
            if (!allowed.contains(nv))
                return QStringLiteral("%1 changed and the report does not say so").arg(nv);
        return {};
    }

    testsupport::DemoWorld& m_world;
    QString m_programId;
    QSqlDatabase m_db;
    std::map<QString, QString> m_typeNames;
    std::map<QString, std::map<QString, QByteArray>> m_pristine;
};

}  // namespace

class TestProfileSequences : public QObject {
    Q_OBJECT
private slots:
    void everyDeviceHoldsWhatTheReportSays()
    {
        const quint64 seed = testsupport::GeneratedSeed();
        const int count = qEnvironmentVariableIsSet("KR5M_PROFILES") ? qEnvironmentVariableIntValue("KR5M_PROFILES")
                                                                     : KR5M_PROFILES_DEFAULT;
        testsupport::DemoWorld world;
        QVERIFY2(world.ok(), qPrintable(world.error()));
        Runner runner(world);
        Generator generator(seed);
        for (int n = 0; n < count; ++n) {
            Case c = generator.next();
            QString broken = runner.run(c);
            if (broken.isEmpty())
                continue;
            // The smallest case that still fails: fewer values, devices and faults, applied once.
            for (bool smaller = true; smaller;) {
                smaller = false;
                std::vector<Case> candidates;
                for (std::size_t i = 0; c.values.size() > 1 && i < c.values.size(); ++i) {
                    candidates.push_back(c);
                    candidates.back().values.erase(candidates.back().values.begin() + qsizetype(i));
                }
                for (std::size_t i = 0; c.devices.size() > 1 && i < c.devices.size(); ++i) {
                    candidates.push_back(c);
                    candidates.back().devices.erase(candidates.back().devices.begin() + qsizetype(i));
                }
                for (std::size_t i = 0; i < c.devices.size(); ++i)
                    for (std::size_t f = 0; f < c.devices[i].faults.size(); ++f) {
                        candidates.push_back(c);
                        auto& faults = candidates.back().devices[i].faults;
                        faults.erase(faults.begin() + qsizetype(f));
                    }
                if (c.twice) {
                    candidates.push_back(c);
                    candidates.back().twice = false;
                }
                for (const Case& candidate : candidates)
                    if (const QString again = runner.run(candidate); !again.isEmpty()) {
                        c = candidate;
                        broken = again;
                        smaller = true;
                        break;
                    }
            }
            QFAIL(qPrintable(QStringLiteral("seed %1, profile %2: %3\n%4\n(KR5M_SEED=%1 reproduces it)")
                                 .arg(seed)
                                 .arg(n)
                                 .arg(broken, c.describe())));
        }
        QStringList seen;
        for (const auto& [what, times] : runner.seen)
            seen << QStringLiteral("%1 %2").arg(what).arg(times);
        qInfo("%d profiles from seed %llu: %s", count, seed, qPrintable(seen.join(", ")));
    }
};

QTEST_MAIN(TestProfileSequences)
#include "tst_ProfileSequences.moc"
