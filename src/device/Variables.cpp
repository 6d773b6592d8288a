#include "device/Variables.h"

#include "device/CNvCpTable.h"
#include "device/Global.h"

#include <algorithm>
#include <vector>

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

// The rows as texts, made once: a profile apply builds the tables it needs anew on every device.
struct NvTexts {
    QString name, key, lookedUpAs, description, format, separator, relative;
    bool localizationSpecific;
};

const std::vector<NvTexts>& Rows()
{
    static const std::vector<NvTexts> rows = [] {
        std::vector<NvTexts> texts;
        for (const NvRow& row : NvRows)
            texts.push_back({QString::fromLatin1(row.name), QString::fromLatin1(row.key),
                             QString::fromLatin1(row.lookedUpAs), QString::fromLatin1(row.description),
                             QString::fromLatin1(row.format), QString::fromLatin1(row.separator),
                             QString::fromLatin1(row.relative), row.localizationSpecific});
        return texts;
    }();
    return rows;
}

CNvCpTable& AddNvTable(NvTableSet& tables, lns::NetworkVariables& nvs, const NvTexts& row, const qint16* units,
                       const QString& lonWorksPath)
{
    auto table = std::make_shared<CNvCpTable>();
    table->Name = row.name;
    table->Description = row.description;
    table->Separator = row.separator;
    table->Format = row.format;
    table->Relative = row.relative;
    table->LocalizationSpecific = row.localizationSpecific;
    table->Units = units;
    table->Key = row.key;
    table->LonWorksPath = lonWorksPath;
    table->MyNetworkVariable = nvs.NvCollectionItem(row.lookedUpAs);
    CNvCpTable& added = *table;
    tables.Add(std::move(table), row.key);
    return added;
}

}  // namespace

void BuildNvTables(NvTableSet& tables, lns::NetworkVariables& nvs, const qint16* units, const QString& lonWorksPath)
{
    for (const NvTexts& row : Rows())
        AddNvTable(tables, nvs, row, units, lonWorksPath);
}

CNvCpTable& BuildNvTable(NvTableSet& tables, lns::NetworkVariables& nvs, const QString& key, const qint16* units,
                         const QString& lonWorksPath)
{
    const std::vector<NvTexts>& rows = Rows();
    const auto row = std::find_if(rows.begin(), rows.end(),
                                  [&](const NvTexts& each) { return key.compare(each.key, Qt::CaseInsensitive) == 0; });
    if (row == rows.end())
        Global::Raise(Global::ErrSubscriptOutOfRange, QStringLiteral("BuildNvTable"));
    return AddNvTable(tables, nvs, *row, units, lonWorksPath);
}

}  // namespace device
