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

// The bus splits Exec like a shell does: quote an argument that holds blanks, quotes or escapes.
QString quotedForExec(const QString& argument)
{
    static const QString special = QStringLiteral(" \t\n\"'\\$`");
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

// Before that it reads the line as a desktop-entry value, which has escapes of its own.
QString escapedForServiceFile(const QString& value)
{
    QString out;
    for (QChar c : value) {
        if (c == QLatin1Char('\\'))
            out += QLatin1String("\\\\");
        else if (c == QLatin1Char('\n'))
            out += QLatin1String("\\n");
        else if (c == QLatin1Char('\t'))
            out += QLatin1String("\\t");
        else if (c == QLatin1Char('\r'))
            out += QLatin1String("\\r");
        else
            out += c;
    }
    return out;
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
                             .arg(serviceName, escapedForServiceFile(quotedForExec(executable)));
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

std::optional<QByteArray> ReadActivationFile(const QString& serviceName)
{
    QFile file(ActivationFilePath(serviceName));
    if (!file.exists() || !file.open(QIODevice::ReadOnly))
        return std::nullopt;
    return file.readAll();
}

bool RestoreActivationFile(const QString& serviceName, const std::optional<QByteArray>& content)
{
    if (!content)
        return RemoveActivationFile(serviceName);
    const QString path = ActivationFilePath(serviceName);
    if (!QDir().mkpath(QFileInfo(path).absolutePath()))
        return false;
    QSaveFile file(path);
    if (!file.open(QIODevice::WriteOnly))
        return false;
    file.write(*content);
    return file.commit();
}

}  // namespace automation
