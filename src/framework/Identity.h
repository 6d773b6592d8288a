#pragma once
// The plug-in's identity and command table, loaded from the string table resource at run time.
#include <QString>
#include <array>

namespace framework {

struct PlugInIdentity {
    QString PlugInName;         // 101
    QString PlugInProgId;       // 102
    QString PlugInDescription;  // 103
    QString ManufacturerName;   // 104
    QString ManufacturerID;     // 105
    QString PlugInVersion;      // major.minor.revision of the build
};

// The LNS compatibility version.
inline const char* const LcaVersionText = "3.0";

// Text of the string table entry id (language 1033); empty when there is none.
QString LoadResString(int id);

void LoadPlugInIdentity();
const PlugInIdentity& Identity();
// Shorthands for the identity values every part quotes.
inline const QString& PlugInName()
{
    return Identity().PlugInName;
}
inline const QString& PlugInProgId()
{
    return Identity().PlugInProgId;
}
QString ApplicationTitle();

// "major.minor.revision" of this build.
QString BuildVersion();
int BuildVersionMajor();
int BuildVersionMinor();

struct PlugInCommandInfo {
    qint32 CommandId = 0;
    qint32 ObjectClassId = 0;
    QString CommandName;
    QString Description;
    bool OfferAsDefault = false;
    qint32 RegistrationScope = 0;
    QString ProgramId;
    QString ModelName;
    QString LonMarkObjectName;
};

inline constexpr int PlugInCommandCount = 4;
void LoadPlugInCommands();
// index 0..3; anything else is a programming error.
const PlugInCommandInfo& PlugInCommands(int index);

// Whether deregistration shows the progress window and its boxes.
bool ShowProgress();
void SetShowProgress(bool show);

}  // namespace framework
