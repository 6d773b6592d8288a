#include "registration/fHidden.h"

#include "platform/toolkit/FileDialog.h"
#include "registration/WalkDir.h"

fHidden::fHidden(QWidget* parent) : QWidget(parent)
{
    setObjectName(QStringLiteral("fHidden"));
}

QString fHidden::DlgXIF(const QString& importStr, const QString& progIdStr)
{
    toolkit::FileDialogRequest request;
    request.title = tr("Locate the XIF file with Program ID %1").arg(progIdStr);
    request.initialFolder = importStr;
    request.filter = tr("External Interface Files (*.XIF)|*.XIF");
    request.filterIndex = 1;
    request.fileMustExist = true;
    const std::optional<QString> chosen = toolkit::GetOpenFileName(request);
    if (!chosen || chosen->isEmpty())
        return QString();
    return WalkDir::XifProgramId(*chosen) == progIdStr ? *chosen : QString();
}
