#pragma once
// The object server's failure numbers: ObjectServerErrorBase plus a code. The XIF reader, which builds
// apart from the object server, raises them too.
#include <QtGlobal>

namespace lns {

inline constexpr qint32 ObjectServerErrorBase = static_cast<qint32>(0x80040000u);

// Codes added to ObjectServerErrorBase.
enum ErrorCode : qint32 {
    ErrDatabase = 4000,              // the database cannot be opened, read or written
    ErrNotOpen = 4001,               // the object server, network or system is not open
    ErrItemNotFound = 4010,          // no item of that name or position
    ErrNameInUse = 4011,             // a name that must be unique is taken
    ErrInvalidName = 4012,           // empty or otherwise unusable name
    ErrInvalidArgument = 4013,       // an argument out of range
    ErrNoNetworkInterface = 4020,    // the system opens only with its network interface attached
    ErrImportFailed = 4030,          // a template import from an XIF / XFB was refused
    ErrDeviceCommunication = 18200,  // the device does not answer
    ErrWriteFailed = 18034,          // the device refused the write
    ErrFormatFailed = 18035,         // a value could not be formatted or parsed
    ErrChangedSinceRead = 18036,     // a write expected bytes the device no longer holds
};

inline qint32 ObjectServerError(qint32 code)
{
    return ObjectServerErrorBase + code;
}

}  // namespace lns
