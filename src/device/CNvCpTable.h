#pragma once
// A network-variable access object: one variable of the device, read and written as one formatted
// text through the object server and kept in memory as its fields.
#include "platform/objectserver/ObjectServer.h"

#include <QByteArray>
#include <QString>
#include <QStringList>
#include <optional>

class CNvCpTable {
public:
    QString Name;
    QString Description;
    QString Relative;
    QString Format;
    QString Separator;
    bool ValueAsChanges = false;
    lns::Ptr<lns::NetworkVariable> MyNetworkVariable;
    bool LocalizationSpecific = false;
    // The display units of the session the table belongs to (none: metric).
    const qint16* Units = nullptr;
    // The fields as last read or as edited since; nullopt until the first successful read.
    std::optional<QStringList> NvAsArray;
    // The key the table is filed under in NvTables ("nciSccModelRaw" for "nciSccModel (Raw)").
    QString Key;
    // The LonWorks installation whose catalog defines the device's own types (empty: the registry's).
    QString LonWorksPath;
    // The bytes the device held at the last successful read or verified write; empty before one.
    // What a write is planned from: a field nobody changed keeps exactly these.
    QByteArray DeviceBytes;

    // The fields joined with Separator; ErrTypeMismatch when there are none.
    QString NvAsString() const;
    // Writes NvAsString to the device under the format of the last successful read, then clears
    // ValueAsChanges. A failure is raised again with its number, source "SendNetworkValue" and the
    // description "Error updating <Name> " CR LF <reason>; ValueAsChanges then stays set.
    bool SendNetworkValue();
    // Reads the variable in the current display units and splits it into NvAsArray. A failure is
    // raised again with its number, source "GetNetworkValue" and "Error reading <Name> " CR LF
    // <reason>; NvAsArray then keeps what it held. The device is asked once, for its bytes
    // (DeviceBytes), and the fields are those bytes in the format: texts and bytes always agree.
    void GetNetworkValue();
    // The same read for a caller that plans from the bytes alone (a profile apply): DeviceBytes and the
    // format are those of the read, and no fields are kept (NvAsArray empty), so none can disagree.
    void GetNetworkBytes();
    // The bytes the device holds now, read raw; NvAsArray and DeviceBytes are left alone.
    QByteArray ReadBytes();
    // Writes bytes as they stand (the raw format), for putting back what a variable held.
    void WriteBytes(const QByteArray& bytes);
    // The next write (SendNetworkValue, WriteBytes) goes only while the device holds these bytes;
    // otherwise it raises ErrChangedSinceRead and writes nothing.
    void ExpectBytes(const QByteArray& bytes);

    // The format name a read asks for now: Format, with "#SI" / "#US" after it when
    // LocalizationSpecific.
    QString CurrentFormatName() const;
    // LonWorksPath, or the registry's installation when it is empty.
    QString InstallationPath() const;
    // The format of the last successful read (what a write uses); empty before one.
    const QString& LastReadFormat() const { return m_lastReadFormat; }
    // True when the last read went through: false before the first read and after a failed one, when
    // the fields in memory (if any) may no longer be what the device holds, or be in other units.
    bool LastReadSucceeded() const { return m_lastReadSucceeded; }

private:
    void read(bool fields);

    // A read that fails after the handle's format was switched must not change the units in which
    // the fields in memory are written back: they are still in the units of this format.
    QString m_lastReadFormat;
    bool m_lastReadSucceeded = false;
};
