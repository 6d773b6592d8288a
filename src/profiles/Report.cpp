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
    // A thousand devices make megabytes: every piece is appended in place.
    const auto field = [&out](QLatin1StringView name, const QString& value) {
        out += name;
        AppendJsonString(out, value);
    };
    for (std::size_t d = 0; d < devices.size(); ++d) {
        const DeviceOutcome& device = devices[d];
        out += d ? QLatin1StringView(",\n    {") : QLatin1StringView("\n    {");
        field(QLatin1StringView("\"path\": "), device.path);
        out += QLatin1StringView(", \"model\": ");
        out += QString::number(device.model);
        field(QLatin1StringView(", \"status\": "), device.status);
        if (!device.message.isEmpty())
            field(QLatin1StringView(", \"message\": "), device.message);
        out += QLatin1StringView(",\n     \"items\": [");
        for (std::size_t i = 0; i < device.items.size(); ++i) {
            const ItemOutcome& item = device.items[i];
            out += i ? QLatin1StringView(",\n       {") : QLatin1StringView("\n       {");
            field(QLatin1StringView("\"name\": "), item.name);
            field(QLatin1StringView(", \"old\": "), item.oldText);
            field(QLatin1StringView(", \"new\": "), item.newText);
            field(QLatin1StringView(", \"state\": "), item.state);
            if (!item.reason.isEmpty())
                field(QLatin1StringView(", \"reason\": "), item.reason);
            out += QLatin1Char('}');
        }
        out += QLatin1StringView("],\n     \"verification\": [");
        for (std::size_t v = 0; v < device.verification.size(); ++v) {
            const Verification& check = device.verification[v];
            out += v ? QLatin1StringView(",\n       {") : QLatin1StringView("\n       {");
            field(QLatin1StringView("\"variable\": "), check.variable);
            field(QLatin1StringView(", \"written\": "), check.written);
            field(QLatin1StringView(", \"readBack\": "), check.readBack);
            out += QLatin1StringView(", \"ok\": ");
            out += Bool(check.ok);
            out += QLatin1Char('}');
        }
        out += QLatin1StringView("]}");
    }
    out += QLatin1StringView("\n  ]\n}\n");
    return out;
}

}  // namespace profiles
