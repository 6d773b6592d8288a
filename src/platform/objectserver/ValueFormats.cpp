#include "platform/objectserver/ValueFormats.h"

#include "platform/base/ShownText.h"
#include "platform/catalog/CatalogFiles.h"
#include "platform/catalog/ResourceCatalog.h"
#include "platform/objectserver/ObjectServer.h"

#include <QHash>
#include <QJsonArray>
#include <QJsonObject>
#include <QJsonValue>
#include <QLocale>
#include <QMutex>
#include <QStringList>
#include <QVector>
#include <algorithm>
#include <array>
#include <chrono>
#include <cmath>
#include <cstring>
#include <limits>
#include <optional>
#include <utility>

namespace lns::formats {
namespace {

using shown::Shown;

const QString Source = QStringLiteral("ValueFormats");
const QString InvalidText = QStringLiteral("INVALID");
const QString UnnamedMark = QStringLiteral("#");

enum class Unit { None, Temperature, TemperatureDifference };
enum class UnitSystem { Metric, Imperial };

struct Field {
    QString name;
    int bytes = 1;
    bool isSigned = false;
    double scale = 1.0;
    Unit unit = Unit::None;
    QVector<QPair<QString, qint64>> enumeration;  // empty: the field is a number
    std::optional<qint64> invalidRaw;             // the raw value shown as INVALID
    std::optional<qint64> minRaw;                 // narrower than the bytes allow
    std::optional<qint64> maxRaw;
};

struct Type {
    QString name;
    QString separator = QStringLiteral(" ");
    QVector<Field> fields;
    bool raw = false;  // RAW: every byte a field of its own

    int size() const
    {
        int total = 0;
        for (const Field& f : fields)
            total += f.bytes;
        return total;
    }
};

struct FormatName {
    QString typeName;
    UnitSystem units = UnitSystem::Metric;
};

[[noreturn]] void fail(const QString& description)
{
    throw com::ComError(ObjectServerError(ErrFormatFailed), Source, description);
}

FormatName splitFormatName(const QString& formatName)
{
    // Split without a list: every value formatted or parsed comes through here.
    const qsizetype mark = formatName.indexOf(QLatin1Char('#'));
    FormatName result{mark < 0 ? formatName : formatName.left(mark), UnitSystem::Metric};
    if (result.typeName.isEmpty() || (mark >= 0 && formatName.indexOf(QLatin1Char('#'), mark + 1) >= 0))
        fail(QStringLiteral("The format name '%1' is not usable.").arg(Shown(formatName)));
    if (mark >= 0) {
        const QStringView variant = QStringView(formatName).mid(mark + 1);
        if (variant.compare(QLatin1String("US"), Qt::CaseInsensitive) == 0)
            result.units = UnitSystem::Imperial;
        else if (variant.compare(QLatin1String("SI"), Qt::CaseInsensitive) != 0)
            fail(QStringLiteral("The format name '%1' has an unknown unit variant.").arg(Shown(formatName)));
    }
    return result;
}

Field numberField(const QString& name, int bytes, bool isSigned, double scale, Unit unit = Unit::None)
{
    Field f;
    f.name = name;
    f.bytes = bytes;
    f.isSigned = isSigned;
    f.scale = scale;
    f.unit = unit;
    return f;
}

// Absolute temperatures of the standard types end where their invalid value begins; below that they
// stop at absolute zero.
Field temperatureField(const QString& name, Unit unit)
{
    Field f = numberField(name, 2, true, 0.01, unit);
    f.invalidRaw = 0x7FFF;
    if (unit == Unit::Temperature)
        f.minRaw = -27317;
    f.maxRaw = 0x7FFE;
    return f;
}

// The standard types of fixed shape, made once.
QVector<Type> makeFixedTypes()
{
    QVector<Type> types;
    auto add = [&](const char* name, const QString& separator, QVector<Field> fields) {
        Type t;
        t.name = QString::fromLatin1(name);
        t.separator = separator;
        t.fields = std::move(fields);
        types.append(t);
    };
    QVector<Field> setPoints;
    for (const char* field :
         {"occupied_cool", "standby_cool", "unoccupied_cool", "occupied_heat", "standby_heat", "unoccupied_heat"})
        setPoints.append(temperatureField(QString::fromLatin1(field), Unit::Temperature));
    add("SNVT_temp_setpt", QStringLiteral(","), setPoints);
    add("SNVT_temp_p", QStringLiteral(" "), {temperatureField(QStringLiteral("value"), Unit::Temperature)});
    add("SNVT_temp_diff_p", QStringLiteral(" "),
        {temperatureField(QStringLiteral("value"), Unit::TemperatureDifference)});
    Field seconds = numberField(QStringLiteral("value"), 2, false, 0.1);
    seconds.invalidRaw = 0xFFFF;
    add("SNVT_time_sec", QStringLiteral(" "), {seconds});
    add("SNVT_count", QStringLiteral(" "), {numberField(QStringLiteral("value"), 2, false, 1.0)});
    Field hvac = numberField(QStringLiteral("value"), 1, true, 1.0);
    hvac.enumeration = {{QStringLiteral("HVT_NUL"), -1},      {QStringLiteral("HVT_GENERIC"), 0},
                        {QStringLiteral("HVT_FAN_COIL"), 1},  {QStringLiteral("HVT_VAV"), 2},
                        {QStringLiteral("HVT_HEAT_PUMP"), 3}, {QStringLiteral("HVT_ROOFTOP"), 4},
                        {QStringLiteral("HVT_UNIT_VENT"), 5}, {QStringLiteral("HVT_CHILL_CEIL"), 6},
                        {QStringLiteral("HVT_RADIATOR"), 7},  {QStringLiteral("HVT_AHU"), 8},
                        {QStringLiteral("HVT_SELF_CONT"), 9}};
    add("SNVT_hvac_type", QStringLiteral(" "), {hvac});
    return types;
}

std::optional<Type> builtInType(const QString& name, int size)
{
    static const QVector<Type> fixedTypes = makeFixedTypes();
    for (const Type& t : fixedTypes)
        if (name.compare(t.name, Qt::CaseInsensitive) == 0)
            return t;
    Type t;
    t.name = name;
    if (name.compare(QLatin1String("RAW"), Qt::CaseInsensitive) == 0) {
        t.raw = true;
        t.separator = QStringLiteral("\t");
        for (int i = 0; i < size; ++i)
            t.fields.append(numberField(QString::number(i), 1, false, 1.0));
        return t;
    }
    if (name.compare(QLatin1String("INT"), Qt::CaseInsensitive) == 0) {
        if (size < 1 || size > 8)
            fail(QStringLiteral("A variable of %1 bytes cannot be shown as INT.").arg(size));
        t.fields.append(numberField(QStringLiteral("value"), size, true, 1.0));
        return t;
    }
    return std::nullopt;
}

// A user type from the resource files, in the catalog's type-definition form.
Type typeFromDefinition(const QString& name, const std::optional<QJsonObject>& definition)
{
    if (!definition)
        fail(
            QStringLiteral("The format %1 is not known: no resource file of the catalog defines it.").arg(Shown(name)));
    auto unusable = [&](const QString& why) {
        fail(QStringLiteral("The definition of %1 in the resource files is not usable: %2.").arg(name, why));
    };
    Type t;
    t.name = name;
    const QJsonValue separator = definition->value(QLatin1String("separator"));
    if (!separator.isUndefined()) {
        if (!separator.isString() || separator.toString().isEmpty())
            unusable(QStringLiteral("the separator is not a text"));
        t.separator = separator.toString();
    }
    const QJsonArray fields = definition->value(QLatin1String("fields")).toArray();
    if (fields.isEmpty())
        unusable(QStringLiteral("it has no fields"));
    for (const QJsonValue value : fields) {
        const QJsonObject o = value.toObject();
        Field f;
        f.name = o.value(QLatin1String("name")).toString();
        const double bytes = o.value(QLatin1String("bytes")).toDouble(-1);
        if (bytes != std::floor(bytes) || bytes < 1 || bytes > 4)
            unusable(QStringLiteral("field '%1' has no size of 1 to 4 bytes").arg(f.name));
        f.bytes = static_cast<int>(bytes);
        f.isSigned = o.value(QLatin1String("signed")).toBool(false);
        f.scale = o.value(QLatin1String("scale")).toDouble(1.0);
        if (!(f.scale > 0) || !std::isfinite(f.scale))
            unusable(QStringLiteral("field '%1' has no positive scale").arg(f.name));
        const QJsonValue unit = o.value(QLatin1String("unit"));
        if (unit.isUndefined())
            f.unit = Unit::None;
        else if (unit.toString() == QLatin1String("temperature"))
            f.unit = Unit::Temperature;
        else if (unit.toString() == QLatin1String("temperature-difference"))
            f.unit = Unit::TemperatureDifference;
        else
            unusable(QStringLiteral("field '%1' has an unknown unit").arg(f.name));
        const QJsonObject enumeration = o.value(QLatin1String("enum")).toObject();
        for (auto it = enumeration.begin(); it != enumeration.end(); ++it)
            f.enumeration.append({it.key(), static_cast<qint64>(it.value().toDouble())});
        t.fields.append(f);
    }
    return t;
}

// What a user type was read from: the catalog index and the file set that defines the type. While
// neither file changes, the definition read before still holds; reading and parsing both on every
// value would cost far more than the value's trip to the database.
using catalog::files::FileStamp;

struct CachedType {
    Type type;
    FileStamp index;
    FileStamp fileSet;
    std::optional<std::chrono::steady_clock::time_point> foundUnchangedAt;  // when a look-up last found both unchanged
};

// A definition both of whose files were found unchanged this long ago or less is taken as it stands,
// without asking the files again: their two `stat` calls cost a third of a value's read. A resource
// file changed on disk is so seen at most this late, far sooner than anyone can read a value again
// by hand; files changed in the last second are asked on every look-up all the same (FileStamp).
constexpr std::chrono::milliseconds UnchangedTrustedFor{100};

QMutex cacheMutex;
QHash<QString, QHash<QString, CachedType>> typeCache;  // by installation, then by type name

// The user types of this thread while definitions are held fixed (see FixedDefinitions), for one
// installation: taken as read, without asking the files again. And what Read and Parse answered
// under them: the devices of one apply hold and are sent much the same values, and an answer cannot
// change while the definitions it came from do not.
struct HeldTypes {
    struct ParseKey {
        QString format;
        QString text;
        qint32 byteSize;
        bool operator==(const ParseKey&) const = default;
    };
    friend size_t qHash(const ParseKey& key, size_t seed = 0)
    {
        return qHashMulti(seed, key.format, key.text, key.byteSize);
    }
    static constexpr qsizetype KeptAnswers = 4096;  // enough for every distinct value of a large apply

    int depth = 0;
    QString lonWorksPath;
    QHash<QString, Type> types;
    QHash<std::pair<QString, QByteArray>, QVector<FieldReading>> readings;
    QHash<ParseKey, QByteArray> parsed;

    // Whether answers for this installation may be kept: only while definitions are held, and for
    // the installation they are held for.
    bool keepsAnswersFor(const QString& path)
    {
        if (depth == 0)
            return false;
        if (lonWorksPath != path)
            forget(path);
        return true;
    }
    void forget(const QString& path)
    {
        types.clear();
        readings.clear();
        parsed.clear();
        lonWorksPath = path;
    }
    template <typename Map, typename Key, typename Value>
    static void keep(Map& map, Key&& key, const Value& value)
    {
        if (map.size() >= KeptAnswers)
            map.clear();
        map.insert(std::forward<Key>(key), value);
    }
};
thread_local HeldTypes held;

Type userTypeFromFiles(const QString& name, const QString& lonWorksPath);

Type userType(const QString& name, const QString& lonWorksPath)
{
    if (!held.keepsAnswersFor(lonWorksPath))
        return userTypeFromFiles(name, lonWorksPath);
    const auto found = held.types.constFind(name);
    if (found != held.types.constEnd())
        return *found;
    Type type = userTypeFromFiles(name, lonWorksPath);
    held.types.insert(name, type);
    return type;
}

Type userTypeFromFiles(const QString& name, const QString& lonWorksPath)
{
    {
        QMutexLocker lock(&cacheMutex);
        QHash<QString, CachedType>& types = typeCache[lonWorksPath];
        const auto cached = types.find(name);
        if (cached != types.end()) {
            const auto now = std::chrono::steady_clock::now();
            if (cached->foundUnchangedAt && now - *cached->foundUnchangedAt <= UnchangedTrustedFor)
                return cached->type;
            if (cached->index.unchanged() && cached->fileSet.unchanged()) {
                cached->foundUnchangedAt = now;
                return cached->type;
            }
        }
    }
    // The stamps are taken before the files are read: a change made meanwhile is seen next time.
    const QString typesFolder = catalog::TypesFolder(lonWorksPath);
    FileStamp index = FileStamp::of(typesFolder + QLatin1Char('/') + QLatin1String(catalog::files::IndexFileName));
    FileStamp fileSet;
    catalog::files::CatalogIndex entries;
    QString error;
    if (!typesFolder.isEmpty() && catalog::files::ReadIndex(typesFolder, entries, error)) {
        for (const catalog::files::IndexedFileSet& entry : entries.fileSets) {
            if (entry.typeNames.contains(name)) {
                fileSet = FileStamp::of(catalog::files::AbsolutePath(typesFolder, entry.file));
                break;
            }
        }
    }
    Type type = typeFromDefinition(name, catalog::FindTypeDefinition(lonWorksPath, name));
    QMutexLocker lock(&cacheMutex);
    typeCache[lonWorksPath].insert(name, CachedType{type, index, fileSet, std::nullopt});
    return type;
}

Type resolveType(const QString& typeName, int size, const QString& lonWorksPath)
{
    if (std::optional<Type> t = builtInType(typeName, size))
        return *t;
    return userType(typeName, lonWorksPath);
}

qint64 minimumOf(const Field& f)
{
    // The smallest of eight bytes is no negated power of two: its magnitude does not fit.
    qint64 limit = 0;
    if (f.isSigned)
        limit = f.bytes == 8 ? std::numeric_limits<qint64>::min() : -(qint64(1) << (8 * f.bytes - 1));
    return f.minRaw ? std::max(limit, *f.minRaw) : limit;
}

qint64 maximumOf(const Field& f)
{
    qint64 limit;
    if (f.bytes == 8)
        limit = std::numeric_limits<qint64>::max();
    else
        limit = f.isSigned ? (qint64(1) << (8 * f.bytes - 1)) - 1 : (qint64(1) << (8 * f.bytes)) - 1;
    return f.maxRaw ? std::min(limit, *f.maxRaw) : limit;
}

qint64 decode(const Field& f, const uchar* bytes)
{
    quint64 value = 0;
    for (int i = 0; i < f.bytes; ++i)
        value = (value << 8) | bytes[i];
    if (f.isSigned && f.bytes < 8 && (value & (quint64(1) << (8 * f.bytes - 1))))
        value |= ~quint64(0) << (8 * f.bytes);
    return static_cast<qint64>(value);
}

void encode(const Field& f, qint64 value, QByteArray& out)
{
    const quint64 bits = static_cast<quint64>(value);
    for (int i = f.bytes - 1; i >= 0; --i)
        out.append(static_cast<char>((bits >> (8 * i)) & 0xFF));
}

// The number of decimals that show a multiple of scale exactly (0.01 → 2, 0.5 → 1, 1 → 0).
int decimalsOf(double scale)
{
    double power = 1.0;
    for (int d = 0; d < 9; ++d, power *= 10.0) {
        const double shifted = scale * power;
        if (std::fabs(shifted - std::round(shifted)) < 1e-9 * std::max(1.0, shifted))
            return d;
    }
    return 9;
}

// Shortest decimal text of value rounded to the given decimals, with "." whatever the locale.
QString numberText(long double value, int decimals)
{
    long double power = 1.0L;
    for (int i = 0; i < decimals; ++i)
        power *= 10.0L;
    const long long scaled = std::llround(value * power);
    // Written from the last digit into one buffer: the fraction without its trailing zeros, the point
    // where a fraction is left, then the whole part and the sign.
    quint64 magnitude = scaled < 0 ? 0 - static_cast<quint64>(scaled) : static_cast<quint64>(scaled);
    std::array<char, 48> text{};
    char* const end = text.data() + text.size();
    char* at = end;
    bool fraction = false;
    for (int place = 0; place < decimals; ++place, magnitude /= 10) {
        const char digit = char('0' + magnitude % 10);
        if (digit != '0' || fraction) {
            *--at = digit;
            fraction = true;
        }
    }
    if (fraction)
        *--at = '.';
    do {
        *--at = char('0' + magnitude % 10);
        magnitude /= 10;
    } while (magnitude != 0);
    if (scaled < 0)
        *--at = '-';
    return QString::fromLatin1(at, end - at);
}

bool converts(const Field& f, UnitSystem units)
{
    return units == UnitSystem::Imperial && f.unit != Unit::None;
}

// The field's number at full precision, in the unit system asked for; nothing for an enumeration
// member or the invalid value. Nine decimals at most: finer would be the binary noise of the scale.
std::optional<double> numberOf(const Field& f, qint64 raw, UnitSystem units)
{
    if (!f.enumeration.isEmpty() || (f.invalidRaw && raw == *f.invalidRaw))
        return std::nullopt;
    long double value = static_cast<long double>(raw) * f.scale;
    if (converts(f, units))
        value = value * 1.8L + (f.unit == Unit::Temperature ? 32.0L : 0.0L);
    return static_cast<double>(std::round(value * 1e9L) / 1e9L);
}

QString formatField(const Field& f, qint64 raw, UnitSystem units)
{
    if (f.invalidRaw && raw == *f.invalidRaw)
        return InvalidText;
    if (!f.enumeration.isEmpty()) {
        for (const auto& [name, value] : f.enumeration)
            if (value == raw)
                return name;
        // Marked, so that it is told from a member's name ("6") or number and still writes back as read.
        return UnnamedMark + QString::number(raw);
    }
    long double value = static_cast<long double>(raw) * f.scale;
    if (!converts(f, units))
        return numberText(value, decimalsOf(f.scale));
    value = value * 1.8L + (f.unit == Unit::Temperature ? 32.0L : 0.0L);
    return numberText(value, 2);
}

bool isDecimalNumber(QStringView text, bool& hasFraction)
{
    qsizetype i = 0;
    const qsizetype n = text.size();
    if (i < n && (text[i] == QLatin1Char('-') || text[i] == QLatin1Char('+')))
        ++i;
    // Digits on both sides of a decimal point: "5." and ".5" are typing slips, not numbers.
    const qsizetype integerStart = i;
    while (i < n && text[i].isDigit())
        ++i;
    if (i == integerStart)
        return false;
    hasFraction = false;
    if (i < n && text[i] == QLatin1Char('.')) {
        const qsizetype fractionStart = ++i;
        while (i < n && text[i].isDigit()) {
            if (text[i] != QLatin1Char('0'))
                hasFraction = true;
            ++i;
        }
        if (i == fractionStart)
            return false;
    }
    return i == n;
}

// A decimal number as isDecimalNumber accepts it, times 10^shift, rounded half away from zero on its
// digits; nothing when it does not fit in 64 bits.
std::optional<qint64> shiftedDecimal(QStringView number, int shift)
{
    const bool negative = number.startsWith(QLatin1Char('-'));
    if (negative || number.startsWith(QLatin1Char('+')))
        number = number.mid(1);
    // Unsigned, so that the smallest 64-bit number, one beyond the largest, has its magnitude too.
    const quint64 largest = quint64(std::numeric_limits<qint64>::max()) + (negative ? 1 : 0);
    quint64 magnitude = 0;
    const auto append = [&](unsigned digit) {
        if (magnitude > (largest - digit) / 10)
            return false;
        magnitude = magnitude * 10 + digit;
        return true;
    };
    int fractionDigits = -1;  // before the point
    bool roundsUp = false;
    for (const QChar c : number) {
        if (c == QLatin1Char('.')) {
            fractionDigits = 0;
            continue;
        }
        if (fractionDigits == shift) {
            roundsUp = c >= QLatin1Char('5');
            break;
        }
        if (fractionDigits >= 0)
            ++fractionDigits;
        if (!append(unsigned(c.unicode() - '0')))
            return std::nullopt;
    }
    for (int d = std::max(fractionDigits, 0); d < shift; ++d)
        if (!append(0))
            return std::nullopt;
    if (roundsUp && magnitude++ == largest)
        return std::nullopt;
    return negative ? qint64(0 - magnitude) : qint64(magnitude);
}

qint64 parseField(const Field& f, QStringView text, UnitSystem units, const QString& formatName)
{
    auto refuse = [&](const QString& why) {
        fail(QStringLiteral("The text '%1' does not fit the format %2: field %3 %4.")
                 .arg(Shown(text.toString()), Shown(formatName), f.name, why));
    };
    if (f.invalidRaw && text == InvalidText)
        return *f.invalidRaw;
    // "#6": the value 6 as it stands, whether a member has it or not, also where "6" names another value.
    const bool marked = !f.enumeration.isEmpty() && text.startsWith(UnnamedMark);
    const QStringView digits = marked ? text.mid(UnnamedMark.size()) : text;
    bool hasFraction = false;
    const bool number = isDecimalNumber(digits, hasFraction);
    if (!f.enumeration.isEmpty()) {
        for (const auto& [name, value] : f.enumeration)
            if (!marked && name == text)
                return value;
        if (!number)
            refuse(QStringLiteral("is no name of its enumeration"));
        if (hasFraction)
            refuse(QStringLiteral("is not a whole number"));
    } else if (!number) {
        refuse(QStringLiteral("is not a number"));
    }
    // Far longer than any value of four bytes could need: refuse before the number loses digits.
    if (digits.size() > 40)
        refuse(QStringLiteral("is out of range"));
    if (hasFraction && f.scale == 1.0 && !converts(f, units))
        refuse(QStringLiteral("is not a whole number"));
    // Scales are decimal fractions (0.1, 0.01) that binary cannot hold: divided by 0.1, 1.25 became
    // 12.4999... and went down while 1.35 went up. A number taken as written is scaled on its digits,
    // so that one written halfway rounds away from zero like any other.
    // Scales of 1, 0.1, 0.01 ... up to a millionth: the power of ten whose inverse the scale is.
    const long double inverse = 1.0L / f.scale;
    const int places = int(std::lround(std::log10(inverse)));
    const bool decimalScale = f.enumeration.isEmpty() && !converts(f, units) && places >= 0 && places <= 6 &&
                              std::fabs(inverse - std::pow(10.0L, places)) < 1e-9L * inverse;
    qint64 raw = 0;
    if (decimalScale) {
        const std::optional<qint64> shifted = shiftedDecimal(digits, places);
        if (!shifted)
            refuse(QStringLiteral("is out of range"));
        raw = *shifted;
    } else {
        bool ok = false;
        long double value = QLocale::c().toDouble(digits, &ok);
        if (!ok || !std::isfinite(static_cast<double>(value)))
            refuse(QStringLiteral("is out of range"));
        if (converts(f, units))
            value = (value - (f.unit == Unit::Temperature ? 32.0L : 0.0L)) / 1.8L;
        const long double scaled = f.enumeration.isEmpty() ? value / f.scale : value;
        if (!(std::fabs(static_cast<double>(scaled)) < 9.0e18))
            refuse(QStringLiteral("is out of range"));
        raw = std::llround(scaled);
    }
    if (raw < minimumOf(f) || raw > maximumOf(f) || (f.invalidRaw && raw == *f.invalidRaw))
        refuse(QStringLiteral("is out of range"));
    // A plain number stands for a member; a value no member has is written only in its marked form,
    // the one a read shows it in.
    const auto isMember = [raw](const auto& member) { return member.second == raw; };
    if (!f.enumeration.isEmpty() && !marked && std::none_of(f.enumeration.begin(), f.enumeration.end(), isMember))
        refuse(QStringLiteral("is no member of its enumeration"));
    return raw;
}

// The type a value of raw's size is shown as; a type of another size fails.
Type typeOfValue(const QString& formatName, const FormatName& name, const QByteArray& raw, const QString& lonWorksPath)
{
    Type type = resolveType(name.typeName, static_cast<int>(raw.size()), lonWorksPath);
    if (type.size() != raw.size())
        fail(QStringLiteral("A value of %1 bytes cannot be shown as %2, which takes %3 bytes.")
                 .arg(raw.size())
                 .arg(Shown(formatName))
                 .arg(type.size()));
    return type;
}

void requireAscii(const QString& text, const QString& formatName)
{
    for (const QChar c : text)
        if (c.unicode() > 0x7F)
            fail(QStringLiteral("The text '%1' does not fit the format %2: it holds characters other than ASCII.")
                     .arg(Shown(text), Shown(formatName)));
}

}  // namespace

FixedDefinitions::FixedDefinitions()
{
    ++held.depth;
}

FixedDefinitions::~FixedDefinitions()
{
    if (--held.depth == 0)
        held.forget(QString());
}

QString Format(const QString& formatName, const QByteArray& raw, const QString& lonWorksPath)
{
    const FormatName name = splitFormatName(formatName);
    const Type type = typeOfValue(formatName, name, raw, lonWorksPath);
    QString text;
    text.reserve(type.fields.size() * 8);
    const auto* bytes = reinterpret_cast<const uchar*>(raw.constData());
    for (const Field& f : type.fields) {
        if (&f != type.fields.constData())
            text += type.separator;
        text += formatField(f, decode(f, bytes), name.units);
        bytes += f.bytes;
    }
    return text;
}

namespace {

QVector<FieldReading> readFields(const QString& formatName, const QByteArray& raw, const QString& lonWorksPath)
{
    const FormatName name = splitFormatName(formatName);
    const Type type = typeOfValue(formatName, name, raw, lonWorksPath);
    QVector<FieldReading> fields;
    fields.reserve(type.fields.size());
    const auto* bytes = reinterpret_cast<const uchar*>(raw.constData());
    int offset = 0;
    for (const Field& f : type.fields) {
        const qint64 value = decode(f, bytes + offset);
        FieldReading reading;
        reading.name = f.name;
        reading.offset = offset;
        reading.bytes = f.bytes;
        reading.text = formatField(f, value, name.units);
        reading.number = numberOf(f, value, name.units);
        reading.step = converts(f, name.units) ? 0.0 : f.scale;
        fields.append(reading);
        offset += f.bytes;
    }
    return fields;
}

QByteArray parseText(const QString& formatName, const QString& text, qint32 byteSize, const QString& lonWorksPath)
{
    const FormatName name = splitFormatName(formatName);
    const Type type = resolveType(name.typeName, byteSize, lonWorksPath);
    if (type.size() != byteSize)
        fail(QStringLiteral("A variable of %1 bytes cannot take a value of the format %2, which takes %3 bytes.")
                 .arg(byteSize)
                 .arg(Shown(formatName))
                 .arg(type.size()));
    requireAscii(text, formatName);
    const QList<QStringView> texts = QStringView(text).split(type.separator);
    if (texts.size() != type.fields.size())
        fail(QStringLiteral("The text '%1' does not fit the format %2: it has %3 fields instead of %4.")
                 .arg(Shown(text), Shown(formatName))
                 .arg(texts.size())
                 .arg(type.fields.size()));
    QByteArray raw;
    raw.reserve(byteSize);
    for (int i = 0; i < type.fields.size(); ++i)
        encode(type.fields[i], parseField(type.fields[i], texts[i], name.units, formatName), raw);
    return raw;
}

}  // namespace

QVector<FieldReading> Read(const QString& formatName, const QByteArray& raw, const QString& lonWorksPath)
{
    if (!held.keepsAnswersFor(lonWorksPath))
        return readFields(formatName, raw, lonWorksPath);
    auto key = std::pair(formatName, raw);
    if (const auto found = held.readings.constFind(key); found != held.readings.constEnd())
        return *found;
    QVector<FieldReading> fields = readFields(formatName, raw, lonWorksPath);
    HeldTypes::keep(held.readings, std::move(key), fields);
    return fields;
}

QByteArray Parse(const QString& formatName, const QString& text, qint32 byteSize, const QString& lonWorksPath)
{
    if (!held.keepsAnswersFor(lonWorksPath))
        return parseText(formatName, text, byteSize, lonWorksPath);
    HeldTypes::ParseKey key{formatName, text, byteSize};
    if (const auto found = held.parsed.constFind(key); found != held.parsed.constEnd())
        return *found;
    QByteArray raw = parseText(formatName, text, byteSize, lonWorksPath);
    HeldTypes::keep(held.parsed, std::move(key), raw);
    return raw;
}

QString ChangedFields(const QString& formatName, const QByteArray& before, const QByteArray& after,
                      const QString& lonWorksPath)
{
    if (before.size() != after.size())
        return QStringLiteral("%1 -> %2")
            .arg(Format(QStringLiteral("RAW"), before, lonWorksPath),
                 Format(QStringLiteral("RAW"), after, lonWorksPath));
    // Every write is recorded with this: the type is looked up once and only the fields that changed
    // are formatted. A type that cannot be shown (a user type without its catalog) is said in bytes.
    const FormatName name = splitFormatName(formatName);
    Type type;
    try {
        type = typeOfValue(formatName, name, before, lonWorksPath);
    } catch (const com::ComError&) {
        type = typeOfValue(QStringLiteral("RAW"), FormatName{QStringLiteral("RAW")}, before, lonWorksPath);
    }
    const auto* was = reinterpret_cast<const uchar*>(before.constData());
    const auto* now = reinterpret_cast<const uchar*>(after.constData());
    QString changes;
    int offset = 0;
    for (int i = 0; i < type.fields.size(); ++i) {
        const Field& f = type.fields[i];
        if (std::memcmp(was + offset, now + offset, size_t(f.bytes)) != 0) {
            if (!changes.isEmpty())
                changes += QLatin1String("; ");
            changes += f.name.isEmpty() ? QStringLiteral("byte %1").arg(i + 1) : f.name;
            changes += QLatin1Char(' ') + formatField(f, decode(f, was + offset), name.units) + QLatin1String(" -> ") +
                       formatField(f, decode(f, now + offset), name.units);
        }
        offset += f.bytes;
    }
    return changes;
}

FieldMerge MergeFields(const QString& formatName, const QByteArray& base, const QByteArray& mine,
                       const QByteArray& current, const QString& lonWorksPath)
{
    if (mine.size() != base.size() || current.size() != base.size())
        return {mine, mine, {}};
    FieldMerge merge{current, current, {}};
    const QVector<FieldReading> fields = Read(formatName, base, lonWorksPath);
    for (int i = 0; i < fields.size(); ++i) {
        const auto bytesOf = [&](const QByteArray& value) { return value.mid(fields[i].offset, fields[i].bytes); };
        const QByteArray changed = bytesOf(mine);
        if (changed == bytesOf(base))
            continue;
        merge.bytes.replace(fields[i].offset, fields[i].bytes, changed);
        const QByteArray theirs = bytesOf(current);
        if (theirs != bytesOf(base) && theirs != changed)
            merge.conflicts.append(i);
        else
            merge.keepingCurrent.replace(fields[i].offset, fields[i].bytes, changed);
    }
    return merge;
}

}  // namespace lns::formats
