#include "platform/base/WindowsPath.h"

#include <QDir>
#include <QFileInfo>

namespace winpath {

QString Resolve(const QString& windowsPath)
{
    QString path = windowsPath;
    path.replace(QLatin1Char('\\'), QLatin1Char('/'));
    return MatchCase(path);
}

QString MatchCase(const QString& path)
{
    if (path.isEmpty())
        return path;

    const bool absolute = path.startsWith(QLatin1Char('/'));
    const QStringList parts = path.split(QLatin1Char('/'), Qt::SkipEmptyParts);
    QString current = absolute ? QStringLiteral("/") : QString();
    bool stillExists = true;
    for (const QString& part : parts) {
        QString chosen = part;
        if (stillExists && part != QLatin1String(".") && part != QLatin1String("..")) {
            const QDir dir(current.isEmpty() ? QStringLiteral(".") : current);
            if (!QFileInfo::exists(dir.filePath(part))) {
                const QStringList entries =
                    dir.entryList(QDir::AllEntries | QDir::Hidden | QDir::System | QDir::NoDotAndDotDot);
                chosen.clear();
                for (const QString& entry : entries) {
                    if (entry.compare(part, Qt::CaseInsensitive) == 0) {
                        chosen = entry;
                        break;
                    }
                }
                if (chosen.isEmpty()) {
                    chosen = part;
                    stillExists = false;
                }
            }
        }
        if (current.isEmpty() || current.endsWith(QLatin1Char('/')))
            current += chosen;
        else
            current += QLatin1Char('/') + chosen;
    }
    if (path.endsWith(QLatin1Char('/')) && !current.endsWith(QLatin1Char('/')))
        current += QLatin1Char('/');
    return current;
}

QString Join(const QString& folder, const QString& relative)
{
    if (folder.isEmpty())
        return relative;
    if (folder.endsWith(QLatin1Char('/')))
        return folder + relative;
    return folder + QLatin1Char('/') + relative;
}

}  // namespace winpath
