// The resource catalog as its callers use it: result codes, folders that count only after a rebuild,
// scope matching, profiles and type definitions.
#include "platform/catalog/CatalogFiles.h"
#include "platform/catalog/ResourceCatalog.h"

#include <fcntl.h>
#include <sys/stat.h>
#include <QDir>
#include <QFile>
#include <QJsonArray>
#include <QJsonDocument>
#include <QTemporaryDir>
#include <QTest>
#include <cstdio>

using namespace catalog;

namespace {

QJsonObject GenOptsType()
{
    return QJsonObject{
        {"separator", " "},
        {"fields",
         QJsonArray{
             QJsonObject{{"name", "ControlType"}, {"bytes", 1}, {"enum", QJsonObject{{"ON_OFF", 0}, {"FLOATING", 1}}}},
             QJsonObject{{"name", "HeatMax"}, {"bytes", 2}, {"signed", true}, {"scale", 0.01}, {"unit", "temperature"}},
         }},
    };
}

QJsonObject FileSet(const QString& name, const QString& programIdTemplate, int scope, const QList<int>& keys,
                    const QJsonObject& types = {})
{
    QJsonArray profiles;
    for (int key : keys)
        profiles.append(QJsonObject{{"key", key}, {"name", QStringLiteral("Profile %1").arg(key)}});
    QJsonObject document{{"format", "kr5m-file-set"},
                         {"version", 1},
                         {"name", name},
                         {"programIdTemplate", programIdTemplate},
                         {"scope", scope},
                         {"profiles", profiles}};
    if (!types.isEmpty())
        document.insert("types", types);
    return document;
}

void WriteFile(const QString& path, const QByteArray& bytes)
{
    QDir().mkpath(QFileInfo(path).path());
    QFile file(path);
    QVERIFY(file.open(QIODevice::WriteOnly));
    file.write(bytes);
}

void WriteJson(const QString& path, const QJsonObject& object)
{
    WriteFile(path, QJsonDocument(object).toJson());
}

// An installation whose folders are spelled differently from how callers write them.
struct Installation {
    QTemporaryDir dir;
    QString lonWorks() const { return dir.path() + "/LonWorks"; }
    QString user() const { return lonWorks() + "/Types/User"; }
    QString typesAsCallersWriteIt() const { return lonWorks() + "\\types"; }
    Installation() { QDir().mkpath(user()); }
};

// Adds the caller's folder and rebuilds; QVERIFY needs a void function.
void AddAndRebuild(const Installation& install, const QString& folder)
{
    ResourceCatalog catalog;
    qint32 handle = 0;
    QCOMPARE(catalog.CatalogOpen(install.typesAsCallersWriteIt(), 0, handle), ResultOk);
    QCOMPARE(catalog.CatalogAddFolder(handle, folder), ResultOk);
    QCOMPARE(catalog.CatalogRebuild(handle), ResultOk);
    QCOMPARE(catalog.CatalogClose(handle), ResultOk);
}

qint32 Find(const Installation& install, const QString& programId, qint16 scope, QString* fileName = nullptr)
{
    ResourceCatalog catalog;
    qint32 handle = 0;
    const qint32 opened = catalog.CatalogOpen(install.typesAsCallersWriteIt(), 1, handle);
    if (opened != ResultOk)
        return opened;
    QString file;
    qint32 value1 = 0;
    qint32 value2 = 0;
    const qint32 result = catalog.CatalogFindFileSet(handle, programId, scope, 3, 0, file, value1, value2);
    if (fileName)
        *fileName = file;
    catalog.CatalogClose(handle);
    return result;
}

}  // namespace

class TestResourceCatalog : public QObject {
    Q_OBJECT
private slots:
    void openResults_data();
    void openResults();
    void folderCountsOnlyAfterRebuild();
    void rebuildRescansRecordedFolders();
    void scopeMatching_data();
    void scopeMatching();
    void handlesAndModes();
    void findProfile_data();
    void findProfile();
    void fileSetOpenResults();
    void typeDefinitions();
    void invalidFileSetsAreSkipped_data();
    void invalidFileSetsAreSkipped();
    void badIndexFile_data();
    void badIndexFile();
    void changedFileSetIsReadAgain();
    void anIndexTooBigToReadIsNotWritten();
};

void TestResourceCatalog::openResults_data()
{
    QTest::addColumn<QString>("folder");
    QTest::addColumn<int>("mode");
    QTest::addColumn<bool>("opens");
    QTest::newRow("types in other case, for adding") << "\\TYPES" << 0 << true;
    QTest::newRow("types, for reading") << "\\types" << 1 << true;
    QTest::newRow("missing folder") << "\\types\\Nowhere" << 1 << false;
    QTest::newRow("unknown mode") << "\\types" << 7 << false;
}

void TestResourceCatalog::openResults()
{
    QFETCH(QString, folder);
    QFETCH(int, mode);
    QFETCH(bool, opens);
    Installation install;
    ResourceCatalog catalog;
    qint32 handle = -1;
    const qint32 result = catalog.CatalogOpen(install.lonWorks() + folder, mode, handle);
    if (opens) {
        QCOMPARE(result, ResultOk);
        QVERIFY(handle != 0);
        QCOMPARE(catalog.CatalogClose(handle), ResultOk);
    } else {
        QVERIFY(result != ResultOk && result != ResultNotFound);
        QCOMPARE(handle, 0);
    }
}

void TestResourceCatalog::folderCountsOnlyAfterRebuild()
{
    Installation install;
    WriteJson(install.user() + "/Kestrova/kr5m.fset.json", FileSet("KR5M", "8000D35500000000", 4, {20010}));

    ResourceCatalog catalog;
    qint32 handle = 0;
    QCOMPARE(catalog.CatalogOpen(install.typesAsCallersWriteIt(), 0, handle), ResultOk);
    QString file;
    qint32 value1 = 0, value2 = 0;
    QCOMPARE(catalog.CatalogFindFileSet(handle, "8000D35500000000", 4, 3, 0, file, value1, value2), ResultNotFound);
    QCOMPARE(catalog.CatalogAddFolder(handle, install.lonWorks() + "\\types\\User"), ResultOk);
    QCOMPARE(catalog.CatalogFindFileSet(handle, "8000D35500000000", 4, 3, 0, file, value1, value2), ResultNotFound);
    QCOMPARE(catalog.CatalogRebuild(handle), ResultOk);
    QCOMPARE(catalog.CatalogFindFileSet(handle, "8000D35500000000", 4, 3, 0, file, value1, value2), ResultOk);
    QCOMPARE(QFileInfo(file).canonicalFilePath(),
             QFileInfo(install.user() + "/Kestrova/kr5m.fset.json").canonicalFilePath());
    QCOMPARE(catalog.CatalogClose(handle), ResultOk);

    // The index outlives the catalog object: a later reader finds the set too.
    QCOMPARE(Find(install, "8000D3550004040B", 4), ResultOk);
}

void TestResourceCatalog::rebuildRescansRecordedFolders()
{
    Installation install;
    const QString first = install.user() + "/a.fset.json";
    WriteJson(first, FileSet("A", "8000D35500000000", 4, {}));
    AddAndRebuild(install, install.lonWorks() + "\\types\\user");
    QCOMPARE(Find(install, "8000D35500000000", 4), ResultOk);
    QCOMPARE(Find(install, "8000D3550004040B", 6), ResultNotFound);

    // A set added later and one removed are seen by the next rebuild only.
    WriteJson(install.user() + "/deep/er/b.fset.json", FileSet("B", "8000D3550004040B", 6, {}));
    QFile::remove(first);
    QCOMPARE(Find(install, "8000D3550004040B", 6), ResultNotFound);
    AddAndRebuild(install, install.lonWorks() + "\\types\\user");  // recording twice changes nothing
    QCOMPARE(Find(install, "8000D3550004040B", 6), ResultOk);
    QCOMPARE(Find(install, "8000D35500000000", 4), ResultNotFound);
}

void TestResourceCatalog::scopeMatching_data()
{
    QTest::addColumn<QString>("setTemplate");
    QTest::addColumn<int>("setScope");
    QTest::addColumn<QString>("programId");
    QTest::addColumn<int>("scope");
    QTest::addColumn<int>("expected");  // -1: a failure other than "not found"
    // Each scope: agreeing on its digits while the next one differs matches; its last digit differing does not.
    QTest::newRow("3: first 6 agree") << "8000D30000000000" << 3 << "8000D3F000000000" << 3 << ResultOk;
    QTest::newRow("3: digit 6 differs") << "8000D30000000000" << 3 << "8000D40000000000" << 3 << ResultNotFound;
    QTest::newRow("4: first 10 agree") << "8000D35500000000" << 4 << "8000D35500F00000" << 4 << ResultOk;
    QTest::newRow("4: digit 10 differs") << "8000D35500000000" << 4 << "8000D35501000000" << 4 << ResultNotFound;
    QTest::newRow("5: first 12 agree") << "8000D35500040000" << 5 << "8000D3550004F000" << 5 << ResultOk;
    QTest::newRow("5: digit 12 differs") << "8000D35500040000" << 5 << "8000D35500050000" << 5 << ResultNotFound;
    QTest::newRow("6: all agree") << "8000D3550004040B" << 6 << "8000D3550004040B" << 6 << ResultOk;
    QTest::newRow("6: digit 16 differs") << "8000D3550004040B" << 6 << "8000D3550004040C" << 6 << ResultNotFound;
    QTest::newRow("case ignored") << "8000D3550004040B" << 6 << "8000d3550004040b" << 6 << ResultOk;
    QTest::newRow("other scope not used") << "8000D35500000000" << 4 << "8000D35500000000" << 3 << ResultNotFound;
    QTest::newRow("not a program ID") << "8000D35500000000" << 4 << "8000D355" << 4 << -1;
    QTest::newRow("unknown scope") << "8000D35500000000" << 4 << "8000D35500000000" << 2 << -1;
}

void TestResourceCatalog::scopeMatching()
{
    QFETCH(QString, setTemplate);
    QFETCH(int, setScope);
    QFETCH(QString, programId);
    QFETCH(int, scope);
    QFETCH(int, expected);
    Installation install;
    WriteJson(install.user() + "/set.fset.json", FileSet("S", setTemplate, setScope, {}));
    AddAndRebuild(install, install.user());
    const qint32 result = Find(install, programId, qint16(scope));
    if (expected < 0)
        QVERIFY(result != ResultOk && result != ResultNotFound);
    else
        QCOMPARE(result, expected);
}

void TestResourceCatalog::handlesAndModes()
{
    Installation install;
    ResourceCatalog catalog;
    qint32 reading = 0;
    QCOMPARE(catalog.CatalogOpen(install.typesAsCallersWriteIt(), 1, reading), ResultOk);
    QVERIFY(catalog.CatalogAddFolder(reading, install.user()) != ResultOk);  // opened for reading
    QVERIFY(catalog.CatalogRebuild(reading) != ResultOk);
    qint32 adding = 0;
    QCOMPARE(catalog.CatalogOpen(install.typesAsCallersWriteIt(), 0, adding), ResultOk);
    QVERIFY(adding != reading);
    QVERIFY(catalog.CatalogAddFolder(adding, install.lonWorks() + "\\types\\Missing") != ResultOk);
    QCOMPARE(catalog.CatalogClose(reading), ResultOk);
    QCOMPARE(catalog.CatalogClose(adding), ResultOk);
    QVERIFY(catalog.CatalogClose(adding) != ResultOk);
    QString file;
    qint32 value1 = 0, value2 = 0;
    const qint32 result = catalog.CatalogFindFileSet(adding, "8000D35500000000", 4, 3, 0, file, value1, value2);
    QVERIFY(result != ResultOk && result != ResultNotFound);
}

void TestResourceCatalog::findProfile_data()
{
    QTest::addColumn<int>("key");
    QTest::addColumn<int>("expected");
    QTest::newRow("described") << 20010 << ResultOk;
    QTest::newRow("node object") << 0 << ResultOk;
    QTest::newRow("above 32767") << 40000 << ResultOk;
    QTest::newRow("not described") << 20011 << ResultNotFound;
}

void TestResourceCatalog::findProfile()
{
    QFETCH(int, key);
    QFETCH(int, expected);
    Installation install;
    WriteJson(install.user() + "/set.fset.json", FileSet("S", "8000D35500000000", 4, {0, 20010, 40000}));
    AddAndRebuild(install, install.user());

    ResourceCatalog catalog;
    qint32 handle = 0;
    QCOMPARE(catalog.CatalogOpen(install.typesAsCallersWriteIt(), 1, handle), ResultOk);
    QString file;
    qint32 value1 = 0, value2 = 0;
    QCOMPARE(catalog.CatalogFindFileSet(handle, "8000D3550004040B", 4, 4, 0, file, value1, value2), ResultOk);
    FileSets sets;
    qint32 setHandle = 0;
    QCOMPARE(sets.FileSetOpen(file, 4, value1, 0, setHandle), ResultOk);
    FunctionalProfiles profiles;
    QCOMPARE(profiles.FileSetFindProfile(sets, setHandle, static_cast<qint16>(key)), expected);
    QCOMPARE(sets.FileSetClose(setHandle), ResultOk);
    QVERIFY(profiles.FileSetFindProfile(sets, setHandle, static_cast<qint16>(key)) != ResultOk);
    QCOMPARE(catalog.CatalogClose(handle), ResultOk);
}

void TestResourceCatalog::fileSetOpenResults()
{
    Installation install;
    const QString good = install.user() + "/good.fset.json";
    const QString broken = install.user() + "/broken.fset.json";
    WriteJson(good, FileSet("G", "8000D35500000000", 4, {1}));
    WriteFile(broken, "{ not json");
    FileSets sets;
    qint32 handle = -1;
    QCOMPARE(sets.FileSetOpen(install.user() + "/none.fset.json", 4, 1, 0, handle), ResultNotFound);
    QVERIFY(sets.FileSetOpen(broken, 4, 1, 0, handle) != ResultOk);
    QVERIFY(sets.FileSetOpen(good, 1, 1, 0, handle) != ResultOk);
    QCOMPARE(sets.FileSetOpen(install.lonWorks() + "\\TYPES\\user\\GOOD.fset.json", 4, 1, 0, handle), ResultOk);
    QCOMPARE(sets.fileSetDocument(handle)->value("name").toString(), QString("G"));
    QCOMPARE(sets.FileSetClose(handle), ResultOk);
    QVERIFY(sets.FileSetClose(handle) != ResultOk);
    QVERIFY(!sets.fileSetDocument(handle));
}

void TestResourceCatalog::typeDefinitions()
{
    Installation install;
    WriteJson(install.user() + "/set.fset.json",
              FileSet("S", "8000D35500000000", 4, {}, QJsonObject{{"UNVT_fc_gen_opts", GenOptsType()}}));
    QVERIFY(!FindTypeDefinition(install.lonWorks(), "UNVT_fc_gen_opts"));  // not indexed yet
    AddAndRebuild(install, install.user());
    QCOMPARE(TypesFolder(install.lonWorks()), install.lonWorks() + "/Types");
    const std::optional<QJsonObject> found = FindTypeDefinition(install.lonWorks(), "UNVT_fc_gen_opts");
    QVERIFY(found);
    QCOMPARE(*found, GenOptsType());
    QVERIFY(!FindTypeDefinition(install.lonWorks(), "UNVT_rh_model"));
    QVERIFY(!FindTypeDefinition(install.dir.path() + "/Elsewhere", "UNVT_fc_gen_opts"));
}

void TestResourceCatalog::invalidFileSetsAreSkipped_data()
{
    QTest::addColumn<QByteArray>("content");
    auto withType = [](const QJsonObject& type) {
        return QJsonDocument(FileSet("T", "8000D35500000000", 4, {}, QJsonObject{{"UNVT_x", type}})).toJson();
    };
    auto field = [](const QJsonObject& f) { return QJsonObject{{"fields", QJsonArray{f}}}; };
    QTest::newRow("not JSON") << QByteArray("{");
    QTest::newRow("foreign format") << QByteArray(
        R"({"format":"other","version":1,"name":"T","programIdTemplate":"8000D35500000000","scope":4})");
    QTest::newRow("short template") << QJsonDocument(FileSet("T", "8000D355", 4, {})).toJson();
    QTest::newRow("scope 7") << QJsonDocument(FileSet("T", "8000D35500000000", 7, {})).toJson();
    QTest::newRow("profile key too big") << QJsonDocument(FileSet("T", "8000D35500000000", 4, {70000})).toJson();
    QTest::newRow("type without fields") << withType(QJsonObject{{"separator", " "}});
    QTest::newRow("field of 3 bytes") << withType(field({{"name", "F"}, {"bytes", 3}}));
    QTest::newRow("negative scale") << withType(field({{"name", "F"}, {"bytes", 1}, {"scale", -1}}));
    QTest::newRow("unknown unit") << withType(field({{"name", "F"}, {"bytes", 2}, {"unit", "pressure"}}));
    QTest::newRow("enum value too big") << withType(
        field({{"name", "F"}, {"bytes", 1}, {"enum", QJsonObject{{"A", 256}}}}));
    QTest::newRow("enum value twice") << withType(
        field({{"name", "F"}, {"bytes", 1}, {"enum", QJsonObject{{"A", 1}, {"B", 1}}}}));
    QTest::newRow("enum name with blank")
        << withType(field({{"name", "F"}, {"bytes", 1}, {"enum", QJsonObject{{"A B", 1}}}}));
}

void TestResourceCatalog::invalidFileSetsAreSkipped()
{
    QFETCH(QByteArray, content);
    Installation install;
    WriteFile(install.user() + "/bad.fset.json", content);
    WriteJson(install.user() + "/good.fset.json", FileSet("G", "8000D3550004040B", 6, {}));
    AddAndRebuild(install, install.user());
    QCOMPARE(Find(install, "8000D3550004040B", 6), ResultOk);  // one bad file spoils nothing else
    QCOMPARE(Find(install, "8000D35500000000", 4), ResultNotFound);
    QVERIFY(!FindTypeDefinition(install.lonWorks(), "UNVT_x"));
}

void TestResourceCatalog::badIndexFile_data()
{
    QTest::addColumn<QByteArray>("index");
    QTest::newRow("garbage") << QByteArray("\x01\x02garbage");
    QTest::newRow("array") << QByteArray("[1, 2]");
    QTest::newRow("other format") << QByteArray(R"({"format":"x","version":1,"folders":[],"fileSets":[]})");
    QTest::newRow("file sets missing") << QByteArray(
        R"({"format":"kr5m-resource-catalog-index","version":1,"folders":[]})");
    QTest::newRow("entry without scope") << QByteArray(
        R"({"format":"kr5m-resource-catalog-index","version":1,"folders":[],)"
        R"("fileSets":[{"file":"a.fset.json","programIdTemplate":"8000D35500000000","types":["T"]}]})");
}

void TestResourceCatalog::badIndexFile()
{
    QFETCH(QByteArray, index);
    Installation install;
    WriteJson(install.user() + "/set.fset.json",
              FileSet("S", "8000D35500000000", 4, {}, QJsonObject{{"T", GenOptsType()}}));
    AddAndRebuild(install, install.user());
    QCOMPARE(Find(install, "8000D35500000000", 4), ResultOk);
    const QStringList indexFiles = QDir(install.lonWorks() + "/Types").entryList({"*.json"}, QDir::Files);
    QCOMPARE(indexFiles.size(), 1);
    WriteFile(install.lonWorks() + "/Types/" + indexFiles.first(), index);

    const qint32 result = Find(install, "8000D35500000000", 4);
    QVERIFY(result != ResultOk && result != ResultNotFound);
    QVERIFY(!FindTypeDefinition(install.lonWorks(), "T"));
}

// A file set read once is kept parsed; every kind of change must still reach the next reader, even
// one that keeps the size or puts the modification time back.
void TestResourceCatalog::changedFileSetIsReadAgain()
{
    Installation install;
    const QStringList changes{"rewrite", "rewrite, time put back", "rename", "remove"};
    const QByteArray before = QJsonDocument(FileSet("S", "8000D35500000000", 4, {20010})).toJson();
    const QByteArray after = QJsonDocument(FileSet("S", "8000D35500000000", 4, {20011})).toJson();
    QCOMPARE(after.size(), before.size());
    const auto pathOf = [&](const QString& change) {
        return install.user() + "/" + QString(change).replace(' ', '_') + ".fset.json";
    };
    for (const QString& change : changes)
        WriteFile(pathOf(change), before);

    FileSets sets;
    FunctionalProfiles profiles;
    const auto profileFound = [&](const QString& change, qint16 key) {
        qint32 handle = 0;
        const qint32 opened = sets.FileSetOpen(pathOf(change), 4, 0, 0, handle);
        const qint32 found = opened == ResultOk ? profiles.FileSetFindProfile(sets, handle, key) : opened;
        sets.FileSetClose(handle);
        return found;
    };
    // Files changed just now are read afresh anyway: let them settle so that the kept copies are used.
    QVERIFY(!files::FileStamp::of(pathOf("rename")).unchanged());
    QTest::qSleep(1100);
    QVERIFY(files::FileStamp::of(pathOf("rename")).unchanged());
    for (const QString& change : changes)
        QCOMPARE(profileFound(change, 20010), ResultOk);

    for (const QString& change : changes) {
        const QString path = pathOf(change);
        struct stat old {};
        QCOMPARE(::stat(QFile::encodeName(path).constData(), &old), 0);
        if (change.startsWith("rewrite")) {
            WriteFile(path, after);
            if (change.endsWith("put back")) {
                // To the nanosecond, as a copy that keeps times does.
                const timespec times[2] = {old.st_atim, old.st_mtim};
                QCOMPARE(::utimensat(AT_FDCWD, QFile::encodeName(path).constData(), times, 0), 0);
            }
        } else if (change == "rename") {
            // Replaced as a save does it: a new file renamed over the old one.
            WriteFile(path + ".new", after);
            QCOMPARE(std::rename(QFile::encodeName(path + ".new").constData(), QFile::encodeName(path).constData()), 0);
        } else {
            QVERIFY(QFile::remove(path));
        }
    }
    for (const QString& change : changes) {
        QCOMPARE(profileFound(change, 20010), ResultNotFound);
        if (change != "remove")
            QCOMPARE(profileFound(change, 20011), ResultOk);
    }
}

// File sets that are each small enough, but whose type names together would make an index larger
// than the catalog reads: the rebuild fails and the index that was there stays usable.
void TestResourceCatalog::anIndexTooBigToReadIsNotWritten()
{
    Installation install;
    WriteJson(install.user() + "/small.fset.json", FileSet("S", "8000D35500000000", 4, {}));
    AddAndRebuild(install, install.user());
    const QString longName = QString(100, 'N');
    for (const QString set : {"big1", "big2"}) {
        QJsonObject types;
        for (int i = 0; i < 20000; ++i)
            types.insert(QStringLiteral("UNVT_%1_%2_%3").arg(set).arg(i).arg(longName),
                         QJsonObject{{"fields", QJsonArray{QJsonObject{{"name", "F"}, {"bytes", 1}}}}});
        const QByteArray bytes =
            QJsonDocument(FileSet(set, "8000D3550004040B", 6, {}, types)).toJson(QJsonDocument::Compact);
        QVERIFY(bytes.size() < files::MaxJsonFileSize);
        WriteFile(install.user() + "/" + set + ".fset.json", bytes);
    }
    ResourceCatalog catalog;
    qint32 handle = 0;
    QCOMPARE(catalog.CatalogOpen(install.typesAsCallersWriteIt(), 0, handle), ResultOk);
    QVERIFY(catalog.CatalogRebuild(handle) != ResultOk);
    QCOMPARE(catalog.CatalogClose(handle), ResultOk);
    QCOMPARE(Find(install, "8000D35500000000", 4), ResultOk);
}

QTEST_GUILESS_MAIN(TestResourceCatalog)
#include "tst_resourcecatalog.moc"
