#include "device/CNvCpTable.h"

#include "device/Global.h"
#include "device/Units.h"
#include "platform/objectserver/ValueFormats.h"
#include "platform/registry/LonWorksInstallation.h"

#include <exception>

namespace {

const QString CrLf = QStringLiteral("\r\n");
enum class Step { Reading, Updating };

// The failure raised again with the step's wording in front of the reason.
[[noreturn]] void RaiseComposed(const com::ComError& e, const QString& operation, Step step, const QString& name,
                                std::initializer_list<qint32> fixedTextCodes)
{
    const qint64 code = qint64(e.number()) - qint64(Global::ObjectServerErrorBase);
    Sentence::Part reason = e.said();
    for (const qint32 fixed : fixedTextCodes) {
        if (code == fixed)
            reason = Global::ObjectServerErrorText(code);
    }
    const char* source = step == Step::Reading ? QT_TRANSLATE_NOOP("Runtime", "Error reading %1 \r\n%2")
                                               : QT_TRANSLATE_NOOP("Runtime", "Error updating %1 \r\n%2");
    throw com::ComError(e.number(), operation, Sentence("Runtime", source, {name, reason}), e.cause());
}

// Anything that is not a ComError is still reported the same way, as an unexpected failure.
com::ComError AsComError(const std::exception& e, const QString& source)
{
    return com::ComError(51, source, QString::fromLocal8Bit(e.what()));
}

}  // namespace

QString CNvCpTable::NvAsString() const
{
    if (!NvAsArray)
        Global::Raise(Global::ErrTypeMismatch, QStringLiteral("NvAsString"));
    return NvAsArray->join(Separator);
}

QString CNvCpTable::InstallationPath() const
{
    return LonWorksPath.isEmpty() ? registry::LonWorksPath() : LonWorksPath;
}

QString CNvCpTable::CurrentFormatName() const
{
    if (!LocalizationSpecific)
        return Format;
    return Format + device::UnitSuffix(Units ? *Units : qint16(0));
}

void CNvCpTable::GetNetworkValue()
{
    read(true);
}

void CNvCpTable::GetNetworkBytes()
{
    read(false);
}

void CNvCpTable::read(bool fields)
{
    const QString operation = QStringLiteral("GetNetworkValue");
    try {
        if (!MyNetworkVariable)
            Global::Raise(Global::ErrObjectNotSet, operation);
        MyNetworkVariable->SetNvAccessOption(0);
        const QString formatName = CurrentFormatName();
        const QByteArray bytes = MyNetworkVariable->NvRawValue();
        // The handle is left in the format the fields are in, as a formatted read leaves it.
        MyNetworkVariable->SetNvFormatSpec(formatName);
        if (fields) {
            const QString text = lns::formats::Format(formatName, bytes, InstallationPath());
            // Every separator counts: two in a row leave an empty field in between. An empty text is
            // an array without fields, as a Basic Split gives it.
            NvAsArray = text.isEmpty() ? QStringList() : text.split(Separator, Qt::KeepEmptyParts, Qt::CaseSensitive);
        } else {
            NvAsArray.reset();
        }
        DeviceBytes = bytes;
        m_lastReadFormat = formatName;
        m_lastReadSucceeded = true;
    } catch (const com::ComError& e) {
        m_lastReadSucceeded = false;
        RaiseComposed(e, operation, Step::Reading, Name, {lns::ErrDeviceCommunication});
    } catch (const std::exception& e) {
        m_lastReadSucceeded = false;
        RaiseComposed(AsComError(e, operation), operation, Step::Reading, Name, {});
    }
}

bool CNvCpTable::SendNetworkValue()
{
    const QString operation = QStringLiteral("SendNetworkValue");
    try {
        if (!MyNetworkVariable)
            Global::Raise(Global::ErrObjectNotSet, operation);
        MyNetworkVariable->SetNvAccessOption(0);
        const QString text = NvAsString();
        // The fields are in the units of the last read, whatever the handle was switched to since.
        MyNetworkVariable->SetNvFormatSpec(m_lastReadFormat.isEmpty() ? CurrentFormatName() : m_lastReadFormat);
        MyNetworkVariable->SetNvFormattedValue(text);
        ValueAsChanges = false;
        return true;
    } catch (const com::ComError& e) {
        RaiseComposed(e, operation, Step::Updating, Name, {lns::ErrWriteFailed, lns::ErrFormatFailed});
    } catch (const std::exception& e) {
        RaiseComposed(AsComError(e, operation), operation, Step::Updating, Name, {});
    }
}

QByteArray CNvCpTable::ReadBytes()
{
    const QString operation = QStringLiteral("GetNetworkValue");
    try {
        if (!MyNetworkVariable)
            Global::Raise(Global::ErrObjectNotSet, operation);
        MyNetworkVariable->SetNvAccessOption(0);
        return MyNetworkVariable->NvRawValue();
    } catch (const com::ComError& e) {
        RaiseComposed(e, operation, Step::Reading, Name, {lns::ErrDeviceCommunication});
    } catch (const std::exception& e) {
        RaiseComposed(AsComError(e, operation), operation, Step::Reading, Name, {});
    }
}

void CNvCpTable::ExpectBytes(const QByteArray& bytes)
{
    if (!MyNetworkVariable)
        Global::Raise(Global::ErrObjectNotSet, QStringLiteral("SendNetworkValue"));
    MyNetworkVariable->SetNvExpectedValue(bytes);
}

void CNvCpTable::WriteBytes(const QByteArray& bytes)
{
    const QString operation = QStringLiteral("SendNetworkValue");
    try {
        if (!MyNetworkVariable)
            Global::Raise(Global::ErrObjectNotSet, operation);
        MyNetworkVariable->SetNvAccessOption(0);
        MyNetworkVariable->SetNvRawValue(bytes);
    } catch (const com::ComError& e) {
        RaiseComposed(e, operation, Step::Updating, Name, {lns::ErrWriteFailed, lns::ErrFormatFailed});
    } catch (const std::exception& e) {
        RaiseComposed(AsComError(e, operation), operation, Step::Updating, Name, {});
    }
}
