#include "profiles/ProfileDocument.h"

#include "device/ConfigModel.h"
#include "framework/Connection.h"
#include "platform/base/Numbers.h"
#include "platform/base/ShownText.h"
#include "profiles/JsonText.h"
#include "profiles/Profiles.h"

#include <QJsonDocument>
#include <QJsonObject>
#include <QJsonParseError>

#include <cmath>

namespace profiles {

namespace {

[[noreturn]] void Refuse(const QString& reason)
{
    throw framework::PlugInError(ErrProfileRefused, QStringLiteral("The profile is refused: ") + reason);
}

QString KnownModelCodes()
{
    QStringList codes;
    for (const device::config::Model& model : device::config::KnownModels())
        codes.append(QString::number(model.code));
    return codes.join(QStringLiteral(", "));
}

QString ValueText(const QJsonValue& value)
{
    if (value.isDouble())
        return numbers::ShortestNumber(value.toDouble());
    return JsonString(value.toString());
}

}  // namespace

QString UnitsName(qint16 units)
{
    return units == 0 ? QStringLiteral("metric") : QStringLiteral("imperial");
}

ProfileDocument ReadProfile(const QString& json)
{
    QJsonParseError error;
    const QJsonDocument document = QJsonDocument::fromJson(json.toUtf8(), &error);
    // A number beyond what a double holds (1e400) is JSON all the same; the reader only cannot take it.
    if (error.error == QJsonParseError::IllegalNumber)
        Refuse(QStringLiteral("it holds a number this program cannot take (too large, too small or malformed) at "
                              "offset %1")
                   .arg(error.offset));
    if (error.error != QJsonParseError::NoError)
        Refuse(QStringLiteral("it is not JSON (%1 at offset %2)").arg(error.errorString()).arg(error.offset));
    if (!document.isObject())
        Refuse(QStringLiteral("it is not a JSON object"));
    // A parser keeps the last of two values under one key: which one the author meant is unknown.
    if (const std::optional<QString> duplicate = FirstDuplicateKey(json))
        Refuse(QStringLiteral("the key \"%1\" appears twice in one object").arg(shown::Shown(*duplicate)));
    const QJsonObject root = document.object();
    static const QStringList Known = {QStringLiteral("format"),    QStringLiteral("version"), QStringLiteral("name"),
                                      QStringLiteral("programId"), QStringLiteral("model"),   QStringLiteral("units"),
                                      QStringLiteral("values")};
    for (auto it = root.begin(); it != root.end(); ++it)
        if (!Known.contains(it.key()))
            Refuse(QStringLiteral("unknown key \"%1\"").arg(shown::Shown(it.key())));
    if (root.value(QStringLiteral("format")).toString() != QLatin1String(FormatName))
        Refuse(QStringLiteral("its format is not \"%1\"").arg(QLatin1String(FormatName)));
    const QJsonValue version = root.value(QStringLiteral("version"));
    if (!version.isDouble() || version.toDouble() != FormatVersion) {
        // A version given as a text is said as one: "1" is not the number 1.
        const QString given = version.isDouble() ? shown::Shown(numbers::ShortestNumber(version.toDouble()))
                              : version.isString()
                                  ? QStringLiteral("\"%1\" (a text)").arg(shown::Shown(version.toString()))
                                  : QStringLiteral("(none)");
        Refuse(
            QStringLiteral("its version %1 is not %2 (the version this program reads)").arg(given).arg(FormatVersion));
    }

    ProfileDocument profile;
    // The name the history gives an apply of the profile; optional.
    const QJsonValue name = root.value(QStringLiteral("name"));
    if (!name.isUndefined() && !name.isString())
        Refuse(QStringLiteral("its name is not a text"));
    profile.name = name.toString();
    const QJsonValue programId = root.value(QStringLiteral("programId"));
    if (!programId.isString())
        Refuse(QStringLiteral("it names no program ID"));
    profile.programId = programId.toString();
    const QJsonValue model = root.value(QStringLiteral("model"));
    const double modelNumber = model.toDouble(-1);
    if (!model.isDouble() || modelNumber < 0 || modelNumber > 32767 || std::trunc(modelNumber) != modelNumber ||
        !device::config::IsKnownModel(qint16(modelNumber)))
        Refuse(QStringLiteral("its model code is not one of a KR5M-HU thermostat (%1)").arg(KnownModelCodes()));
    profile.model = qint16(modelNumber);
    const QJsonValue units = root.value(QStringLiteral("units"));
    if (units.isUndefined())
        Refuse(QStringLiteral("it does not state its units (\"units\": \"metric\" or \"imperial\")"));
    if (units.toString() == UnitsName(0))
        profile.units = 0;
    else if (units.toString() == UnitsName(1))
        profile.units = 1;
    else
        Refuse(QStringLiteral("its units are neither \"metric\" nor \"imperial\""));
    const QJsonValue values = root.value(QStringLiteral("values"));
    if (!values.isObject())
        Refuse(QStringLiteral("it holds no \"values\" object"));
    const QJsonObject valueObject = values.toObject();
    if (valueObject.isEmpty())
        Refuse(QStringLiteral("its \"values\" object is empty: it would apply nothing"));
    for (auto it = valueObject.begin(); it != valueObject.end(); ++it)
        profile.values.emplace_back(it.key(), it.value());
    return profile;
}

QString WriteProfile(const ProfileDocument& profile)
{
    // Written by hand for a fixed key order: the values in the order of the device's items.
    QString text = QStringLiteral("{\n");
    text += QStringLiteral("    \"format\": %1,\n").arg(JsonString(QLatin1String(FormatName)));
    text += QStringLiteral("    \"version\": %1,\n").arg(FormatVersion);
    if (!profile.name.isEmpty())
        text += QStringLiteral("    \"name\": %1,\n").arg(JsonString(profile.name));
    text += QStringLiteral("    \"programId\": %1,\n").arg(JsonString(profile.programId));
    text += QStringLiteral("    \"model\": %1,\n").arg(profile.model);
    text += QStringLiteral("    \"units\": %1,\n").arg(JsonString(UnitsName(profile.units)));
    text += QStringLiteral("    \"values\": {");
    for (std::size_t i = 0; i < profile.values.size(); ++i) {
        const auto& [name, value] = profile.values[i];
        text += (i ? QStringLiteral(",\n        ") : QStringLiteral("\n        ")) + JsonString(name) +
                QStringLiteral(": ") + ValueText(value);
    }
    text += profile.values.empty() ? QStringLiteral("}\n}\n") : QStringLiteral("\n    }\n}\n");
    return text;
}

}  // namespace profiles
