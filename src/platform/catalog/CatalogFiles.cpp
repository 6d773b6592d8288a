#include "platform/catalog/CatalogFiles.h"

#include "platform/base/HexDigits.h"

#include <sys/stat.h>
#include <time.h>
#include <QDir>
#include <QDirIterator>
#include <QFile>
#include <QFileInfo>
#include <QHash>
#include <QJsonArray>
#include <QJsonDocument>
#include <QMutex>
#include <QSaveFile>
#include <QSet>
#include <cmath>

namespace catalog::files {

namespace {

constexpr const char* IndexFormat = "kr5m-resource-catalog-index";
constexpr int IndexVersion = 1;
constexpr const char* FileSetFormat = "kr5m-file-set";
constexpr int FileSetVersion = 1;

bool IsWholeNumber(const QJsonValue& value)
{
    if (!value.isDouble())
        return false;
    const double d = value.toDouble();
    return std::isfinite(d) && d == std::floor(d);
}

QString CleanAbsolute(const QString& path)
{
    return QDir::cleanPath(QFileInfo(path).absoluteFilePath());
}

bool ValidateField(const QJsonObject& field, int position, QSet<QString>& names, QString& error)
{
    const QString where = QStringLiteral("field %1").arg(position);
    const QString name = field.value(QStringLiteral("name")).toString();
    if (name.isEmpty()) {
        error = where + QStringLiteral(" has no name");
        return false;
    }
    if (names.contains(name)) {
        error = QStringLiteral("field name \"%1\" appears twice").arg(name);
        return false;
    }
    names.insert(name);

    const QJsonValue bytesValue = field.value(QStringLiteral("bytes"));
    const int bytes = IsWholeNumber(bytesValue) ? bytesValue.toInt() : 0;
    if (bytes != 1 && bytes != 2 && bytes != 4) {
        error = QStringLiteral("field \"%1\": bytes must be 1, 2 or 4").arg(name);
        return false;
    }
    const QJsonValue signedValue = field.value(QStringLiteral("signed"));
    if (!signedValue.isUndefined() && !signedValue.isBool()) {
        error = QStringLiteral("field \"%1\": signed must be true or false").arg(name);
        return false;
    }
    const bool isSigned = signedValue.toBool(false);
    const QJsonValue scale = field.value(QStringLiteral("scale"));
    if (!scale.isUndefined() && !(scale.isDouble() && scale.toDouble() > 0 && std::isfinite(scale.toDouble()))) {
        error = QStringLiteral("field \"%1\": scale must be a positive number").arg(name);
        return false;
    }
    const QJsonValue unit = field.value(QStringLiteral("unit"));
    if (!unit.isUndefined() && unit.toString() != QLatin1String("temperature") &&
        unit.toString() != QLatin1String("temperature-difference")) {
        error = QStringLiteral("field \"%1\": unit must be \"temperature\" or \"temperature-difference\"").arg(name);
        return false;
    }
    const QJsonValue enumValue = field.value(QStringLiteral("enum"));
    if (enumValue.isUndefined())
        return true;

    // An enumeration is shown by its names; scaling or converting its numbers would make no sense.
    if (!scale.isUndefined() || !unit.isUndefined()) {
        error = QStringLiteral("field \"%1\": an enumeration takes neither scale nor unit").arg(name);
        return false;
    }
    if (!enumValue.isObject() || enumValue.toObject().isEmpty()) {
        error = QStringLiteral("field \"%1\": enum must be a non-empty object of names and numbers").arg(name);
        return false;
    }
    const double bits = 8.0 * bytes;
    const double lowest = isSigned ? -std::pow(2.0, bits - 1) : 0.0;
    const double highest = isSigned ? std::pow(2.0, bits - 1) - 1 : std::pow(2.0, bits) - 1;
    const QJsonObject enumeration = enumValue.toObject();
    QSet<qint64> numbers;
    for (auto it = enumeration.begin(); it != enumeration.end(); ++it) {
        const QString label = it.key();
        if (label.isEmpty() || label.contains(QLatin1Char(' ')) || label.contains(QLatin1Char('\t')) ||
            label.contains(QLatin1Char(','))) {
            error =
                QStringLiteral("field \"%1\": enumeration name \"%2\" is empty or holds a separator").arg(name, label);
            return false;
        }
        if (!IsWholeNumber(it.value()) || it.value().toDouble() < lowest || it.value().toDouble() > highest) {
            error = QStringLiteral("field \"%1\": enumeration value of \"%2\" does not fit %3 byte(s)")
                        .arg(name, label)
                        .arg(bytes);
            return false;
        }
        const qint64 number = static_cast<qint64>(it.value().toDouble());
        if (numbers.contains(number)) {
            error = QStringLiteral("field \"%1\": enumeration value %2 appears twice").arg(name).arg(number);
            return false;
        }
        numbers.insert(number);
    }
    return true;
}

}  // namespace

int DigitsComparedAt(int scope)
{
    switch (scope) {
    case 3: return 6;
    case 4: return 10;
    case 5: return 12;
    case 6: return 16;
    default: return 0;
    }
}

bool IsProgramId(const QString& text)
{
    return hex::IsProgramId(text);
}

bool ScopeMatches(const QString& programId, const QString& programIdTemplate, int scope)
{
    const int digits = DigitsComparedAt(scope);
    if (digits == 0 || !IsProgramId(programId) || !IsProgramId(programIdTemplate))
        return false;
    return programId.left(digits).compare(programIdTemplate.left(digits), Qt::CaseInsensitive) == 0;
}

namespace {

FileStamp stampOf(const QString& path, const QByteArray& nativePath)
{
    struct stat st {};
    if (::stat(nativePath.constData(), &st) != 0)
        return FileStamp{path, nativePath};
    const auto ns = [](const timespec& t) { return qint64(t.tv_sec) * 1000000000 + t.tv_nsec; };
    timespec now{};
    ::clock_gettime(CLOCK_REALTIME, &now);
    constexpr qint64 SettledAfterNs = 1000000000;
    return FileStamp{path,           nativePath,         qint64(st.st_size), ns(st.st_mtim),
                     ns(st.st_ctim), quint64(st.st_ino), quint64(st.st_dev), ns(now) - ns(st.st_ctim) > SettledAfterNs};
}

}  // namespace

FileStamp FileStamp::of(const QString& path)
{
    return stampOf(path, QFile::encodeName(path));
}

bool FileStamp::unchanged() const
{
    return sameVersionAs(stampOf(path, nativePath));
}

bool FileStamp::sameVersionAs(const FileStamp& other) const
{
    return settled && size >= 0 && other.size == size && other.modifiedNs == modifiedNs &&
           other.statusChangedNs == statusChangedNs && other.inode == inode && other.device == device;
}

namespace {

struct ParsedFile {
    FileStamp stamp;
    QJsonObject object;
};

QMutex parsedMutex;
QHash<QString, ParsedFile> parsedFiles;
// A few catalogs' worth; a scan of a big folder must not keep every file set it read.
constexpr int ParsedFilesKept = 64;

}  // namespace

bool ReadJsonObject(const QString& path, QJsonObject& object, QString& error)
{
    const FileStamp stamp = FileStamp::of(path);
    {
        QMutexLocker lock(&parsedMutex);
        const auto cached = parsedFiles.constFind(path);
        if (cached != parsedFiles.constEnd() && cached->stamp.sameVersionAs(stamp)) {
            object = cached->object;
            return true;
        }
    }
    QFile file(path);
    if (!file.open(QIODevice::ReadOnly)) {
        error = QStringLiteral("%1 cannot be read: %2").arg(path, file.errorString());
        return false;
    }
    if (file.size() > MaxJsonFileSize) {
        error = QStringLiteral("%1 is too large").arg(path);
        return false;
    }
    const QByteArray bytes = file.read(MaxJsonFileSize + 1);
    if (bytes.size() > MaxJsonFileSize) {
        error = QStringLiteral("%1 is too large").arg(path);
        return false;
    }
    if (!ParseJsonObject(bytes, path, object, error))
        return false;
    if (stamp.size >= 0) {
        QMutexLocker lock(&parsedMutex);
        if (parsedFiles.size() >= ParsedFilesKept)
            parsedFiles.clear();
        parsedFiles.insert(path, ParsedFile{stamp, object});
    }
    return true;
}

bool ParseJsonObject(const QByteArray& bytes, const QString& path, QJsonObject& object, QString& error)
{
    QJsonParseError parseError;
    const QJsonDocument document = QJsonDocument::fromJson(bytes, &parseError);
    if (parseError.error != QJsonParseError::NoError) {
        error = QStringLiteral("%1 is not valid JSON: %2 at offset %3")
                    .arg(path, parseError.errorString())
                    .arg(parseError.offset);
        return false;
    }
    if (!document.isObject()) {
        error = QStringLiteral("%1 does not hold a JSON object").arg(path);
        return false;
    }
    object = document.object();
    return true;
}

bool ValidateTypeDefinition(const QJsonObject& definition, QString& error)
{
    const QJsonValue separator = definition.value(QStringLiteral("separator"));
    if (!separator.isUndefined() && (!separator.isString() || separator.toString().isEmpty())) {
        error = QStringLiteral("separator must be a non-empty text");
        return false;
    }
    const QJsonArray fields = definition.value(QStringLiteral("fields")).toArray();
    if (fields.isEmpty()) {
        error = QStringLiteral("fields must be a non-empty list");
        return false;
    }
    QSet<QString> names;
    for (int i = 0; i < fields.size(); ++i) {
        if (!fields.at(i).isObject()) {
            error = QStringLiteral("field %1 is not an object").arg(i);
            return false;
        }
        if (!ValidateField(fields.at(i).toObject(), i, names, error))
            return false;
    }
    return true;
}

bool ValidateFileSet(const QJsonObject& document, IndexedFileSet& entry, QString& error)
{
    if (document.value(QStringLiteral("format")).toString() != QLatin1String(FileSetFormat) ||
        document.value(QStringLiteral("version")).toInt() != FileSetVersion) {
        error = QStringLiteral("not a file set of format \"%1\" version %2")
                    .arg(QLatin1String(FileSetFormat))
                    .arg(FileSetVersion);
        return false;
    }
    entry.name = document.value(QStringLiteral("name")).toString();
    if (entry.name.isEmpty()) {
        error = QStringLiteral("the file set has no name");
        return false;
    }
    entry.programIdTemplate = document.value(QStringLiteral("programIdTemplate")).toString();
    if (!IsProgramId(entry.programIdTemplate)) {
        error = QStringLiteral("programIdTemplate must be 16 hexadecimal digits");
        return false;
    }
    const QJsonValue scope = document.value(QStringLiteral("scope"));
    entry.scope = IsWholeNumber(scope) ? scope.toInt() : 0;
    if (DigitsComparedAt(entry.scope) == 0) {
        error = QStringLiteral("scope must be 3, 4, 5 or 6");
        return false;
    }

    entry.profileKeys.clear();
    const QJsonValue profiles = document.value(QStringLiteral("profiles"));
    if (!profiles.isUndefined() && !profiles.isArray()) {
        error = QStringLiteral("profiles must be a list");
        return false;
    }
    for (const QJsonValue profile : profiles.toArray()) {
        const QJsonValue key = profile.toObject().value(QStringLiteral("key"));
        if (!IsWholeNumber(key) || key.toDouble() < 0 || key.toDouble() > 65535) {
            error = QStringLiteral("a profile key must be a number from 0 to 65535");
            return false;
        }
        if (profile.toObject().value(QStringLiteral("name")).toString().isEmpty()) {
            error = QStringLiteral("profile %1 has no name").arg(key.toInt());
            return false;
        }
        const auto k = static_cast<quint16>(key.toInt());
        if (entry.profileKeys.contains(k)) {
            error = QStringLiteral("profile key %1 appears twice").arg(k);
            return false;
        }
        entry.profileKeys.append(k);
    }

    entry.typeNames.clear();
    const QJsonValue types = document.value(QStringLiteral("types"));
    if (!types.isUndefined() && !types.isObject()) {
        error = QStringLiteral("types must be an object of type names and definitions");
        return false;
    }
    const QJsonObject typeObject = types.toObject();
    for (auto it = typeObject.begin(); it != typeObject.end(); ++it) {
        QString typeError;
        if (!it.value().isObject() || !ValidateTypeDefinition(it.value().toObject(), typeError)) {
            error = QStringLiteral("type %1: %2")
                        .arg(it.key(), typeError.isEmpty() ? QStringLiteral("not an object") : typeError);
            return false;
        }
        entry.typeNames.append(it.key());
    }
    return true;
}

QString StoredPath(const QString& typesFolder, const QString& absolutePath)
{
    const QString base = CleanAbsolute(typesFolder);
    QString path = CleanAbsolute(absolutePath);
    if (path == base)
        return QStringLiteral(".");
    if (path.startsWith(base + QLatin1Char('/')))
        return path.mid(base.size() + 1);
    return path;
}

QString AbsolutePath(const QString& typesFolder, const QString& storedPath)
{
    if (QFileInfo(storedPath).isAbsolute())
        return storedPath;
    return QDir::cleanPath(CleanAbsolute(typesFolder) + QLatin1Char('/') + storedPath);
}

bool ReadIndex(const QString& typesFolder, CatalogIndex& index, QString& error)
{
    index = CatalogIndex();
    const QString path = typesFolder + QLatin1Char('/') + QLatin1String(IndexFileName);
    if (!QFileInfo::exists(path))
        return true;
    QJsonObject root;
    return ReadJsonObject(path, root, error) && ParseIndex(root, path, index, error);
}

bool ParseIndex(const QJsonObject& root, const QString& path, CatalogIndex& index, QString& error)
{
    index = CatalogIndex();
    if (root.value(QStringLiteral("format")).toString() != QLatin1String(IndexFormat) ||
        root.value(QStringLiteral("version")).toInt() != IndexVersion) {
        error = QStringLiteral("%1 is not a catalog index of version %2").arg(path).arg(IndexVersion);
        return false;
    }
    const QJsonValue folders = root.value(QStringLiteral("folders"));
    const QJsonValue fileSets = root.value(QStringLiteral("fileSets"));
    if (!folders.isArray() || !fileSets.isArray()) {
        error = QStringLiteral("%1 lacks its folders or file sets").arg(path);
        return false;
    }
    for (const QJsonValue folder : folders.toArray()) {
        if (!folder.isString() || folder.toString().isEmpty()) {
            error = QStringLiteral("%1 records a folder that is not a path").arg(path);
            return false;
        }
        index.folders.append(folder.toString());
    }
    for (const QJsonValue value : fileSets.toArray()) {
        const QJsonObject object = value.toObject();
        IndexedFileSet entry;
        entry.file = object.value(QStringLiteral("file")).toString();
        entry.name = object.value(QStringLiteral("name")).toString();
        entry.programIdTemplate = object.value(QStringLiteral("programIdTemplate")).toString();
        entry.scope = object.value(QStringLiteral("scope")).toInt();
        for (const QJsonValue key : object.value(QStringLiteral("profiles")).toArray())
            entry.profileKeys.append(static_cast<quint16>(key.toInt()));
        for (const QJsonValue type : object.value(QStringLiteral("types")).toArray())
            entry.typeNames.append(type.toString());
        if (entry.file.isEmpty() || !IsProgramId(entry.programIdTemplate) || DigitsComparedAt(entry.scope) == 0) {
            error = QStringLiteral("%1 lists a file set without file, program-ID template or scope").arg(path);
            return false;
        }
        index.fileSets.append(entry);
    }
    for (const QJsonValue skipped : root.value(QStringLiteral("skipped")).toArray())
        index.skipped.append(skipped.toString());
    return true;
}

bool WriteIndex(const QString& typesFolder, const CatalogIndex& index, QString& error)
{
    QJsonArray fileSets;
    for (const IndexedFileSet& entry : index.fileSets) {
        QJsonArray keys;
        for (quint16 key : entry.profileKeys)
            keys.append(int(key));
        fileSets.append(QJsonObject{
            {QStringLiteral("file"), entry.file},
            {QStringLiteral("name"), entry.name},
            {QStringLiteral("programIdTemplate"), entry.programIdTemplate},
            {QStringLiteral("scope"), entry.scope},
            {QStringLiteral("profiles"), keys},
            {QStringLiteral("types"), QJsonArray::fromStringList(entry.typeNames)},
        });
    }
    const QJsonObject root{
        {QStringLiteral("format"), QLatin1String(IndexFormat)},
        {QStringLiteral("version"), IndexVersion},
        {QStringLiteral("folders"), QJsonArray::fromStringList(index.folders)},
        {QStringLiteral("fileSets"), fileSets},
        {QStringLiteral("skipped"), QJsonArray::fromStringList(index.skipped)},
    };
    // An index too big to be read back would leave the catalog unusable until someone deleted it:
    // the old index stays instead.
    const QByteArray bytes = QJsonDocument(root).toJson(QJsonDocument::Indented);
    if (bytes.size() > MaxJsonFileSize) {
        error = QStringLiteral("the catalog index would be larger than %1 bytes").arg(MaxJsonFileSize);
        return false;
    }
    // A reader never sees half an index: QSaveFile writes beside it and renames on commit.
    QSaveFile file(typesFolder + QLatin1Char('/') + QLatin1String(IndexFileName));
    if (!file.open(QIODevice::WriteOnly)) {
        error = QStringLiteral("the catalog index cannot be written: %1").arg(file.errorString());
        return false;
    }
    file.write(bytes);
    if (!file.commit()) {
        error = QStringLiteral("the catalog index cannot be written: %1").arg(file.errorString());
        return false;
    }
    return true;
}

CatalogIndex Scan(const QString& typesFolder, const QStringList& folders)
{
    CatalogIndex index;
    index.folders = folders;
    QSet<QString> seen;  // a folder recorded inside another one must not list its file sets twice
    for (const QString& folder : folders) {
        const QString root = AbsolutePath(typesFolder, folder);
        if (!QFileInfo(root).isDir())
            continue;  // kept recorded: it may come back, as a removable drive does
        QStringList found;
        QDirIterator it(root, QDir::Files | QDir::Readable, QDirIterator::Subdirectories);
        while (it.hasNext()) {
            const QString path = it.next();
            if (path.endsWith(QLatin1String(FileSetSuffix), Qt::CaseInsensitive))
                found.append(CleanAbsolute(path));
        }
        found.sort();
        for (const QString& path : found) {
            if (seen.contains(path))
                continue;
            seen.insert(path);
            const QString stored = StoredPath(typesFolder, path);
            QJsonObject document;
            QString error;
            IndexedFileSet entry;
            if (!ReadJsonObject(path, document, error) || !ValidateFileSet(document, entry, error)) {
                index.skipped.append(stored + QStringLiteral(": ") + error);
                continue;
            }
            entry.file = stored;
            index.fileSets.append(entry);
        }
    }
    return index;
}

}  // namespace catalog::files
