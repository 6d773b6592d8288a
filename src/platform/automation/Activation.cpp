#include "platform/automation/Activation.h"

#include <QDir>
#include <QFile>
#include <QSaveFile>

namespace automation {
namespace {

QString dataHome()
{
    const QString env = qEnvironmentVariable("XDG_DATA_HOME");
    return env.isEmpty() ? QDir::homePath() + QStringLiteral("/.local/share") : env;
}

// The bus reads Exec like a shell does: quote an argument that holds blanks or quotes.
QString quotedForExec(const QString& argument)
{
    static const QString special = QStringLiteral(" \t\"'\\$`");
    bool needs = false;
    for (QChar c : argument)
        needs = needs || special.contains(c);
    if (!needs)
        return argument;
    QString out = argument;
    out.replace(QLatin1Char('\\'), QLatin1String("\\\\"));
    out.replace(QLatin1Char('"'), QLatin1String("\\\""));
    return QLatin1Char('"') + out + QLatin1Char('"');
}

}  // namespace

QString ActivationFilePath(const QString& serviceName)
{
    return dataHome() + QStringLiteral("/dbus-1/services/") + serviceName + QStringLiteral(".service");
}

bool WriteActivationFile(const QString& serviceName, const QString& executable)
{
    const QString path = ActivationFilePath(serviceName);
    if (!QDir().mkpath(QFileInfo(path).absolutePath()))
        return false;
    QSaveFile file(path);
    if (!file.open(QIODevice::WriteOnly | QIODevice::Text))
        return false;
    const QString text = QStringLiteral("[D-BUS Service]\nName=%1\nExec=%2 -Embedding\n")
                             .arg(serviceName, quotedForExec(executable));
    file.write(text.toUtf8());
    return file.commit();
}

bool RemoveActivationFile(const QString& serviceName)
{
    const QString path = ActivationFilePath(serviceName);
    if (!QFile::exists(path))
        return true;
    return QFile::remove(path);
}

}  // namespace automation
