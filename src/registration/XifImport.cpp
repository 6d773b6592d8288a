#include "registration/XifImport.h"

#include "framework/Connection.h"
#include "platform/base/WindowsPath.h"
#include "platform/objectserver/Xif.h"
#include "platform/toolkit/Events.h"
#include "platform/toolkit/MessageBox.h"
#include "platform/toolkit/Process.h"
#include "registration/ResourceFiles.h"
#include "registration/WalkDir.h"
#include "registration/fHidden.h"

#include <QCoreApplication>
#include <QFileInfo>

namespace registration {
namespace {

// The converter ends within a second for any XIF a device ships; a minute covers a slow disk.
constexpr int ConverterWaitMs = 60000;
// Rounds of pending events to let a file system that reports late catch up after the converter ended.
constexpr int XfbRounds = 1000;
constexpr int MaxNameSuffix = 1000;

// The paths here are names the file system gave (found by the search, chosen in the dialog): matched
// ignoring case like every other, but a "\" in them is part of a name, not a separator.
bool fileExists(const QString& path)
{
    const QFileInfo info(winpath::MatchCase(path));
    return info.exists() && info.isFile();
}

}  // namespace

QString Xif32BinPath()
{
    return winpath::Resolve(LonWorksPath() + QStringLiteral("\\bin\\XIF32BIN"));
}

QString FindXifFile(framework::ConnectionState& c, const QString& programId)
{
    if (!c.RemoteAtRegistration) {
        try {
            if (c.CurrentSystem)
                c.ImportFolder = c.CurrentSystem->SystemImportFolder();
        } catch (const com::ComError&) {
        }
    }
    // Without a folder there is nothing sensible to search (the root of the file system would take
    // hours): the caller asks the user instead.
    if (c.ImportFolder.isEmpty())
        return QString();
    const QString path = WalkDir::FindXifInFolder(winpath::Resolve(c.ImportFolder + QStringLiteral("\\")), programId);
    if (path.isEmpty())
        return QString();
    return ConvertXifToXfb(path);
}

QString AskForXifFile(const QString& importFolder, const QString& programId)
{
    QString answer;
    {
        fHidden window;
        answer = window.DlgXIF(importFolder, programId);
    }
    if (answer.isEmpty())
        return QString();
    return ConvertXifToXfb(answer);
}

QString ConvertXifToXfb(const QString& xifPath)
{
    if (!fileExists(xifPath))
        return xifPath;
    QString result = xifPath;
    const QString xfb = lns::xif::XfbPathOf(xifPath);
    // Why the converter made no XFB, in its own words (it refuses a file on its standard error).
    QString reason;
    if (!fileExists(xfb)) {
        // Two arguments, never one composed command line: quotes or blanks in a path stay in the path.
        const QString converter = Xif32BinPath();
        const toolkit::ProcessOutcome outcome = toolkit::StartProcess(converter, {xifPath, xfb}, ConverterWaitMs);
        if (!outcome.started) {
            result.clear();
            reason = QCoreApplication::translate("Registration", "%1 cannot be started: %2")
                         .arg(converter, outcome.errorText);
        } else if (!outcome.finished) {
            reason = QCoreApplication::translate("Registration", "%1 did not end within %2 seconds.")
                         .arg(converter)
                         .arg(ConverterWaitMs / 1000);
        } else {
            reason = outcome.errorOutput.trimmed();
        }
        for (int round = 0; !result.isEmpty() && !fileExists(xfb) && round < XfbRounds; ++round)
            toolkit::DoEvents();
    }
    if (result.isEmpty() || !fileExists(xfb)) {
        const QString text =
            reason.isEmpty()
                ? QCoreApplication::translate("Registration", "The file %1 could not be found.").arg(xfb)
                : QCoreApplication::translate("Registration", "The file %1 could not be found.\r\n%2").arg(xfb, reason);
        toolkit::MsgBox(text, toolkit::Buttons::Ok, toolkit::Icon::Critical,
                        QCoreApplication::translate("Registration", "Cannot Export Database"));
        return QString();
    }
    return result;
}

QString UniqueTemplateName(const QString& baseName, const lns::Ptr<lns::DeviceTemplates>& deviceTemplates)
{
    const auto taken = [&](const QString& name) {
        try {
            return deviceTemplates && deviceTemplates->DeviceTemplatesItem(name) != nullptr;
        } catch (const com::ComError&) {
            return false;
        }
    };
    QString candidate = baseName;
    int n = 1;
    while (taken(candidate) && n <= MaxNameSuffix) {
        candidate = baseName + QStringLiteral(" (") + QString::number(n) + QStringLiteral(")");
        ++n;
    }
    return candidate;
}

}  // namespace registration
