#include "platform/objectserver/Xif.h"

#include "platform/base/HexDigits.h"
#include "platform/objectserver/ObjectServerErrors.h"

#include <QFile>
#include <QFileInfo>
#include <QRegularExpression>
#include <QSaveFile>
#include <QSet>
#include <QStringDecoder>
#include <QtEndian>
#include <array>

namespace lns::xif {

namespace {

// An XIF describes at most 4096 variables in short lines; a few MB is far beyond any real one, and
// the cap keeps a wrong file (a disk image named .xif) from being read whole.
constexpr qint64 MaxXifSize = qint64(4) * 1024 * 1024;
constexpr qint64 MaxXfbSize = qint64(16) * 1024 * 1024;

constexpr int MaxIndex = 4095;
constexpr int MaxNvSize = 31;
constexpr int MaxNameLength = 64;

// The XFB header: magic (the CR LF / ^Z / LF tail catches files mangled by text-mode copies), version,
// reserved, payload length and the payload's CRC-32, all big-endian.
constexpr std::array<char, 8> XfbMagic{'K', 'X', 'F', 'B', '\r', '\n', '\x1a', '\n'};
constexpr quint16 XfbVersion = 1;
constexpr int XfbHeaderSize = 8 + 2 + 2 + 4 + 4;

[[noreturn]] void Fail(const char* operation, const QString& description)
{
    throw com::ComError(ObjectServerError(ErrImportFailed), QString::fromLatin1(operation), description);
}

quint32 Crc32(const QByteArray& data)
{
    static const std::array<quint32, 256> table = [] {
        std::array<quint32, 256> t{};
        for (quint32 i = 0; i < 256; ++i) {
            quint32 c = i;
            for (int k = 0; k < 8; ++k)
                c = (c & 1) ? 0xEDB88320u ^ (c >> 1) : c >> 1;
            t[i] = c;
        }
        return t;
    }();
    quint32 crc = 0xFFFFFFFFu;
    for (const char byte : data)
        crc = table[(crc ^ static_cast<quint8>(byte)) & 0xFFu] ^ (crc >> 8);
    return crc ^ 0xFFFFFFFFu;
}

bool IsIdentifier(const QString& text)
{
    static const QRegularExpression pattern(QStringLiteral("^[A-Za-z_][A-Za-z0-9_]*$"));
    return text.size() <= MaxNameLength && pattern.match(text).hasMatch();
}

// Windows-1252 is Latin-1 but for 0x80 to 0x9F; the five bytes it leaves undefined keep their C1 code,
// as Windows itself decodes them.
QString FromWindows1252(const QByteArray& bytes)
{
    static const std::array<char16_t, 32> high = {0x20AC, 0x0081, 0x201A, 0x0192, 0x201E, 0x2026, 0x2020, 0x2021,
                                                  0x02C6, 0x2030, 0x0160, 0x2039, 0x0152, 0x008D, 0x017D, 0x008F,
                                                  0x0090, 0x2018, 0x2019, 0x201C, 0x201D, 0x2022, 0x2013, 0x2014,
                                                  0x02DC, 0x2122, 0x0161, 0x203A, 0x0153, 0x009D, 0x017E, 0x0178};
    QString text;
    text.reserve(bytes.size());
    for (const char byte : bytes) {
        const auto code = static_cast<quint8>(byte);
        text.append(QChar(code >= 0x80 && code < 0xA0 ? high[code - 0x80] : char16_t(code)));
    }
    return text;
}

// "80:00:D3:55:00:04:04:0B" -> "8000D3550004040B", the digits kept as written.
bool ReadProgramIdLine(const QString& line, QString& programId)
{
    const QString text = line.trimmed();
    if (text.size() != 23)
        return false;
    QString digits;
    for (int group = 0; group < 8; ++group) {
        const int at = group * 3;
        if (!hex::IsDigit(text.at(at)) || !hex::IsDigit(text.at(at + 1)))
            return false;
        if (group < 7 && text.at(at + 2) != QLatin1Char(':'))
            return false;
        digits += text.mid(at, 2);
    }
    programId = digits;
    return true;
}

// Blank-separated words; a double-quoted word may hold blanks.
bool Tokenize(const QString& line, QStringList& tokens)
{
    tokens.clear();
    qsizetype i = 0;
    while (i < line.size()) {
        if (line.at(i).isSpace()) {
            ++i;
            continue;
        }
        if (line.at(i) == QLatin1Char('"')) {
            const qsizetype end = line.indexOf(QLatin1Char('"'), i + 1);
            if (end < 0)
                return false;
            if (end + 1 < line.size() && !line.at(end + 1).isSpace())
                return false;
            tokens.append(line.mid(i + 1, end - i - 1));
            i = end + 1;
            continue;
        }
        qsizetype end = i;
        while (end < line.size() && !line.at(end).isSpace()) {
            if (line.at(end) == QLatin1Char('"'))
                return false;
            ++end;
        }
        tokens.append(line.mid(i, end - i));
        i = end;
    }
    return true;
}

bool ReadNumber(const QString& text, int lowest, int highest, int& value)
{
    bool ok = false;
    const int number = text.toInt(&ok, 10);
    if (!ok || number < lowest || number > highest)
        return false;
    value = number;
    return true;
}

// ---- XFB payload helpers

void PutU8(QByteArray& out, quint8 value)
{
    out.append(static_cast<char>(value));
}

void PutU16(QByteArray& out, quint16 value)
{
    const quint16 be = qToBigEndian(value);
    out.append(reinterpret_cast<const char*>(&be), 2);
}

void PutU32(QByteArray& out, quint32 value)
{
    const quint32 be = qToBigEndian(value);
    out.append(reinterpret_cast<const char*>(&be), 4);
}

void PutString(QByteArray& out, const QString& text, const QString& xfbPath)
{
    const QByteArray utf8 = text.toUtf8();
    if (utf8.size() > 0xFFFF)
        Fail("WriteXfb", QStringLiteral("The XFB file %1 cannot be written: a name is too long.").arg(xfbPath));
    PutU16(out, static_cast<quint16>(utf8.size()));
    out.append(utf8);
}

class PayloadReader {
public:
    PayloadReader(const QByteArray& data, const QString& path) : m_data(data), m_path(path) {}

    quint8 u8() { return static_cast<quint8>(take(1).at(0)); }
    quint16 u16() { return qFromBigEndian<quint16>(take(2).constData()); }
    quint32 u32() { return qFromBigEndian<quint32>(take(4).constData()); }
    QString string() { return QString::fromUtf8(take(u16())); }
    bool atEnd() const { return m_position == m_data.size(); }

private:
    QByteArray take(qsizetype count)
    {
        if (m_data.size() - m_position < count)
            Fail("ReadXfb", QStringLiteral("The XFB file %1 is corrupted: its contents end too early.").arg(m_path));
        QByteArray part = m_data.mid(m_position, count);
        m_position += count;
        return part;
    }

    const QByteArray& m_data;
    QString m_path;
    qsizetype m_position = 0;
};

QByteArray ReadCapped(const char* operation, const QString& path, const QString& kind, qint64 cap)
{
    const QFileInfo info(path);
    if (!info.exists())
        Fail(operation, QStringLiteral("The %1 file %2 does not exist.").arg(kind, path));
    if (!info.isFile())
        Fail(operation, QStringLiteral("%1 is not a file.").arg(path));
    QFile file(path);
    if (!file.open(QIODevice::ReadOnly))
        Fail(operation, QStringLiteral("The %1 file %2 cannot be read: %3").arg(kind, path, file.errorString()));
    QByteArray bytes = file.read(cap + 1);
    if (bytes.size() > cap)
        Fail(
            operation,
            QStringLiteral("The file %1 is too large to be an %2 file (more than %3 bytes).").arg(path, kind).arg(cap));
    if (file.error() != QFileDevice::NoError)
        Fail(operation, QStringLiteral("The %1 file %2 cannot be read: %3").arg(kind, path, file.errorString()));
    return bytes;
}

}  // namespace

InterfaceDefinition ParseXif(const QString& xifPath)
{
    return ParseXifData(ReadCapped("ParseXif", xifPath, QStringLiteral("XIF"), MaxXifSize), xifPath);
}

InterfaceDefinition ParseXifData(const QByteArray& bytes, const QString& xifPath)
{
    auto refuse = [&xifPath](const QString& why) {
        Fail("ParseXif", QStringLiteral("The file %1 is not a usable XIF file: %2").arg(xifPath, why));
    };

    if (bytes.contains('\0'))
        refuse(QStringLiteral("it is a binary file."));
    QStringDecoder decoder(QStringDecoder::Utf8);
    QString text = decoder.decode(bytes);
    // XIFs are written by Windows tools: a file that is not UTF-8 is in the Windows code page (a
    // copyright sign in the header, a degree sign in a display name).
    if (decoder.hasError())
        text = FromWindows1252(bytes);

    QStringList lines = text.split(QLatin1Char('\n'));
    if (!lines.isEmpty() && lines.last().isEmpty())
        lines.removeLast();  // the end of the last line, not a line of its own
    for (QString& line : lines) {
        if (line.endsWith(QLatin1Char('\r')))
            line.chop(1);
    }

    // Lines 1 to 3 are the creator's header; the program ID is on line 4, or on 5 when 4 is blank.
    if (lines.size() < 4)
        refuse(QStringLiteral("it is too short to hold a program ID on line 4."));
    int programIdLine = 4;
    if (lines.at(3).trimmed().isEmpty()) {
        programIdLine = 5;
        if (lines.size() < 5)
            refuse(QStringLiteral("it is too short to hold a program ID on line 5."));
    }
    InterfaceDefinition definition;
    if (!ReadProgramIdLine(lines.at(programIdLine - 1), definition.programId))
        refuse(QStringLiteral("line %1 does not hold a program ID written as eight hexadecimal pairs "
                              "(80:00:D3:55:00:04:04:0B).")
                   .arg(programIdLine));

    QSet<int> nvIndexes;
    QSet<QString> nvNames;
    QSet<int> objectIndexes;
    for (int number = programIdLine + 1; number <= lines.size(); ++number) {
        const QString line = lines.at(number - 1).trimmed();
        if (line.isEmpty() || line.startsWith(QLatin1Char('*')))
            continue;
        QStringList tokens;
        if (!Tokenize(line, tokens))
            refuse(QStringLiteral("line %1 has an unbalanced quote.").arg(number));
        const QString keyword = tokens.first();
        if (keyword == QLatin1String("NV")) {
            // NV <index> <name> <type> <size> IN|OUT [CONFIG]
            NvDefinition nv;
            const bool shapeOk = tokens.size() == 6 || (tokens.size() == 7 && tokens.at(6) == QLatin1String("CONFIG"));
            if (!shapeOk || !ReadNumber(tokens.at(1), 0, MaxIndex, nv.index) || !IsIdentifier(tokens.at(2)) ||
                !IsIdentifier(tokens.at(3)) || !ReadNumber(tokens.at(4), 1, MaxNvSize, nv.size) ||
                (tokens.at(5) != QLatin1String("IN") && tokens.at(5) != QLatin1String("OUT")))
                refuse(QStringLiteral("line %1 is not a network-variable declaration "
                                      "(NV index name type size IN|OUT [CONFIG]).")
                           .arg(number));
            nv.name = tokens.at(2);
            nv.typeName = tokens.at(3);
            nv.input = tokens.at(5) == QLatin1String("IN");
            nv.config = tokens.size() == 7;
            if (nvIndexes.contains(nv.index))
                refuse(QStringLiteral("line %1 repeats network-variable index %2.").arg(number).arg(nv.index));
            if (nvNames.contains(nv.name))
                refuse(QStringLiteral("line %1 repeats network-variable name %2.").arg(number).arg(nv.name));
            nvIndexes.insert(nv.index);
            nvNames.insert(nv.name);
            definition.networkVariables.append(nv);
        } else if (keyword == QLatin1String("OBJ")) {
            // OBJ <index> <name> "<display name>" <profile key>
            LonMarkObjectDefinition object;
            int key = 0;
            if (tokens.size() != 5 || !ReadNumber(tokens.at(1), 0, MaxIndex, object.index) ||
                !IsIdentifier(tokens.at(2)) || tokens.at(3).trimmed().isEmpty() ||
                !ReadNumber(tokens.at(4), 0, 65535, key))
                refuse(QStringLiteral("line %1 is not a LonMark object declaration "
                                      "(OBJ index name \"display name\" profile-key).")
                           .arg(number));
            object.name = tokens.at(2);
            object.displayName = tokens.at(3);
            object.profileKey = static_cast<qint16>(static_cast<quint16>(key));
            if (objectIndexes.contains(object.index))
                refuse(QStringLiteral("line %1 repeats LonMark object index %2.").arg(number).arg(object.index));
            objectIndexes.insert(object.index);
            definition.lonMarkObjects.append(object);
        } else {
            refuse(QStringLiteral("line %1 is not understood.").arg(number));
        }
    }
    return definition;
}

QByteArray XfbData(const InterfaceDefinition& definition, const QString& xfbPath)
{
    if (definition.networkVariables.size() > 0xFFFF || definition.lonMarkObjects.size() > 0xFFFF)
        Fail("WriteXfb", QStringLiteral("The XFB file %1 cannot be written: too many declarations.").arg(xfbPath));
    QByteArray payload;
    PutString(payload, definition.programId, xfbPath);
    PutU16(payload, static_cast<quint16>(definition.networkVariables.size()));
    for (const NvDefinition& nv : definition.networkVariables) {
        PutU16(payload, static_cast<quint16>(nv.index));
        PutString(payload, nv.name, xfbPath);
        PutString(payload, nv.typeName, xfbPath);
        PutU8(payload, static_cast<quint8>(nv.size));
        PutU8(payload, static_cast<quint8>((nv.input ? 1 : 0) | (nv.config ? 2 : 0)));
    }
    PutU16(payload, static_cast<quint16>(definition.lonMarkObjects.size()));
    for (const LonMarkObjectDefinition& object : definition.lonMarkObjects) {
        PutU16(payload, static_cast<quint16>(object.index));
        PutString(payload, object.name, xfbPath);
        PutString(payload, object.displayName, xfbPath);
        PutU16(payload, static_cast<quint16>(object.profileKey));
    }

    QByteArray file(XfbMagic.data(), XfbMagic.size());
    PutU16(file, XfbVersion);
    PutU16(file, 0);
    PutU32(file, static_cast<quint32>(payload.size()));
    PutU32(file, Crc32(payload));
    file.append(payload);
    return file;
}

void WriteXfb(const InterfaceDefinition& definition, const QString& xfbPath)
{
    const QByteArray file = XfbData(definition, xfbPath);
    const QFileInfo target(xfbPath);
    // Written through a link, the XFB would land wherever the link points (a dangling one would create
    // its target there): the XFB is only ever a plain file of its own.
    if (target.isSymLink())
        Fail("WriteXfb", QStringLiteral("The XFB file %1 cannot be written: it is a symbolic link.").arg(xfbPath));
    // Renaming over a device or a pipe would replace it with a plain file.
    if (target.exists() && !target.isFile())
        Fail("WriteXfb", QStringLiteral("The XFB file %1 cannot be written: it is not a plain file.").arg(xfbPath));
    // Written beside the target and renamed into place, so that a reader never finds half an XFB.
    QSaveFile out(xfbPath);
    if (!out.open(QIODevice::WriteOnly) || out.write(file) != file.size() || !out.commit())
        Fail("WriteXfb", QStringLiteral("The XFB file %1 cannot be written: %2").arg(xfbPath, out.errorString()));
}

InterfaceDefinition ReadXfb(const QString& xfbPath)
{
    return ReadXfbData(ReadCapped("ReadXfb", xfbPath, QStringLiteral("XFB"), MaxXfbSize), xfbPath);
}

InterfaceDefinition ReadXfbData(const QByteArray& bytes, const QString& xfbPath)
{
    const QByteArray magic(XfbMagic.data(), XfbMagic.size());
    if (bytes.size() < magic.size()) {
        if (magic.startsWith(bytes) && !bytes.isEmpty())
            Fail("ReadXfb", QStringLiteral("The XFB file %1 is truncated.").arg(xfbPath));
        Fail("ReadXfb", QStringLiteral("The file %1 is not an XFB file.").arg(xfbPath));
    }
    if (!bytes.startsWith(magic))
        Fail("ReadXfb", QStringLiteral("The file %1 is not an XFB file.").arg(xfbPath));
    if (bytes.size() < XfbHeaderSize)
        Fail("ReadXfb", QStringLiteral("The XFB file %1 is truncated.").arg(xfbPath));

    const char* header = bytes.constData() + magic.size();
    const quint16 version = qFromBigEndian<quint16>(header);
    const quint32 length = qFromBigEndian<quint32>(header + 4);
    const quint32 checksum = qFromBigEndian<quint32>(header + 8);
    if (version != XfbVersion)
        Fail("ReadXfb", QStringLiteral("The XFB file %1 has version %2; this converter reads version %3.")
                            .arg(xfbPath)
                            .arg(version)
                            .arg(XfbVersion));
    const qint64 present = bytes.size() - XfbHeaderSize;
    if (present < length)
        Fail("ReadXfb", QStringLiteral("The XFB file %1 is truncated: %2 of %3 bytes are present.")
                            .arg(xfbPath)
                            .arg(present)
                            .arg(length));
    if (present > length)
        Fail("ReadXfb", QStringLiteral("The XFB file %1 is corrupted: it goes on past its end.").arg(xfbPath));
    const QByteArray payload = bytes.mid(XfbHeaderSize);
    if (Crc32(payload) != checksum)
        Fail("ReadXfb", QStringLiteral("The XFB file %1 is corrupted: its checksum does not match.").arg(xfbPath));

    PayloadReader reader(payload, xfbPath);
    InterfaceDefinition definition;
    definition.programId = reader.string();
    const quint16 nvCount = reader.u16();
    for (quint16 i = 0; i < nvCount; ++i) {
        NvDefinition nv;
        nv.index = reader.u16();
        nv.name = reader.string();
        nv.typeName = reader.string();
        nv.size = reader.u8();
        const quint8 flags = reader.u8();
        nv.input = flags & 1;
        nv.config = flags & 2;
        definition.networkVariables.append(nv);
    }
    const quint16 objectCount = reader.u16();
    for (quint16 i = 0; i < objectCount; ++i) {
        LonMarkObjectDefinition object;
        object.index = reader.u16();
        object.name = reader.string();
        object.displayName = reader.string();
        object.profileKey = static_cast<qint16>(reader.u16());
        definition.lonMarkObjects.append(object);
    }
    if (!reader.atEnd() || !hex::IsProgramId(definition.programId))
        Fail("ReadXfb", QStringLiteral("The XFB file %1 is corrupted: its contents do not add up.").arg(xfbPath));
    return definition;
}

QString XfbPathOf(const QString& xifPath)
{
    return xifPath.left(qMax<qsizetype>(0, xifPath.size() - 3)) + QStringLiteral("XFB");
}

}  // namespace lns::xif
