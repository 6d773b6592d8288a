// nv get | set: one network variable of one device, read or written through the object server the way
// the plug-in does it (open server, network, system, then subsystem, device and variable by name).
#include "ErrorLine.h"
#include "Installation.h"
#include "OpenedNetwork.h"
#include "Verbs.h"

#include "platform/base/ShownText.h"
#include "platform/objectserver/ValueFormats.h"
#include "platform/registry/LonWorksInstallation.h"

#include <optional>

namespace director {
namespace {

using shown::Shown;

const QString Usage = QStringLiteral("usage: lnsdirector nv get NETWORK PATH NV [--format NAME] [--json]\n"
                                     "       lnsdirector nv set NETWORK PATH NV TEXT [--expect TEXT] [--format NAME] "
                                     "[--json]");

struct Request {
    bool write = false;
    QString network;
    QString path;
    QString subsystem;
    QString device;
    QString nv;
    QString text;
    std::optional<QString> format;
    std::optional<QString> expect;  // set: the value the change was made from
    bool json = false;
};

struct UsageError {
    QString message;
};

Request ParseRequest(const QStringList& arguments)
{
    Request r;
    QStringList words;
    for (int i = 0; i < arguments.size(); ++i) {
        if (arguments[i] == QLatin1String("--format")) {
            if (i + 1 >= arguments.size() || arguments[i + 1].isEmpty())
                throw UsageError{QStringLiteral("lnsdirector nv: --format needs a format name")};
            if (r.format)
                throw UsageError{QStringLiteral("lnsdirector nv: --format is given twice")};
            r.format = arguments[++i];
        } else if (arguments[i] == QLatin1String("--expect")) {
            if (i + 1 >= arguments.size())
                throw UsageError{QStringLiteral("lnsdirector nv: --expect needs the value the change was made from")};
            if (r.expect)
                throw UsageError{QStringLiteral("lnsdirector nv: --expect is given twice")};
            r.expect = arguments[++i];
        } else if (arguments[i] == QLatin1String("--json")) {
            r.json = true;
        } else {
            words.append(arguments[i]);
        }
    }
    const QString operation = words.value(0);
    r.write = operation == QLatin1String("set");
    if ((operation != QLatin1String("get") && !r.write) || words.size() != (r.write ? 5 : 4))
        throw UsageError{Usage};
    r.network = words[1];
    r.path = words[2];
    r.nv = words[3];
    if (r.write)
        r.text = words[4];
    if (r.expect && !r.write)
        throw UsageError{QStringLiteral("lnsdirector nv: --expect goes with set")};
    return r;
}

// PATH as list prints it (NETWORK/SYSTEM/SUBSYSTEM/DEVICE), or SYSTEM/SUBSYSTEM/DEVICE, or just
// SUBSYSTEM/DEVICE. The leading components, where given, must name the network and its system.
void SplitPath(Request& r, const QString& systemName)
{
    const QStringList parts = r.path.split(QLatin1Char('/'));
    if (parts.size() < 2 || parts.size() > 4 || parts.contains(QString()))
        throw UsageError{QStringLiteral("lnsdirector nv: PATH '%1' is not NETWORK/SYSTEM/SUBSYSTEM/DEVICE or "
                                        "SUBSYSTEM/DEVICE")
                             .arg(Shown(r.path))};
    if (parts.size() == 4 && parts[0] != r.network)
        throw UsageError{QStringLiteral("lnsdirector nv: PATH '%1' is in the network '%2', not '%3'")
                             .arg(Shown(r.path), Shown(parts[0]), Shown(r.network))};
    if (parts.size() >= 3 && parts[parts.size() - 3] != systemName)
        throw UsageError{QStringLiteral("lnsdirector nv: PATH '%1' names the system '%2'; the network '%3' has '%4'")
                             .arg(Shown(r.path), Shown(parts[parts.size() - 3]), Shown(r.network), systemName)};
    r.subsystem = parts[parts.size() - 2];
    r.device = parts.last();
}

// The variable's type where its texts are the same in either unit system, the type with "#SI" where
// they are not. The formatter tells: a value of ones in every byte (no field zero, none at an
// "invalid" marker) comes out differently in #SI and #US exactly when some field is a temperature.
// A type the formatter does not know stays bare, so the read reports that.
QString DefaultFormat(const QString& typeName, qsizetype byteSize, const QString& lonWorksPath)
{
    const QByteArray probe(byteSize, '\x01');
    try {
        if (lns::formats::Format(typeName + QStringLiteral("#SI"), probe, lonWorksPath) !=
            lns::formats::Format(typeName + QStringLiteral("#US"), probe, lonWorksPath))
            return typeName + QStringLiteral("#SI");
    } catch (const com::ComError&) {
    }
    return typeName;
}

// Writes text as a change made from expected: where the device still holds expected, as it stands;
// where another writer changed it since, merged field by field onto what the device holds. Returns why
// nothing was written when both changed a field.
std::optional<QString> SetFrom(lns::NetworkVariable& nv, const QString& format, const QString& expected,
                               const QString& text)
{
    const QString raw = QStringLiteral("RAW");
    const QString lonWorksPath = registry::LonWorksPath();
    nv.SetNvFormatSpec(raw);
    const QString rawText = nv.NvFormattedValue();
    const QByteArray current = lns::formats::Parse(raw, rawText, qint32(rawText.count(QLatin1Char('\t')) + 1), {});
    nv.SetNvFormatSpec(format);
    const QByteArray base = lns::formats::Parse(format, expected, qint32(current.size()), lonWorksPath);
    // Nobody may come between this read and the write: the object server compares once more.
    nv.SetNvExpectedValue(current);
    if (current == base) {
        nv.SetNvFormattedValue(text);
        return std::nullopt;
    }
    const QByteArray mine = lns::formats::Parse(format, text, qint32(current.size()), lonWorksPath);
    const lns::formats::FieldMerge merge = lns::formats::MergeFields(format, base, mine, current, lonWorksPath);
    if (!merge.conflicts.isEmpty()) {
        const QVector<lns::formats::FieldReading> yours = lns::formats::Read(format, mine, lonWorksPath);
        const QVector<lns::formats::FieldReading> now = lns::formats::Read(format, current, lonWorksPath);
        QStringList fields;
        for (const int i : merge.conflicts)
            fields << QStringLiteral("%1 (yours %2, on the device now %3)")
                          .arg(yours[i].name.isEmpty() ? QStringLiteral("field %1").arg(i + 1) : yours[i].name,
                               yours[i].text, now[i].text);
        return QStringLiteral("was changed on the device since '%1', in fields this change changes too: %2; "
                              "nothing was written")
            .arg(Shown(expected), fields.join(QStringLiteral(", ")));
    }
    nv.SetNvFormatSpec(raw);
    nv.SetNvFormattedValue(lns::formats::Format(raw, merge.bytes, {}));
    nv.SetNvFormatSpec(format);
    return std::nullopt;
}

int runNv(const QStringList& arguments)
{
    Request r;
    try {
        r = ParseRequest(arguments);
    } catch (const UsageError& e) {
        Err(e.message);
        return 2;
    }
    if (const QString missing = MissingInstallation(QStringLiteral("nv")); !missing.isEmpty()) {
        Err(missing);
        return 1;
    }
    try {
        OpenedNetwork network(r.network, QStringLiteral("lnsdirector nv set"));
        lns::System& system = network.system();
        SplitPath(r, system.SystemName());
        const lns::Ptr<lns::AppDevice> device =
            system.SystemSubsystems()->Item(r.subsystem)->SubsystemAppDevices()->Item(r.device);
        const lns::Ptr<lns::NetworkVariable> nv =
            device->DeviceInterface()->InterfaceNetworkVariables()->NvCollectionItem(r.nv);
        QString format;
        if (r.format) {
            format = *r.format;
        } else {
            // The variable's size for the probe: its bytes as the device holds them, one field each.
            nv->SetNvFormatSpec(QStringLiteral("RAW"));
            const qsizetype size = nv->NvFormattedValue().split(QLatin1Char('\t')).size();
            format = DefaultFormat(nv->NvTypeName(), size, registry::LonWorksPath());
        }
        nv->SetNvFormatSpec(format);
        const QString devicePath =
            QStringLiteral("%1/%2/%3/%4").arg(r.network, system.SystemName(), r.subsystem, r.device);
        if (!r.json)
            Out(QStringLiteral("%1 %2 %3").arg(devicePath, r.nv, format));
        if (r.write && r.expect) {
            if (const std::optional<QString> refused = SetFrom(*nv, format, *r.expect, r.text)) {
                Err(QStringLiteral("lnsdirector nv: %1 of %2 %3").arg(Shown(r.nv), devicePath, *refused));
                return 1;
            }
        } else if (r.write) {
            nv->SetNvFormattedValue(r.text);
        }
        // After a write, what the device holds now.
        const QString value = nv->NvFormattedValue();
        if (r.json)
            OutJson({{QStringLiteral("path"), devicePath},
                     {QStringLiteral("nv"), r.nv},
                     {QStringLiteral("format"), format},
                     {QStringLiteral("value"), value}});
        else
            Out(value);
    } catch (const UsageError& e) {
        Err(e.message);
        return 2;
    } catch (const com::ComError& e) {
        Err(ErrorLine(e));
        return 1;
    }
    return 0;
}

const bool registered = RegisterVerb(Verb{
    QStringLiteral("nv"),
    QStringLiteral("nv get|set NETWORK PATH NV [TEXT] [--expect TEXT] [--format NAME] [--json]   one value through the "
                   "object server"),
    QStringLiteral(
        "usage: lnsdirector nv get NETWORK PATH NV [--format NAME] [--json]\n"
        "       lnsdirector nv set NETWORK PATH NV TEXT [--expect TEXT] [--format NAME] [--json]\n"
        "Reads (get) or writes (set) the network variable NV of one device through the object server.\n"
        "set --expect TEXT: TEXT (in the same format) is the value the change was made from. Where the device\n"
        "no longer holds it, the fields the change changes are put on what the device holds now, the others\n"
        "keep the device's values; where the device changed a field the change changes too, nothing is\n"
        "written and the fields are named on standard error, with status 1; 18036 another writer came\n"
        "between the read and the write (nothing was written).\n"
        "PATH is a line of lnsdirector list (NETWORK/SYSTEM/SUBSYSTEM/DEVICE) or just SUBSYSTEM/DEVICE.\n"
        "The format is NAME, or by default the variable's type, with \"#SI\" where its text differs between\n"
        "unit systems (temperatures); \"TYPE#US\" shows temperatures in degrees Fahrenheit, \"RAW\" the bytes.\n"
        "Prints the device path, the variable and the format on one line, then the value (after set: the\n"
        "value the device holds now) as the last line. A failure prints \"error CODE SOURCE: DESCRIPTION\"\n"
        "on standard error with status 1: 18200 the device does not answer, 18034 it refused the write,\n"
        "18035 the text does not fit the format (nothing is written), 4010 no such network, subsystem,\n"
        "device or variable, 4020 the system opens only through its network interface. Status 2 is a\n"
        "command line that is not understood. --json prints one JSON object instead of the two lines:\n"
        "{\"path\": DEVICE PATH, \"nv\": NV, \"format\": FORMAT, \"value\": TEXT}."),
    runNv});

}  // namespace
}  // namespace director
