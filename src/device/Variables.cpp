#include "device/Variables.h"

#include "device/CNvCpTable.h"
#include "device/Global.h"

#include <algorithm>

namespace device {

namespace {

struct NvRow {
    const char* name;
    const char* key;
    const char* lookedUpAs;
    const char* description;
    const char* format;
    const char* separator;
    bool localizationSpecific;
    const char* relative;
};

// The variables of the device, in the order the window reads them.
// One variable a line: the formatter leaves the table alone.
// clang-format off
const NvRow NvRows[] = {
    {"nciSetPts", "nciSetPts", "nciSetPts", "Heating / Cooling Setpoints", "SNVT_temp_setpt", ",", true, "Network Variables:0"},
    {"nciRHmodel", "nciRHmodel", "nciRHmodel", "", "UNVT_rh_model", " ", false, "Network Variables:4"},
    {"nciGenOpts", "nciGenOpts", "nciGenOpts", "Device General Options", "UNVT_fc_gen_opts", " ", true, "Network Variables:4"},
    {"nciSccModel", "nciSccModel", "nciSccModel", "Model number and version", "UNVT_model_info2", " ", false, "Network Variables:4"},
    {"nciHvacType", "nciHvacType", "nciHvacType", "", "SNVT_hvac_type", " ", false, "Network Variables:4"},
    {"nciSndHrtBt", "nciSndHrtBt", "nciSndHrtBt", "", "SNVT_time_sec", " ", false, "Network Variables:4"},
    {"nciMinOutTm", "nciMinOutTm", "nciMinOutTm", "", "SNVT_time_sec", " ", false, "Network Variables:4"},
    {"nciRcvHrtBt", "nciRcvHrtBt", "nciRcvHrtBt", "", "SNVT_time_sec", " ", false, "Network Variables:4"},
    {"nciMajVer", "nciMajVer", "nciMajVer", "nciMajVer", "INT", " ", false, "Network Variables:4"},
    {"nciMinVer", "nciMinVer", "nciMinVer", "nciMinVer", "INT", " ", false, "Network Variables:4"},
    // The model variable once more, raw, only for the numeric model code.
    {"nciSccModel (Raw)", "nciSccModelRaw", "nciSccModel", "Model number and version", "RAW", "\t", false, "Network Variables:4"},
};
// clang-format on

CNvCpTable& AddNvTable(NvTableSet& tables, lns::NetworkVariables& nvs, const NvRow& row, const qint16* units,
                       const QString& lonWorksPath)
{
    auto table = std::make_shared<CNvCpTable>();
    table->Name = QString::fromLatin1(row.name);
    table->Description = QString::fromLatin1(row.description);
    table->Separator = QString::fromLatin1(row.separator);
    table->Format = QString::fromLatin1(row.format);
    table->Relative = QString::fromLatin1(row.relative);
    table->LocalizationSpecific = row.localizationSpecific;
    table->Units = units;
    table->Key = QString::fromLatin1(row.key);
    table->LonWorksPath = lonWorksPath;
    table->MyNetworkVariable = nvs.NvCollectionItem(QString::fromLatin1(row.lookedUpAs));
    CNvCpTable& added = *table;
    tables.Add(std::move(table), QString::fromLatin1(row.key));
    return added;
}

}  // namespace

void BuildNvTables(NvTableSet& tables, lns::NetworkVariables& nvs, const qint16* units, const QString& lonWorksPath)
{
    for (const NvRow& row : NvRows)
        AddNvTable(tables, nvs, row, units, lonWorksPath);
}

CNvCpTable& BuildNvTable(NvTableSet& tables, lns::NetworkVariables& nvs, const QString& key, const qint16* units,
                         const QString& lonWorksPath)
{
    const auto row = std::find_if(std::begin(NvRows), std::end(NvRows), [&](const NvRow& each) {
        return key.compare(QLatin1String(each.key), Qt::CaseInsensitive) == 0;
    });
    if (row == std::end(NvRows))
        Global::Raise(Global::ErrSubscriptOutOfRange, QStringLiteral("BuildNvTable"));
    return AddNvTable(tables, nvs, *row, units, lonWorksPath);
}

}  // namespace device
