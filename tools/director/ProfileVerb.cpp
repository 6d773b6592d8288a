// profile save | diff | apply: configuration profiles through the plug-in's Profiles interface.
#include "ErrorLine.h"
#include "PlugInCall.h"
#include "Verbs.h"

#include "platform/base/ShownText.h"
#include "plugin/BusNames.h"

#include <unistd.h>
#include <QDBusArgument>
#include <QDBusConnection>
#include <QDBusMessage>
#include <QDBusMetaType>
#include <QFile>
#include <QFileInfo>
#include <QJsonArray>
#include <QJsonDocument>
#include <QJsonObject>
#include <QObject>
#include <QSaveFile>
#include <algorithm>
#include <cstdio>
#include <optional>

namespace director {
namespace {

using shown::Shown;

const QString Usage =
    QStringLiteral("usage: lnsdirector profile save NETWORK PATH [FILE] [--units metric|imperial]\n"
                   "       lnsdirector profile diff NETWORK PATH FILE [--json]\n"
                   "       lnsdirector profile apply NETWORK FILE (PATH... | --model CODE | --subsystem PATH) "
                   "[--dry-run] [--json]");

struct UsageError {
    QString message;
};

struct Request {
    QString operation;  // save, diff, apply
    QString network;
    QString path;       // save, diff: the device
    QString file;       // save: may be empty (standard output)
    QStringList paths;  // apply: the devices named
    QString units;      // save: empty for the plug-in's setting
    std::optional<qint16> model;
    QString subsystem;
    bool dryRun = false;
    bool json = false;
};

// The value after an option; the option and its value are taken out of the arguments.
QString TakeValue(QStringList& arguments, const QString& option, bool* given)
{
    const qsizetype at = arguments.indexOf(option);
    *given = at >= 0;
    if (at < 0)
        return QString();
    if (at + 1 >= arguments.size() || arguments[at + 1].startsWith(QLatin1String("--")))
        throw UsageError{QStringLiteral("lnsdirector profile: %1 needs a value").arg(option)};
    QString value = arguments[at + 1];
    arguments.remove(at, 2);
    if (arguments.contains(option))
        throw UsageError{QStringLiteral("lnsdirector profile: %1 is given twice").arg(option)};
    return value;
}

Request ParseRequest(QStringList arguments)
{
    Request r;
    r.json = TakeJsonOption(arguments);
    r.dryRun = arguments.removeAll(QStringLiteral("--dry-run")) > 0;
    bool unitsGiven = false, modelGiven = false, subsystemGiven = false;
    r.units = TakeValue(arguments, QStringLiteral("--units"), &unitsGiven);
    const QString model = TakeValue(arguments, QStringLiteral("--model"), &modelGiven);
    r.subsystem = TakeValue(arguments, QStringLiteral("--subsystem"), &subsystemGiven);
    for (const QString& word : std::as_const(arguments))
        if (word.startsWith(QLatin1String("--")))
            throw UsageError{QStringLiteral("lnsdirector profile: unknown option '%1'\n%2").arg(Shown(word), Usage)};
    r.operation = arguments.value(0);
    const qsizetype words = arguments.size();
    const bool save = r.operation == QLatin1String("save");
    const bool diff = r.operation == QLatin1String("diff");
    const bool apply = r.operation == QLatin1String("apply");
    // Each option belongs to one operation.
    if ((unitsGiven && !save) || ((modelGiven || subsystemGiven || r.dryRun) && !apply) || (r.json && save))
        throw UsageError{Usage};
    if ((save && (words < 3 || words > 4)) || (diff && words != 4) || (apply && words < 3) ||
        (!save && !diff && !apply))
        throw UsageError{Usage};
    r.network = arguments[1];
    if (save || diff) {
        r.path = arguments[2];
        r.file = arguments.value(3);
    } else {
        r.file = arguments[2];
        r.paths = arguments.mid(3);
        // Exactly one way of naming the devices.
        if (int(!r.paths.isEmpty()) + int(modelGiven) + int(subsystemGiven) != 1)
            throw UsageError{Usage};
    }
    if (unitsGiven && r.units != QLatin1String("metric") && r.units != QLatin1String("imperial"))
        throw UsageError{
            QStringLiteral("lnsdirector profile save: --units takes metric or imperial, not '%1'").arg(Shown(r.units))};
    if (modelGiven) {
        // Which codes are models the plug-in says; a number is checked here.
        bool number = false;
        const int code = model.toInt(&number);
        if (!number || code < 0 || code > 32767)
            throw UsageError{
                QStringLiteral("lnsdirector profile apply: --model takes a model code, not '%1'").arg(Shown(model))};
        r.model = qint16(code);
    }
    return r;
}

// Shows "device i of N: PATH" on standard error while an apply runs, when a person watches it there,
// and keeps how far the plug-in said it got.
class ProgressLine : public QObject {
    Q_OBJECT
public:
    explicit ProgressLine(bool shown) : m_shown(shown) {}
    ~ProgressLine() override { clear(); }

    uint done() const { return m_done; }
    uint total() const { return m_total; }
    void clear()
    {
        if (m_shown && m_written)
            std::fputs("\r\033[K", stderr);
        m_written = false;
    }

public slots:
    void onProgress(uint done, uint total, const QString& path)
    {
        m_done = done;
        m_total = total;
        if (!m_shown)
            return;
        std::fputs(QStringLiteral("\r\033[Kdevice %1 of %2: %3").arg(done).arg(total).arg(path).toUtf8().constData(),
                   stderr);
        std::fflush(stderr);
        m_written = true;
    }

private:
    bool m_shown;
    bool m_written = false;
    uint m_done = 0;
    uint m_total = 0;
};

class ProfilesClient {
public:
    explicit ProfilesClient(QDBusConnection bus) : m_bus(std::move(bus)) { m_path = CreatePlugInObject(m_bus); }

    QVariant call(const QString& member, const QVariantList& arguments)
    {
        QDBusMessage m = QDBusMessage::createMethodCall(QLatin1String(bus::ServiceName), m_path,
                                                        QLatin1String(bus::ProfilesInterface), member);
        m.setArguments(arguments);
        return CallPlugIn(m_bus, m).arguments().value(0);
    }

    // Apply's Progress signals go to the line while the call runs.
    void follow(ProgressLine* line)
    {
        m_bus.connect(QLatin1String(bus::ServiceName), m_path, QLatin1String(bus::ProfilesInterface),
                      QStringLiteral("Progress"), line, SLOT(onProgress(uint, uint, QString)));
    }

private:
    QDBusConnection m_bus;
    QString m_path;
};

QString ReadFile(const QString& file)
{
    QFile f(file);
    if (!f.open(QIODevice::ReadOnly))
        throw com::ComError(0, QStringLiteral("lnsdirector"),
                            QStringLiteral("cannot read %1: %2").arg(file, f.errorString()));
    return QString::fromUtf8(f.readAll());
}

// A profile without a name of its own is named in the history by its file: the name goes in as the
// object's first key, the rest of the text as it stands. A text that is not a JSON object is left for
// the plug-in to refuse.
QString NamedByFile(const QString& profile, const QString& file)
{
    const QJsonDocument document = QJsonDocument::fromJson(profile.toUtf8());
    const qsizetype open = profile.indexOf(QLatin1Char('{'));
    if (!document.isObject() || document.object().contains(QLatin1String("name")) || open < 0)
        return profile;
    QString named = profile;
    named.insert(
        open + 1,
        QStringLiteral("\"name\": %1, ")
            .arg(QString::fromUtf8(
                     QJsonDocument(QJsonArray{QFileInfo(file).completeBaseName()}).toJson(QJsonDocument::Compact))
                     .chopped(1)
                     .mid(1)));
    return named;
}

void WriteFile(const QString& file, const QString& text)
{
    QSaveFile f(file);
    if (!f.open(QIODevice::WriteOnly) || f.write(text.toUtf8()) < 0 || !f.commit())
        throw com::ComError(0, QStringLiteral("lnsdirector"),
                            QStringLiteral("cannot write %1: %2").arg(file, f.errorString()));
}

// The report's devices as lines a person reads: one per device (path, status, how many items were
// written, left unchanged and skipped, the message), then what concerns single items: in a dry run
// or a comparison each change old -> new, and the reasons of skipped items and of failed read-backs.
void PrintReport(const QJsonObject& report)
{
    const QJsonArray devices = report.value(QLatin1String("devices")).toArray();
    const bool dryRun = report.value(QLatin1String("dryRun")).toBool();
    qsizetype pathWidth = 0, statusWidth = 0;
    for (const auto& d : devices) {
        pathWidth = std::max(pathWidth, d.toObject().value(QLatin1String("path")).toString().size());
        statusWidth = std::max(statusWidth, d.toObject().value(QLatin1String("status")).toString().size());
    }
    for (const auto& d : devices) {
        const QJsonObject device = d.toObject();
        int changed = 0, unchanged = 0, skipped = 0, notWritten = 0;
        QStringList details;
        for (const auto& i : device.value(QLatin1String("items")).toArray()) {
            const QJsonObject item = i.toObject();
            const QString state = item.value(QLatin1String("state")).toString();
            const QString name = item.value(QLatin1String("name")).toString();
            const QString reason = item.value(QLatin1String("reason")).toString();
            if (state == QLatin1String("written") || state == QLatin1String("would-change")) {
                ++changed;
                if (dryRun)
                    details << QStringLiteral("  %1: %2 -> %3")
                                   .arg(name, item.value(QLatin1String("old")).toString(),
                                        item.value(QLatin1String("new")).toString());
            } else if (state == QLatin1String("unchanged")) {
                ++unchanged;
            } else if (state == QLatin1String("not-written")) {
                ++notWritten;
            } else if (state == QLatin1String("conflict")) {
                ++notWritten;
                details << QStringLiteral("  %1: conflict, %2").arg(name, reason);
            } else {
                ++skipped;
                details << QStringLiteral("  %1: skipped%2").arg(name, reason.isEmpty() ? QString() : ", " + reason);
            }
        }
        for (const auto& v : device.value(QLatin1String("verification")).toArray()) {
            const QJsonObject check = v.toObject();
            if (!check.value(QLatin1String("ok")).toBool())
                details << QStringLiteral("  %1: written %2, read back %3")
                               .arg(check.value(QLatin1String("variable")).toString(),
                                    check.value(QLatin1String("written")).toString(),
                                    check.value(QLatin1String("readBack")).toString());
        }
        QString line = QStringLiteral("%1  %2  %3 %4, unchanged %5, skipped %6")
                           .arg(device.value(QLatin1String("path")).toString(), -int(pathWidth))
                           .arg(device.value(QLatin1String("status")).toString(), -int(statusWidth))
                           .arg(dryRun ? QStringLiteral("would change") : QStringLiteral("written"))
                           .arg(changed)
                           .arg(unchanged)
                           .arg(skipped);
        if (notWritten)
            line += QStringLiteral(", not written %1").arg(notWritten);
        const QString message = device.value(QLatin1String("message")).toString();
        if (!message.isEmpty())
            line += QStringLiteral("  ") + QString(message).replace(QLatin1Char('\n'), QLatin1Char(' '));
        Out(line);
        for (const QString& detail : std::as_const(details))
            Out(detail);
    }
    if (const QString applyId = report.value(QLatin1String("applyId")).toString(); !applyId.isEmpty())
        Out(QStringLiteral("apply id %1 (lnsdirector history shows its changes, lnsdirector revert undoes them)")
                .arg(applyId));
}

// True when every device ended as the operation hopes: an apply as the report's "ok" says (verified or
// already matching; a dry run without refusal or failure), a comparison without difference.
bool Succeeded(const QJsonObject& report, const QString& operation)
{
    const QJsonArray devices = report.value(QLatin1String("devices")).toArray();
    if (devices.isEmpty())
        return false;
    if (operation == QLatin1String("apply"))
        return report.value(QLatin1String("ok")).toBool();
    return std::all_of(devices.begin(), devices.end(), [&](const QJsonValue& d) {
        return d.toObject().value(QLatin1String("status")).toString() == QLatin1String("unchanged");
    });
}

int runProfile(const QStringList& arguments)
{
    Request r;
    try {
        r = ParseRequest(arguments);
    } catch (const UsageError& e) {
        Err(e.message);
        return 2;
    }
    QDBusConnection bus = QDBusConnection::sessionBus();
    if (!bus.isConnected()) {
        Err(QStringLiteral("lnsdirector: no session bus: %1").arg(bus.lastError().message()));
        return 1;
    }
    try {
        ProfilesClient plugIn(bus);
        if (r.operation == QLatin1String("save")) {
            const QString profile =
                plugIn
                    .call(
                        r.units.isEmpty() ? QStringLiteral("Save") : QStringLiteral("SaveInUnits"),
                        r.units.isEmpty() ? QVariantList{r.network, r.path} : QVariantList{r.network, r.path, r.units})
                    .toString();
            if (r.file.isEmpty())
                Out(profile.trimmed());
            else
                WriteFile(r.file, profile);
            return 0;
        }
        const QString profile = NamedByFile(ReadFile(r.file), r.file);
        QString report;
        if (r.operation == QLatin1String("diff")) {
            report = plugIn.call(QStringLiteral("Compare"), {r.network, r.path, profile}).toString();
        } else {
            if (r.model) {
                const QList<qint16> known = qdbus_cast<QList<qint16>>(plugIn.call(QStringLiteral("KnownModels"), {}));
                if (!known.contains(*r.model)) {
                    QStringList codes;
                    for (const qint16 code : known)
                        codes << QString::number(code);
                    Err(QStringLiteral("lnsdirector profile apply: --model takes a model code of a KR5M-HU thermostat "
                                       "(%1), not '%2'")
                            .arg(codes.join(QStringLiteral(", ")))
                            .arg(*r.model));
                    return 2;
                }
            }
            ProgressLine line(::isatty(STDERR_FILENO) == 1);
            plugIn.follow(&line);
            try {
                // A model or a subsystem is resolved in the plug-in: no list of devices on the bus.
                if (r.model)
                    report = plugIn
                                 .call(QStringLiteral("ApplyToModel"),
                                       {r.network, QVariant::fromValue(*r.model), profile, r.dryRun})
                                 .toString();
                else if (!r.subsystem.isEmpty())
                    report =
                        plugIn.call(QStringLiteral("ApplyToSubsystem"), {r.network, r.subsystem, profile, r.dryRun})
                            .toString();
                else
                    report = plugIn.call(QStringLiteral("Apply"), {r.network, r.paths, profile, r.dryRun}).toString();
            } catch (const com::ComError& e) {
                if (e.source() != QLatin1String("org.freedesktop.DBus.Error.NoReply"))
                    throw;
                line.clear();
                Err(QStringLiteral("lnsdirector profile apply: the plug-in ended during the apply, when it had "
                                   "reported %1 of %2 devices done. What it wrote stays written; the same apply run "
                                   "again writes only what still differs.")
                        .arg(line.done())
                        .arg(line.total() ? QString::number(line.total()) : QStringLiteral("?")));
                return 1;
            }
            const QJsonArray devices =
                QJsonDocument::fromJson(report.toUtf8()).object().value(QLatin1String("devices")).toArray();
            if (devices.isEmpty() && (r.model || !r.subsystem.isEmpty())) {
                Err(r.model ? QStringLiteral("lnsdirector profile apply: the network %1 has no device of model %2; "
                                             "nothing was applied")
                                  .arg(r.network)
                                  .arg(*r.model)
                            : QStringLiteral("lnsdirector profile apply: the subsystem %1 has no device; nothing was "
                                             "applied")
                                  .arg(Shown(r.subsystem)));
                return 1;
            }
        }
        QJsonParseError parsed;
        const QJsonObject document = QJsonDocument::fromJson(report.toUtf8(), &parsed).object();
        if (parsed.error != QJsonParseError::NoError)
            throw com::ComError(0, QStringLiteral("lnsdirector"),
                                QStringLiteral("the plug-in's report is not JSON: ") + parsed.errorString());
        if (r.json)
            OutJson(document);
        else
            PrintReport(document);
        return Succeeded(document, r.operation) ? 0 : 1;
    } catch (const com::ComError& e) {
        Err(ErrorLine(e));
        return 1;
    }
}

const bool registered = RegisterVerb(Verb{
    QStringLiteral("profile"),
    QStringLiteral("profile save|diff|apply ...   configuration profiles: save, compare, apply to many"),
    Usage +
        QStringLiteral(
            "\n"
            "A profile is a JSON file holding a thermostat's settable values by item name, with the program\n"
            "ID and model code of the device it was saved from and the units its temperatures are in.\n"
            "  save   reads the device at PATH (a line of lnsdirector list) into a profile, written to FILE\n"
            "         or, without FILE, printed. --units: the units of its temperatures (default: the\n"
            "         plug-in's display-units setting).\n"
            "  diff   compares the device at PATH with the profile in FILE: per item, what applying it\n"
            "         would change (old -> new). Status 0 when the device already holds the profile.\n"
            "  apply  applies the profile in FILE to the devices named: the PATHs (at most 10000), every\n"
            "         thermostat of a model (--model CODE, a model code of the family) or every device of\n"
            "         a subsystem (--subsystem SUBSYSTEM, or a path ending in it), which the plug-in finds\n"
            "         itself. Every value is checked as the window checks it, on what the device will\n"
            "         store; a device whose check fails is refused and nothing is written to it. Only the\n"
            "         variables that change are written, then read back and compared byte by byte; when a\n"
            "         write fails, what was written before it to that device is put back. One device's\n"
            "         failure never stops the others. Just before each write the device's bytes are read\n"
            "         again: a change another writer made since the read is kept (the profile's fields\n"
            "         are put on it), and where it changed a field the profile changes too, the device is\n"
            "         a conflict and nothing is written to it. --dry-run writes nothing and shows what\n"
            "         would change. Status 0 only when every device verified or already matched.\n"
            "The report shows one line per device: its path, its status (verified, unchanged,\n"
            "would-change, refused, failed, rolled-back, partly-written, verify-failed, conflict), how many\n"
            "items were written (would change), unchanged, skipped and not written, and the reason of a\n"
            "refusal or failure; below it, the skipped items, the variables whose read-back differed\n"
            "(written vs read back) and, in a dry run or a comparison, each change. --json prints the\n"
            "report as one JSON object instead: {\"dryRun\": B, \"ok\": B, \"devices\": [{\"path\", \"model\", "
            "\"status\",\n"
            "\"message\", \"items\": [{\"name\", \"old\", \"new\", \"state\", \"reason\"}], \"leftNew\": [...],\n"
            "\"verification\": [{\"variable\", \"written\", \"readBack\", \"ok\"}]}]}. While an apply runs, a line\n"
            "\"device I of N: PATH\" on standard error shows how far it is, when standard error is a\n"
            "terminal; a plug-in that ends during an apply is said to have done so, with how far it had got.\n"
            "A failure of the call itself prints \"error CODE SOURCE: DESCRIPTION\" on standard error with\n"
            "status 1; status 2 is a command line not understood (a --model code of no model included)."),
    runProfile});

}  // namespace
}  // namespace director

#include "ProfileVerb.moc"
