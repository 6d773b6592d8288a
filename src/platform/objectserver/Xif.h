#pragma once
// External interface files: the XIF text a device's maker ships, and the XFB, the binary form the
// installation's XIF32BIN converter makes of it and the object server imports templates from.
#include "platform/base/ComError.h"

#include <QByteArray>
#include <QString>
#include <QVector>

namespace lns::xif {

struct NvDefinition {
    qint32 index = 0;
    QString name;         // "nciSetPts"
    QString typeName;     // "SNVT_temp_setpt", "UNVT_fc_gen_opts"
    qint32 size = 0;      // bytes
    bool input = true;    // direction
    bool config = false;  // a configuration variable
};

struct LonMarkObjectDefinition {
    qint32 index = 0;
    QString name;  // "Thermostat"
    QString displayName;
    qint16 profileKey = 0;  // functional profile key
};

struct InterfaceDefinition {
    QString programId;  // 16 upper-case hexadecimal digits
    QVector<NvDefinition> networkVariables;
    QVector<LonMarkObjectDefinition> lonMarkObjects;
};

// Both raise com::ComError (ObjectServerError(ErrImportFailed)) with a message naming the file and the
// fault: missing, unreadable, truncated, not an XIF / XFB, too large.
InterfaceDefinition ParseXif(const QString& xifPath);
InterfaceDefinition ReadXfb(const QString& xfbPath);
void WriteXfb(const InterfaceDefinition& definition, const QString& xfbPath);

// The same on bytes already read (or to be written); name stands for the file in messages. The size
// caps belong to reading the files and are not applied here.
InterfaceDefinition ParseXifData(const QByteArray& bytes, const QString& name);
InterfaceDefinition ReadXfbData(const QByteArray& bytes, const QString& name);
QByteArray XfbData(const InterfaceDefinition& definition, const QString& name);

// The XFB path of an XIF path: the last three characters replaced by "XFB".
QString XfbPathOf(const QString& xifPath);

}  // namespace lns::xif
