// The demo installation's resource files: copied into a fresh installation they register the way the
// plug-in does it, answer the DRF look-up per model, and define the thermostat's types to match its
// XIFs and the window's choice lists.
#include "platform/catalog/ResourceCatalog.h"
#include "platform/objectserver/Xif.h"
#include "support/TestEnvironment.h"

#include <QDir>
#include <QDirIterator>
#include <QFile>
#include <QJsonArray>
#include <QTemporaryDir>
#include <QTest>

using namespace catalog;

namespace {

void CopyTree(const QString& from, const QString& to)
{
    QDirIterator it(from, QDir::Files, QDirIterator::Subdirectories);
    while (it.hasNext()) {
        const QString source = it.next();
        const QString target = to + "/" + QDir(from).relativeFilePath(source);
        QDir().mkpath(QFileInfo(target).path());
        QVERIFY(QFile::copy(source, target));
    }
}

QString DemoDir()
{
    return testsupport::SourceDir() + "/demo";
}

// The first scope from 6 down to 3 whose file set describes the profile, 0 when none does.
int LookUpScope(const QString& types, const QString& programId, qint16 key)
{
    ResourceCatalog catalog;
    FileSets sets;
    FunctionalProfiles profiles;
    qint32 handle = 0;
    if (catalog.CatalogOpen(types, 1, handle) != ResultOk)
        return -1;
    int found = 0;
    for (qint16 scope = 6; scope >= 3 && found == 0; --scope) {
        QString file;
        qint32 value1 = 0, value2 = 0;
        if (catalog.CatalogFindFileSet(handle, programId, scope, 4, 0, file, value1, value2) != ResultOk)
            continue;
        qint32 setHandle = 0;
        if (sets.FileSetOpen(file, 4, value1, 0, setHandle) != ResultOk)
            return -1;
        if (profiles.FileSetFindProfile(sets, setHandle, key) == ResultOk)
            found = scope;
        sets.FileSetClose(setHandle);
    }
    catalog.CatalogClose(handle);
    return found;
}

}  // namespace

class TestDemoCatalog : public QObject {
    Q_OBJECT
private slots:
    void init();
    void registersLikeThePlugIn();
    void drfLookUp_data();
    void drfLookUp();
    void enumerations_data();
    void enumerations();
    void typeSizesMatchTheXifs_data();
    void typeSizesMatchTheXifs();

private:
    std::unique_ptr<QTemporaryDir> m_dir;
    QString lonWorks() const { return m_dir->path() + "/LonWorks"; }
    QString types() const { return lonWorks() + "\\Types"; }
};

void TestDemoCatalog::init()
{
    m_dir = std::make_unique<QTemporaryDir>();
    CopyTree(DemoDir() + "/types", lonWorks() + "/types");
    ResourceCatalog catalog;
    qint32 handle = 0;
    QCOMPARE(catalog.CatalogOpen(types(), 0, handle), ResultOk);
    QCOMPARE(catalog.CatalogAddFolder(handle, lonWorks() + "\\types\\User"), ResultOk);
    QCOMPARE(catalog.CatalogRebuild(handle), ResultOk);
    QCOMPARE(catalog.CatalogClose(handle), ResultOk);
}

void TestDemoCatalog::registersLikeThePlugIn()
{
    ResourceCatalog catalog;
    qint32 handle = 0;
    QCOMPARE(catalog.CatalogOpen(types(), 1, handle), ResultOk);
    QString file;
    qint32 value1 = 0, value2 = 0;
    QCOMPARE(catalog.CatalogFindFileSet(handle, "8000D35500000000", 4, 3, 0, file, value1, value2), ResultOk);
    QVERIFY(file.contains("/User/Kestrova/"));
    QCOMPARE(catalog.CatalogClose(handle), ResultOk);
}

void TestDemoCatalog::drfLookUp_data()
{
    QTest::addColumn<QString>("programId");
    QTest::addColumn<int>("key");
    QTest::addColumn<int>("scope");
    QTest::newRow("non-RoHS fan coil: exact set") << "8000D3550004040B" << 20010 << 6;
    QTest::newRow("RoHS fan coil: model set") << "8000D3550004041B" << 20010 << 4;
    QTest::newRow("non-RoHS humidity: maker set") << "8000D3550004040B" << 20030 << 3;
    QTest::newRow("RoHS humidity: maker set") << "8000D3550004041B" << 20030 << 3;
    QTest::newRow("node object: none") << "8000D3550004040B" << 0 << 0;
}

void TestDemoCatalog::drfLookUp()
{
    QFETCH(QString, programId);
    QFETCH(int, key);
    QFETCH(int, scope);
    QCOMPARE(LookUpScope(types(), programId, qint16(key)), scope);
}

void TestDemoCatalog::enumerations_data()
{
    QTest::addColumn<QString>("type");
    QTest::addColumn<int>("position");
    QTest::addColumn<QString>("field");
    QTest::addColumn<QStringList>("names");
    const QString g = "UNVT_fc_gen_opts";
    QTest::newRow("ControlType") << g << 0 << "ControlType" << QStringList{"ON_OFF", "FLOATING"};
    QTest::newRow("CyclePerHour") << g << 2 << "CyclePerHour" << QStringList{"3", "4", "5", "6", "7", "8"};
    QTest::newRow("ReverseAOut") << g << 3 << "ReverseAOut" << QStringList{"OFF", "ON"};
    QTest::newRow("DigitalInput1") << g << 4 << "DigitalInput1"
                                   << QStringList{"NONE", "REM_NSB", "MOTION_NO", "MOTION_NC", "WINDOW"};
    QTest::newRow("DigitalInput2") << g << 5 << "DigitalInput2"
                                   << QStringList{"NONE", "DOOR_DRY", "OVERRIDE", "SERVICE", "FILTER"};
    QTest::newRow("DigitalInput3") << g << 6 << "DigitalInput3" << QStringList{"NONE", "COC_NH", "COC_NC", "COS", "SS"};
    QTest::newRow("MenuScroll") << g << 7 << "MenuScroll" << QStringList{"NO_SCROLL", "SCROLL_ACTIVE"};
    QTest::newRow("AutoMode") << g << 8 << "AutoMode" << QStringList{"OFF", "ON"};
    QTest::newRow("TempScale") << g << 9 << "TempScale" << QStringList{"CELSIUS", "FAHRENHEIT"};
    QTest::newRow("Pipes") << g << 10 << "Pipes" << QStringList{"TWO_PIPE", "FOUR_PIPE"};
    QTest::newRow("SeqOpera") << g << 11 << "SeqOpera"
                              << QStringList{"COOLING_ONLY",     "HEATING_ONLY", "COOLING_W_REHEAT",
                                             "HEATING_W_REHEAT", "HEAT_COOL",    "HEAT_COOL_W_REHEAT"};
    QTest::newRow("FanMenu") << g << 12 << "FanMenu"
                             << QStringList{"LOW_MED_HIGH", "LOW_HIGH", "LOW_MED_HIGH_AUTO", "LOW_HIGH_AUTO",
                                            "ON_AUTO"};
    QTest::newRow("SetpointType") << g << 15 << "SetpointType" << QStringList{"PERMANENT", "TEMPORARY"};
    QTest::newRow("AuxCont") << g << 20 << "AuxCont"
                             << QStringList{"USED_FOR_REHEAT",    "NO_WITH_OCCUPANCY",  "NC_WITH_OCCUPANCY",
                                            "NO_WITH_OCC_FAN_ON", "NC_WITH_OCC_FAN_ON", "REMOTE_CONTROL"};
    QTest::newRow("Reheat") << g << 21 << "Reheat" << QStringList{"RTB_15_MINUTES", "RTB_10_SECONDS"};
    QTest::newRow("RHdisplay") << "UNVT_rh_model" << 0 << "RHdisplay" << QStringList{"OFF", "ON"};
}

void TestDemoCatalog::enumerations()
{
    QFETCH(QString, type);
    QFETCH(int, position);
    QFETCH(QString, field);
    QFETCH(QStringList, names);
    const std::optional<QJsonObject> definition = FindTypeDefinition(lonWorks(), type);
    QVERIFY(definition);
    const QJsonObject f = definition->value("fields").toArray().at(position).toObject();
    QCOMPARE(f.value("name").toString(), field);
    const QJsonObject enumeration = f.value("enum").toObject();
    QCOMPARE(enumeration.size(), names.size());
    for (int i = 0; i < names.size(); ++i)
        QCOMPARE(enumeration.value(names.at(i)).toInt(-1), i);
}

void TestDemoCatalog::typeSizesMatchTheXifs_data()
{
    QTest::addColumn<QString>("xif");
    QTest::newRow("non-RoHS") << "KR5M-HU.xif";
    QTest::newRow("RoHS") << "KR5M-HU-RoHS.xif";
}

void TestDemoCatalog::typeSizesMatchTheXifs()
{
    QFETCH(QString, xif);
    const lns::xif::InterfaceDefinition definition = lns::xif::ParseXif(DemoDir() + "/import/" + xif);
    int userTypes = 0;
    for (const lns::xif::NvDefinition& nv : definition.networkVariables) {
        if (!nv.typeName.startsWith("UNVT_"))
            continue;
        ++userTypes;
        const std::optional<QJsonObject> type = FindTypeDefinition(lonWorks(), nv.typeName);
        QVERIFY2(type, qPrintable(nv.typeName));
        int bytes = 0;
        for (const QJsonValue& field : type->value("fields").toArray())
            bytes += field.toObject().value("bytes").toInt();
        QCOMPARE(bytes, nv.size);
    }
    QCOMPARE(userTypes, 3);
    const std::optional<QJsonObject> genOpts = FindTypeDefinition(lonWorks(), "UNVT_fc_gen_opts");
    QCOMPARE(genOpts->value("fields").toArray().size(), 22);
    QCOMPARE(FindTypeDefinition(lonWorks(), "UNVT_rh_model")->value("fields").toArray().size(), 5);
}

QTEST_GUILESS_MAIN(TestDemoCatalog)
#include "tst_democatalog.moc"
