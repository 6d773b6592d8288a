#include "profiles/Report.h"

#include "profiles/JsonText.h"

#include <algorithm>

namespace profiles {

namespace {

QString Bool(bool value)
{
    return value ? QStringLiteral("true") : QStringLiteral("false");
}

}  // namespace

QString StatusText(DeviceStatus status)
{
    switch (status) {
    case DeviceStatus::Verified: return QStringLiteral("verified");
    case DeviceStatus::Unchanged: return QStringLiteral("unchanged");
    case DeviceStatus::WouldChange: return QStringLiteral("would-change");
    case DeviceStatus::Refused: return QStringLiteral("refused");
    case DeviceStatus::Failed: return QStringLiteral("failed");
    case DeviceStatus::VerifyFailed: return QStringLiteral("verify-failed");
    case DeviceStatus::RolledBack: return QStringLiteral("rolled-back");
    case DeviceStatus::Conflict: return QStringLiteral("conflict");
    case DeviceStatus::PartlyWritten: break;
    }
    return QStringLiteral("partly-written");
}

QString StateText(ItemState state)
{
    switch (state) {
    case ItemState::Written: return QStringLiteral("written");
    case ItemState::Unchanged: return QStringLiteral("unchanged");
    case ItemState::Skipped: return QStringLiteral("skipped");
    case ItemState::WouldChange: return QStringLiteral("would-change");
    case ItemState::Conflict: return QStringLiteral("conflict");
    case ItemState::NotWritten: break;
    }
    return QStringLiteral("not-written");
}

bool DeviceOutcome::Written() const
{
    return std::any_of(items.begin(), items.end(),
                       [](const ItemOutcome& item) { return item.state == ItemState::Written; });
}

bool Report::ok() const
{
    return std::all_of(devices.begin(), devices.end(), [this](const DeviceOutcome& device) {
        return device.status == DeviceStatus::Verified || device.status == DeviceStatus::Unchanged ||
               (dryRun && device.status == DeviceStatus::WouldChange);
    });
}

QStringList Report::WrittenPaths() const
{
    QStringList paths;
    for (const DeviceOutcome& device : devices)
        if (device.Written())
            paths.append(device.path);
    return paths;
}

QString Report::ToJson() const
{
    QString out = QStringLiteral("{\n  \"dryRun\": %1,\n  \"ok\": %2,").arg(Bool(dryRun), Bool(ok()));
    if (!applyId.isEmpty()) {
        out += QLatin1StringView("\n  \"applyId\": ");
        AppendJsonString(out, applyId);
        out += QLatin1Char(',');
    }
    out += QLatin1StringView("\n  \"devices\": [");
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
        field(QLatin1StringView(", \"status\": "), StatusText(device.status));
        if (!device.message.isEmpty())
            field(QLatin1StringView(", \"message\": "), device.message);
        out += QLatin1StringView(",\n     \"items\": [");
        for (std::size_t i = 0; i < device.items.size(); ++i) {
            const ItemOutcome& item = device.items[i];
            out += i ? QLatin1StringView(",\n       {") : QLatin1StringView("\n       {");
            field(QLatin1StringView("\"name\": "), item.name);
            field(QLatin1StringView(", \"old\": "), item.oldText);
            field(QLatin1StringView(", \"new\": "), item.newText);
            field(QLatin1StringView(", \"state\": "), StateText(item.state));
            if (!item.reason.isEmpty())
                field(QLatin1StringView(", \"reason\": "), item.reason);
            out += QLatin1Char('}');
        }
        if (!device.leftNew.isEmpty()) {
            out += QLatin1StringView("],\n     \"leftNew\": [");
            for (qsizetype v = 0; v < device.leftNew.size(); ++v) {
                out += v ? QLatin1StringView(", ") : QLatin1StringView("");
                AppendJsonString(out, device.leftNew[v]);
            }
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
