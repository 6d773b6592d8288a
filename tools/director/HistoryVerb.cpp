// history | revert: the changes of a network's values, as the object server recorded them, and putting
// one (or a whole apply) back.
#include "ErrorLine.h"
#include "Installation.h"
#include "OpenedNetwork.h"
#include "Verbs.h"

#include "platform/base/ShownText.h"
#include "platform/objectserver/ObjectServerFactory.h"
#include "platform/objectserver/ValueFormats.h"
#include "platform/registry/LonWorksInstallation.h"

#include <QJsonArray>
#include <QMap>

namespace director {
namespace {

using shown::Shown;

const QString HistoryUsage =
    QStringLiteral("usage: lnsdirector history NETWORK [PATH] [--since TIME] [--variable NV] [--json]\n"
                   "       lnsdirector history NETWORK --prune BEFORE");
const QString RevertUsage = QStringLiteral("usage: lnsdirector revert NETWORK CHANGE-ID");

struct UsageError {
    QString message;
};

// The value after an option; the option and its value are taken out of the arguments.
QString TakeValue(QStringList& arguments, const QString& option)
{
    const qsizetype at = arguments.indexOf(option);
    if (at < 0)
        return QString();
    if (at + 1 >= arguments.size() || arguments[at + 1].isEmpty() || arguments[at + 1].startsWith(QLatin1String("--")))
        throw UsageError{QStringLiteral("lnsdirector history: %1 needs a value").arg(option)};
    QString value = arguments[at + 1];
    arguments.remove(at, 2);
    if (arguments.contains(option))
        throw UsageError{QStringLiteral("lnsdirector history: %1 is given twice").arg(option)};
    return value;
}

QString Bytes(const QByteArray& raw)
{
    QStringList bytes;
    for (const char byte : raw)
        bytes << QString::number(uchar(byte));
    return bytes.join(QLatin1Char(' '));
}

QString Fields(const lns::NvChange& change)
{
    return change.fields.isEmpty() ? QStringLiteral("(no field changed)") : change.fields;
}

int runHistory(const QStringList& given)
{
    QStringList arguments = given;
    lns::NvChangeFilter filter;
    QString prune;
    bool json = false;
    try {
        json = TakeJsonOption(arguments);
        filter.since = TakeValue(arguments, QStringLiteral("--since"));
        filter.variable = TakeValue(arguments, QStringLiteral("--variable"));
        prune = TakeValue(arguments, QStringLiteral("--prune"));
        for (const QString& argument : arguments)
            if (argument.startsWith(QLatin1String("--")))
                throw UsageError{
                    QStringLiteral("lnsdirector history: unknown option %1\n%2").arg(Shown(argument), HistoryUsage)};
        if (arguments.isEmpty() || arguments.size() > 2)
            throw UsageError{HistoryUsage};
        if (!prune.isEmpty() && (arguments.size() > 1 || !filter.since.isEmpty() || !filter.variable.isEmpty()))
            throw UsageError{
                QStringLiteral("lnsdirector history: --prune takes only the network\n%1").arg(HistoryUsage)};
    } catch (const UsageError& e) {
        Err(e.message);
        return 2;
    }
    if (const QString missing = MissingInstallation(QStringLiteral("history")); !missing.isEmpty()) {
        Err(missing);
        return 1;
    }
    try {
        OpenedNetwork network(arguments[0]);
        if (!prune.isEmpty()) {
            const qint64 removed = network.network().PruneNetworkChanges(prune);
            Out(QStringLiteral("%1: %2 changes made before %3 removed").arg(network.name()).arg(removed).arg(prune));
            return 0;
        }
        if (arguments.size() == 2) {
            // A path as list prints it, or from the subsystem on.
            const QString path = arguments[1];
            filter.devicePath =
                path.startsWith(network.name() + QLatin1Char('/'))
                    ? path
                    : QStringLiteral("%1/%2/%3").arg(network.name(), network.system().SystemName(), path);
        }
        const QList<lns::NvChange> changes = network.network().NetworkChanges(filter);
        if (json) {
            QJsonArray list;
            for (const lns::NvChange& c : changes)
                list.append(QJsonObject{{QStringLiteral("id"), c.id},
                                        {QStringLiteral("at"), c.at},
                                        {QStringLiteral("host"), c.host},
                                        {QStringLiteral("login"), c.login},
                                        {QStringLiteral("program"), c.program},
                                        {QStringLiteral("batch"), c.batch},
                                        {QStringLiteral("path"), c.devicePath},
                                        {QStringLiteral("variable"), c.variable},
                                        {QStringLiteral("before"), Bytes(c.before)},
                                        {QStringLiteral("after"), Bytes(c.after)},
                                        {QStringLiteral("fields"), c.fields}});
            OutJson({{QStringLiteral("network"), network.name()}, {QStringLiteral("changes"), list}});
            return 0;
        }
        for (const lns::NvChange& c : changes)
            Out(QStringList{QString::number(c.id), c.at, c.login + QLatin1Char('@') + c.host, c.program,
                            c.batch.isEmpty() ? QStringLiteral("-") : c.batch, c.devicePath, c.variable, Fields(c)}
                    .join(QLatin1Char('\t')));
    } catch (const com::ComError& e) {
        Err(ErrorLine(e));
        return 1;
    }
    return 0;
}

// What one variable held before the first of the changes reverted, and after the last.
struct Span {
    QByteArray before;
    QByteArray after;
};

int runRevert(const QStringList& arguments)
{
    if (arguments.size() != 2 || arguments[1].isEmpty()) {
        Err(RevertUsage);
        return 2;
    }
    if (const QString missing = MissingInstallation(QStringLiteral("revert")); !missing.isEmpty()) {
        Err(missing);
        return 1;
    }
    const QString& id = arguments[1];
    bool isChange = false;
    const qint64 changeId = id.toLongLong(&isChange);
    const QString lonWorksPath = registry::LonWorksPath();
    try {
        OpenedNetwork network(arguments[0], QStringLiteral("lnsdirector revert %1").arg(id),
                              lns::NewChangeBatch(QStringLiteral("revert")));
        lns::NvChangeFilter filter;
        if (isChange)
            filter.id = changeId;
        else
            filter.batch = id;
        const QList<lns::NvChange> changes = network.network().NetworkChanges(filter);
        if (changes.isEmpty()) {
            Err(QStringLiteral("lnsdirector revert: the network %1 has no change %2 in its history")
                    .arg(Shown(network.name()), Shown(id)));
            return 1;
        }
        // Newest first: each variable goes back to what it held before the oldest of them, where it still
        // holds what the newest wrote.
        QMap<QPair<QString, QString>, Span> spans;
        for (const lns::NvChange& c : changes) {
            Span& span = spans[{c.devicePath, c.variable}];
            if (span.after.isNull())
                span.after = c.after;
            span.before = c.before;
        }
        int refused = 0;
        for (auto it = spans.cbegin(); it != spans.cend(); ++it) {
            const QString where = QStringLiteral("%1 %2").arg(it.key().first, it.key().second);
            if (it->before == it->after) {
                Out(QStringLiteral("%1: nothing to revert (it was written back already)").arg(where));
                continue;
            }
            try {
                const lns::Ptr<lns::NetworkVariable> nv = network.variable(it.key().first, it.key().second);
                const QString typeName = nv->NvTypeName();
                nv->SetNvExpectedValue(it->after);
                try {
                    nv->SetNvRawValue(it->before);
                } catch (const com::ComError& e) {
                    if (e.number() != lns::ObjectServerError(lns::ErrChangedSinceRead))
                        throw;
                    const QByteArray current = nv->NvRawValue();
                    const QString fields = lns::formats::ChangedFields(typeName, it->after, current, lonWorksPath);
                    Err(QStringLiteral("%1: refused, the device no longer holds what %2 wrote (changed since: %3); "
                                       "nothing was written")
                            .arg(where, isChange ? QStringLiteral("change %1").arg(id) : id, fields));
                    ++refused;
                    continue;
                }
                Out(QStringLiteral("%1: reverted (%2)")
                        .arg(where, lns::formats::ChangedFields(typeName, it->after, it->before, lonWorksPath)));
            } catch (const com::ComError& e) {
                Err(QStringLiteral("%1: %2").arg(where, ErrorLine(e)));
                ++refused;
            }
        }
        return refused == 0 ? 0 : 1;
    } catch (const com::ComError& e) {
        Err(ErrorLine(e));
        return 1;
    }
}

const bool historyRegistered = RegisterVerb(
    Verb{QStringLiteral("history"),
         QStringLiteral("history NETWORK [PATH] [--since TIME] [--variable NV] [--json] | --prune BEFORE   who changed "
                        "which value, when"),
         HistoryUsage +
             QStringLiteral(
                 "\n"
                 "Prints the changes of the network's values, newest first: every write of a device's variable\n"
                 "through the object server (the plug-in's window, a profile apply, lnsdirector nv set and\n"
                 "revert), one line each, tab-separated: ID, time (UTC), LOGIN@HOST, program, batch (the\n"
                 "apply's or revert's id, \"-\" for a single write), device path, variable and the fields that\n"
                 "changed (\"name before -> after\", metric units).\n"
                 "PATH narrows to a device or a subsystem (as list prints it, or from the subsystem on);\n"
                 "--since TIME to changes from then on (2026-12-08, 2026-12-08T20:15 local time, or with an\n"
                 "offset such as 2026-12-08T20:15Z); --variable NV to one variable. --json prints {\"network\",\n"
                 "\"changes\": [{\"id\", \"at\", \"host\", \"login\", \"program\", \"batch\", \"path\", \"variable\",\n"
                 "\"before\", \"after\" (bytes in decimal), \"fields\"}]}.\n"
                 "--prune BEFORE removes the changes made before that time and prints how many.\n"
                 "Status 1 with \"error CODE SOURCE: DESCRIPTION\" on failure (4010 no such network, 4013 a\n"
                 "time that is not one), 2 for a command line that is not understood."),
         runHistory});

const bool revertRegistered = RegisterVerb(
    Verb{QStringLiteral("revert"),
         QStringLiteral("revert NETWORK CHANGE-ID   puts back what a change (or a whole apply) wrote"),
         RevertUsage +
             QStringLiteral(
                 "\n"
                 "CHANGE-ID is a change's number from lnsdirector history, or an apply's (or a revert's) id: every\n"
                 "variable it wrote goes back to the bytes it held before, where the device still holds what it\n"
                 "wrote. A variable changed since is refused, naming the fields changed, and nothing is written to\n"
                 "it; the others go on. One line per variable: \"PATH NV: reverted (fields)\" on standard output,\n"
                 "a refusal or a failure on standard error. The revert is a change of its own in the history.\n"
                 "Status 0 when every variable was reverted, 1 when one was refused or failed or the id is not in\n"
                 "the history, 2 for a command line that is not understood."),
         runRevert});

}  // namespace
}  // namespace director
