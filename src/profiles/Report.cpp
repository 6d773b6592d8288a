#include "profiles/Report.h"

#include "profiles/JsonText.h"

namespace profiles {

namespace {

QString Bool(bool value)
{
    return value ? QStringLiteral("true") : QStringLiteral("false");
}

}  // namespace

bool Report::ok() const
{
    for (const DeviceOutcome& device : devices) {
        const bool fine = device.status == QLatin1String("verified") || device.status == QLatin1String("unchanged") ||
                          (dryRun && device.status == QLatin1String("would-change"));
        if (!fine)
            return false;
    }
    return true;
}

QString Report::ToJson() const
{
    QString out = QStringLiteral("{\n  \"dryRun\": %1,\n  \"ok\": %2,\n  \"devices\": [").arg(Bool(dryRun), Bool(ok()));
    for (std::size_t d = 0; d < devices.size(); ++d) {
        const DeviceOutcome& device = devices[d];
        out += d ? QStringLiteral(",\n    {") : QStringLiteral("\n    {");
        out += QStringLiteral("\"path\": ") + JsonString(device.path);
        out += QStringLiteral(", \"model\": ") + QString::number(device.model);
        out += QStringLiteral(", \"status\": ") + JsonString(device.status);
        if (!device.message.isEmpty())
            out += QStringLiteral(", \"message\": ") + JsonString(device.message);
        out += QStringLiteral(",\n     \"items\": [");
        for (std::size_t i = 0; i < device.items.size(); ++i) {
            const ItemOutcome& item = device.items[i];
            out += i ? QStringLiteral(",\n       {") : QStringLiteral("\n       {");
            out += QStringLiteral("\"name\": ") + JsonString(item.name) + QStringLiteral(", \"old\": ") +
                   JsonString(item.oldText) + QStringLiteral(", \"new\": ") + JsonString(item.newText) +
                   QStringLiteral(", \"state\": ") + JsonString(item.state);
            if (!item.reason.isEmpty())
                out += QStringLiteral(", \"reason\": ") + JsonString(item.reason);
            out += QLatin1Char('}');
        }
        out += QStringLiteral("],\n     \"verification\": [");
        for (std::size_t v = 0; v < device.verification.size(); ++v) {
            const Verification& check = device.verification[v];
            out += v ? QStringLiteral(",\n       {") : QStringLiteral("\n       {");
            out += QStringLiteral("\"variable\": ") + JsonString(check.variable) + QStringLiteral(", \"written\": ") +
                   JsonString(check.written) + QStringLiteral(", \"readBack\": ") + JsonString(check.readBack) +
                   QStringLiteral(", \"ok\": ") + Bool(check.ok) + QLatin1Char('}');
        }
        out += QStringLiteral("]}");
    }
    out += QStringLiteral("\n  ]\n}\n");
    return out;
}

}  // namespace profiles
