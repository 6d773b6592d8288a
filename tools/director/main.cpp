// lnsdirector: what a person or a script uses instead of a network-management program.
#include "Verbs.h"

#include <QCoreApplication>
#include <QJsonDocument>
#include <cstdio>
#include "platform/base/ShownText.h"

namespace director {

namespace {
QList<Verb>& table()
{
    static QList<Verb> verbs;
    return verbs;
}
}  // namespace

bool RegisterVerb(Verb verb)
{
    table() << std::move(verb);
    return true;
}

const QList<Verb>& Verbs()
{
    return table();
}

void Out(const QString& line)
{
    std::fputs(line.toUtf8().constData(), stdout);
    std::fputc('\n', stdout);
    std::fflush(stdout);
}

void Err(const QString& line)
{
    std::fputs(line.toUtf8().constData(), stderr);
    std::fputc('\n', stderr);
    std::fflush(stderr);
}

bool TakeJsonOption(QStringList& arguments)
{
    return arguments.removeAll(QStringLiteral("--json")) > 0;
}

void OutJson(const QJsonObject& document)
{
    std::fputs(QJsonDocument(document).toJson(QJsonDocument::Indented).constData(), stdout);
    std::fflush(stdout);
}

}  // namespace director

int main(int argc, char** argv)
{
    QCoreApplication app(argc, argv);
    // As text, bytes that are not UTF-8 all read as one replacement character: two different names
    // would become the same one (a registry value, a network, a path). Refused before anything is done.
    for (int i = 1; i < argc; ++i) {
        const QByteArray argument(argv[i]);
        if (!shown::IsUtf8(argument)) {
            director::Err(QStringLiteral("lnsdirector: argument %1 (%2) is not UTF-8; names are UTF-8 text")
                              .arg(i)
                              .arg(shown::Shown(shown::ShownBytes(argument))));
            return 2;
        }
    }
    QStringList args = app.arguments().mid(1);
    if (args.size() == 1 && (args.first() == QLatin1String("--version") || args.first() == QLatin1String("-V"))) {
        director::Out(QStringLiteral("lnsdirector " KR5M_VERSION));
        return 0;
    }
    const auto usage = [] {
        QString text = QStringLiteral(
            "usage: lnsdirector VERB [ARGUMENTS]   (VERB --help for each)\n       lnsdirector --version\n\nverbs:\n");
        for (const director::Verb& v : director::Verbs())
            text += QStringLiteral("  %1\n").arg(v.usage);
        return text.trimmed();
    };
    if (args.isEmpty() || args.first() == QLatin1String("--help") || args.first() == QLatin1String("-h")) {
        (args.isEmpty() ? director::Err : director::Out)(usage());
        return args.isEmpty() ? 2 : 0;
    }
    const QString name = args.takeFirst();
    for (const director::Verb& v : director::Verbs()) {
        if (v.name != name)
            continue;
        if (args.contains(QStringLiteral("--help")) || args.contains(QStringLiteral("-h"))) {
            director::Out(v.help);
            return 0;
        }
        return v.run(args);
    }
    director::Err(QStringLiteral("lnsdirector: unknown verb '%1'\n%2").arg(shown::Shown(name), usage()));
    return 2;
}
