#include "framework/Identity.h"

#include <QFile>
#include <QJsonDocument>
#include <QJsonObject>

#ifndef KR5M_VERSION_MAJOR
#error "the build passes the program's version"
#endif

namespace framework {
namespace {

const QJsonObject& stringTable()
{
    static const QJsonObject table = [] {
        QFile file(QStringLiteral(":/strings/1033.json"));
        if (!file.open(QIODevice::ReadOnly))
            return QJsonObject();
        return QJsonDocument::fromJson(file.readAll()).object().value(QStringLiteral("strings")).toObject();
    }();
    return table;
}

PlugInIdentity& identity()
{
    static PlugInIdentity value;
    return value;
}

std::array<PlugInCommandInfo, PlugInCommandCount>& commands()
{
    static std::array<PlugInCommandInfo, PlugInCommandCount> table;
    return table;
}

bool& showProgress()
{
    static bool value = false;
    return value;
}

}  // namespace

QString LoadResString(int id)
{
    return stringTable().value(QString::number(id)).toString();
}

int BuildVersionMajor()
{
    return KR5M_VERSION_MAJOR;
}

int BuildVersionMinor()
{
    return KR5M_VERSION_MINOR;
}

QString BuildVersion()
{
    return QStringLiteral("%1.%2.%3").arg(KR5M_VERSION_MAJOR).arg(KR5M_VERSION_MINOR).arg(KR5M_VERSION_PATCH);
}

void LoadPlugInIdentity()
{
    PlugInIdentity& id = identity();
    id.PlugInName = LoadResString(101);
    id.PlugInProgId = LoadResString(102);
    id.PlugInDescription = LoadResString(103);
    id.ManufacturerName = LoadResString(104);
    id.ManufacturerID = LoadResString(105);
    id.PlugInVersion = BuildVersion();
}

const PlugInIdentity& Identity()
{
    if (identity().PlugInName.isEmpty())
        LoadPlugInIdentity();
    return identity();
}

QString ApplicationTitle()
{
    return QStringLiteral("KR5M-HU LNS Device Plug-in");
}

void LoadPlugInCommands()
{
    // Entry order decides the dispatch: the first entry whose command and class match wins.
    struct Row {
        qint32 objectClass;
        int name, description, programId, model;
    };
    const Row rows[PlugInCommandCount] = {
        {28, 110, 111, 130, 131},
        {7, 120, 121, 130, 131},
        {28, 110, 111, 140, 141},
        {7, 120, 121, 140, 141},
    };
    for (int i = 0; i < PlugInCommandCount; ++i) {
        PlugInCommandInfo& e = commands()[i];
        e.CommandId = 13;
        e.ObjectClassId = rows[i].objectClass;
        e.CommandName = LoadResString(rows[i].name);
        e.Description = LoadResString(rows[i].description);
        e.OfferAsDefault = true;
        e.RegistrationScope = 3;
        e.ProgramId = LoadResString(rows[i].programId);
        e.ModelName = LoadResString(rows[i].model);
        e.LonMarkObjectName.clear();
    }
}

const PlugInCommandInfo& PlugInCommands(int index)
{
    Q_ASSERT(index >= 0 && index < PlugInCommandCount);
    return commands().at(static_cast<size_t>(index));
}

bool ShowProgress()
{
    return showProgress();
}

void SetShowProgress(bool show)
{
    showProgress() = show;
}

}  // namespace framework
