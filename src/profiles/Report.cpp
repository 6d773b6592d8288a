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

Report::Report(bool dryRun, const QString& applyId, qsizetype devices)
    : m_dryRun(dryRun), m_applyId(applyId), m_expected(devices)
{
    // "ok" is known once every device is done: its value is written over, in a place as wide as either.
    m_json = QStringLiteral("{\n  \"dryRun\": %1,\n  \"ok\": ").arg(Bool(dryRun));
    m_okAt = m_json.size();
    m_json += QLatin1StringView("false,");
    if (!applyId.isEmpty()) {
        m_json += QLatin1StringView("\n  \"applyId\": ");
        AppendJsonString(m_json, applyId);
        m_json += QLatin1Char(',');
    }
    m_json += QLatin1StringView("\n  \"devices\": [");
}

bool Report::ok() const
{
    return std::all_of(m_devices.begin(), m_devices.end(), [this](const DeviceSummary& device) {
        return device.status == DeviceStatus::Verified || device.status == DeviceStatus::Unchanged ||
               (m_dryRun && device.status == DeviceStatus::WouldChange);
    });
}

QStringList Report::WrittenPaths() const
{
    QStringList paths;
    for (const DeviceSummary& device : m_devices)
        if (device.written)
            paths.append(device.path);
    return paths;
}

void Report::Add(const DeviceOutcome& device)
{
    QString& out = m_json;
    const auto field = [&out](QLatin1StringView name, const QString& value) {
        out += name;
        AppendJsonString(out, value);
    };
    // An element of the device's items or checks, on a line of its own.
    const auto element = [&out](std::size_t index) {
        out += index ? QLatin1StringView(",\n       {") : QLatin1StringView("\n       {");
    };
    out += m_devices.empty() ? QLatin1StringView("\n    {") : QLatin1StringView(",\n    {");
    field(QLatin1StringView("\"path\": "), device.path);
    out += QLatin1StringView(", \"model\": ");
    out += QString::number(device.model);
    field(QLatin1StringView(", \"status\": "), StatusText(device.status));
    if (!device.message.isEmpty())
        field(QLatin1StringView(", \"message\": "), device.message);
    out += QLatin1StringView(",\n     \"items\": [");
    for (std::size_t i = 0; i < device.items.size(); ++i) {
        const ItemOutcome& item = device.items[i];
        element(i);
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
        element(v);
        field(QLatin1StringView("\"variable\": "), check.variable);
        field(QLatin1StringView(", \"written\": "), check.written);
        field(QLatin1StringView(", \"readBack\": "), check.readBack);
        out += QLatin1StringView(", \"ok\": ");
        out += Bool(check.ok);
        out += QLatin1Char('}');
    }
    out += QLatin1StringView("]}");
    m_devices.push_back({device.path, device.status, device.Written()});
    // The devices of one apply make reports of much the same length: room for them all, a quarter
    // more for those that say more. Room not written to takes no memory.
    if (m_devices.size() == 1 && m_expected > 1) {
        const qsizetype perDevice = out.size() - m_okAt;
        out.reserve(out.size() + perDevice * (m_expected - 1) / 4 * 5 + 64);
    }
}

QString Report::ToJson() &&
{
    if (ok())
        m_json.replace(m_okAt, 6, QLatin1StringView(" true,"));
    m_json += QLatin1StringView("\n  ]\n}\n");
    return std::move(m_json);
}

}  // namespace profiles
