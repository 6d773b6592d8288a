// list NETWORK: the network's devices, one object path a line, as a director passes them to SendCommand.
#include "ErrorLine.h"
#include "Installation.h"
#include "OpenedNetwork.h"
#include "Verbs.h"

#include <QJsonArray>

namespace director {
namespace {

int runList(QStringList arguments)
{
    const bool json = TakeJsonOption(arguments);
    if (arguments.size() != 1 || arguments.first().startsWith(QLatin1Char('-'))) {
        Err(QStringLiteral("usage: lnsdirector list NETWORK [--json]"));
        return 2;
    }
    if (const QString missing = MissingInstallation(QStringLiteral("list")); !missing.isEmpty()) {
        Err(missing);
        return 1;
    }
    try {
        const QStringList paths = OpenedNetwork(arguments.first()).devicePaths();
        if (json)
            OutJson({{QStringLiteral("network"), arguments.first()},
                     {QStringLiteral("devices"), QJsonArray::fromStringList(paths)}});
        else
            for (const QString& path : paths)
                Out(path);
    } catch (const com::ComError& e) {
        Err(ErrorLine(e));
        return 1;
    }
    return 0;
}

const bool registered = RegisterVerb(
    Verb{QStringLiteral("list"), QStringLiteral("list NETWORK [--json]   one device path a line"),
         QStringLiteral(
             "usage: lnsdirector list NETWORK [--json]\n"
             "Prints the network's devices, one a line, as NETWORK/SYSTEM/SUBSYSTEM/DEVICE: the object path\n"
             "a director passes to SendCommand, and what nv get / nv set take as PATH. The installation is\n"
             "the one the registry's \"LonWorks Path\" names. An unknown network, or no installation there (make\n"
             "one with demo-setup), is an error (status 1).\n"
             "--json prints one JSON object instead: {\"network\": NETWORK, \"devices\": [PATH, ...]}."),
         runList});

}  // namespace
}  // namespace director
