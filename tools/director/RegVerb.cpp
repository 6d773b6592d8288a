// reg query | add | delete: the registry store, in the manner of reg.exe.
#include "Verbs.h"

#include "platform/base/ShownText.h"
#include "platform/registry/RegistryStore.h"

#include <QJsonArray>
#include <QJsonObject>
#include <QtEndian>
#include <optional>

namespace director {
namespace {

using registry::Hive;
using registry::RegistryStore;
using registry::ValueType;

struct KeyName {
    Hive hive;
    QString hiveName;
    QString path;
};

std::optional<KeyName> parseKey(const QString& text)
{
    const QString root = text.section(QLatin1Char('\\'), 0, 0).toUpper();
    const QString path = text.section(QLatin1Char('\\'), 1);
    if (root == QLatin1String("HKLM") || root == QLatin1String("HKEY_LOCAL_MACHINE"))
        return KeyName{Hive::LocalMachine, QStringLiteral("HKEY_LOCAL_MACHINE"), path};
    if (root == QLatin1String("HKCU") || root == QLatin1String("HKEY_CURRENT_USER"))
        return KeyName{Hive::CurrentUser, QStringLiteral("HKEY_CURRENT_USER"), path};
    return std::nullopt;
}

struct ShownValue {
    QString type;  // REG_SZ, REG_DWORD, REG_BINARY
    QString data;  // as reg.exe shows it
};

ShownValue shownValue(const registry::RegValue& value)
{
    if (value.type == ValueType::Number && value.data.size() == 4)
        return {QStringLiteral("REG_DWORD"),
                QStringLiteral("0x%1").arg(qFromLittleEndian<quint32>(value.data.constData()), 0, 16)};
    if (value.type == ValueType::String)
        return {QStringLiteral("REG_SZ"), QString::fromUtf8(value.data)};
    return {QStringLiteral("REG_BINARY"), QString::fromLatin1(value.data.toHex())};
}

QString valueLine(const QString& name, const registry::RegValue& value)
{
    const ShownValue shown = shownValue(value);
    return QStringLiteral("    %1    %2    %3")
        .arg(name.isEmpty() ? QStringLiteral("(Default)") : name, shown.type, shown.data);
}

// The same value for a script: a number stays a number; "(Default)" is the empty name.
QJsonObject valueJson(const QString& name, const registry::RegValue& value)
{
    const ShownValue shown = shownValue(value);
    QJsonObject o{
        {QStringLiteral("name"), name}, {QStringLiteral("type"), shown.type}, {QStringLiteral("data"), shown.data}};
    if (shown.type == QLatin1String("REG_DWORD"))
        o[QStringLiteral("data")] = static_cast<qint64>(qFromLittleEndian<quint32>(value.data.constData()));
    return o;
}

struct Options {
    std::optional<QString> valueName;  // /v NAME, or /ve for the default value
    QString type = QStringLiteral("REG_SZ");
    QString data;
    QString error;
};

Options parseOptions(const QStringList& args)
{
    Options o;
    QStringList seen;
    for (int i = 0; i < args.size(); ++i) {
        const QString a = args[i].toLower();
        // A second value would silently win over the first: refused, whichever it is ("/ve" names a value too).
        const QString option = a == QLatin1String("/ve") ? QStringLiteral("/v") : a;
        if (option != QLatin1String("/f") && seen.contains(option)) {
            o.error = QStringLiteral("ERROR: Invalid syntax: %1 is given twice.")
                          .arg(option == QLatin1String("/v") ? QStringLiteral("/v or /ve") : option);
            return o;
        }
        seen << option;
        if (a == QLatin1String("/ve")) {
            o.valueName = QString();
        } else if ((a == QLatin1String("/v") || a == QLatin1String("/t") || a == QLatin1String("/d")) &&
                   i + 1 < args.size()) {
            const QString& v = args[++i];
            if (a == QLatin1String("/v"))
                o.valueName = v;
            else if (a == QLatin1String("/t"))
                o.type = v.toUpper();
            else
                o.data = v;
        } else if (a == QLatin1String("/f")) {
            // reg.exe's "no question": we never ask.
        } else {
            o.error = QStringLiteral("ERROR: Invalid syntax near '%1'.").arg(shown::Shown(args[i]));
        }
    }
    return o;
}

int query(RegistryStore& store, const KeyName& key, const Options& o, bool json)
{
    if (!store.keyExists(key.path)) {
        Err(QStringLiteral("ERROR: The system was unable to find the specified registry key or value."));
        return 1;
    }
    const QString full = key.hiveName + (key.path.isEmpty() ? QString() : QLatin1Char('\\') + key.path);
    QStringList names;
    if (o.valueName) {
        if (!store.queryValue(key.path, *o.valueName)) {
            Err(QStringLiteral("ERROR: The system was unable to find the specified registry key or value."));
            return 1;
        }
        names << *o.valueName;
    } else {
        names = store.valueNames(key.path);
    }
    QStringList subkeys;
    for (int i = 0; !o.valueName; ++i) {
        const auto sub = store.subkeyName(key.path, i);
        if (!sub)
            break;
        subkeys << full + QLatin1Char('\\') + *sub;
    }
    if (json) {
        QJsonArray values;
        for (const QString& name : names)
            values.append(valueJson(name, *store.queryValue(key.path, name)));
        OutJson({{QStringLiteral("key"), full},
                 {QStringLiteral("values"), values},
                 {QStringLiteral("subkeys"), QJsonArray::fromStringList(subkeys)}});
        return 0;
    }
    Out(full);
    for (const QString& name : names)
        Out(valueLine(name, *store.queryValue(key.path, name)));
    for (const QString& subkey : subkeys)
        Out(subkey);
    return 0;
}

int add(RegistryStore& store, const KeyName& key, const Options& o)
{
    if (!store.createKey(key.path)) {
        Err(QStringLiteral("ERROR: Cannot create the key (registry store %1).").arg(store.fileName()));
        return 1;
    }
    if (!o.valueName && o.data.isEmpty() && o.type == QLatin1String("REG_SZ")) {
        Out(QStringLiteral("The operation completed successfully."));
        return 0;
    }
    registry::RegValue value;
    if (o.type == QLatin1String("REG_SZ")) {
        value = registry::StringValue(o.data);
    } else if (o.type == QLatin1String("REG_DWORD")) {
        bool ok = false;
        const quint32 n = o.data.startsWith(QLatin1String("0x"), Qt::CaseInsensitive) ? o.data.mid(2).toUInt(&ok, 16)
                                                                                      : o.data.toUInt(&ok, 10);
        if (!ok) {
            Err(QStringLiteral("ERROR: Invalid value for REG_DWORD: '%1'.").arg(shown::Shown(o.data)));
            return 1;
        }
        value = registry::NumberValue(n);
    } else {
        Err(QStringLiteral("ERROR: Unsupported type '%1' (REG_SZ or REG_DWORD).").arg(shown::Shown(o.type)));
        return 1;
    }
    if (!store.setValue(key.path, o.valueName.value_or(QString()), value)) {
        Err(QStringLiteral("ERROR: Cannot write the value (registry store %1).").arg(store.fileName()));
        return 1;
    }
    Out(QStringLiteral("The operation completed successfully."));
    return 0;
}

bool deleteTree(RegistryStore& store, const QString& path)
{
    while (const auto sub = store.subkeyName(path, 0))
        if (!deleteTree(store, path + QLatin1Char('\\') + *sub))
            return false;
    return store.deleteKey(path);
}

int remove(RegistryStore& store, const KeyName& key, const Options& o)
{
    // A key path of separators only names the hive itself, which is never deleted with its subkeys.
    const bool ok = o.valueName ? store.deleteValue(key.path, *o.valueName)
                                : (!registry::KeyComponents(key.path).isEmpty() && store.keyExists(key.path) &&
                                   deleteTree(store, key.path));
    if (!ok) {
        Err(QStringLiteral("ERROR: The system was unable to find the specified registry key or value."));
        return 1;
    }
    Out(QStringLiteral("The operation completed successfully."));
    return 0;
}

int runReg(QStringList arguments)
{
    const bool json = TakeJsonOption(arguments);
    if (arguments.size() < 2) {
        Err(QStringLiteral(
            "usage: lnsdirector reg query|add|delete KEY [/v NAME | /ve] [/t REG_SZ|REG_DWORD] [/d DATA]"));
        return 2;
    }
    const QString operation = arguments[0].toLower();
    if (json && operation != QLatin1String("query")) {
        Err(QStringLiteral("ERROR: --json is for reg query only."));
        return 2;
    }
    const auto key = parseKey(arguments[1]);
    if (!key) {
        Err(QStringLiteral("ERROR: The key must begin with HKLM\\ or HKCU\\: '%1'.").arg(arguments[1]));
        return 2;
    }
    const Options o = parseOptions(arguments.mid(2));
    if (!o.error.isEmpty()) {
        Err(o.error);
        return 2;
    }
    RegistryStore store(key->hive);
    if (operation == QLatin1String("query"))
        return query(store, *key, o, json);
    if (operation == QLatin1String("add"))
        return add(store, *key, o);
    if (operation == QLatin1String("delete"))
        return remove(store, *key, o);
    Err(QStringLiteral("ERROR: Unknown operation '%1' (query, add or delete).").arg(arguments[0]));
    return 2;
}

const bool registered = RegisterVerb(Verb{
    QStringLiteral("reg"),
    QStringLiteral("reg query|add|delete KEY [/v NAME] [/t TYPE] [/d DATA] [--json]   the registry store"),
    QStringLiteral("usage: lnsdirector reg query KEY [/v NAME | /ve] [--json]\n"
                   "       lnsdirector reg add KEY [/v NAME | /ve] [/t REG_SZ|REG_DWORD] [/d DATA]\n"
                   "       lnsdirector reg delete KEY [/v NAME | /ve]\n"
                   "KEY begins with HKLM\\ or HKCU\\. The hives are SQLite files in LONWORKS_REGISTRY_DIR\n"
                   "(default $XDG_CONFIG_HOME/lonworks-registry). delete without /v removes the key and\n"
                   "everything below it. query --json prints one JSON object: {\"key\": KEY, \"values\":\n"
                   "[{\"name\", \"type\", \"data\"}, ...], \"subkeys\": [KEY, ...]}, a REG_DWORD's data as a number."),
    runReg});

}  // namespace
}  // namespace director
