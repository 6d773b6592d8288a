// Value formats on the standard types and the demo catalog's user types. The first byte picks the
// type, the second the unit system and what the rest is:
//   bit 2 clear: raw bytes, formatted and parsed back, which must give the same bytes (types whose
//                range is narrower than their bytes may refuse a value outside it, as out of range);
//   bit 2 set:   text, parsed for a variable of (second byte >> 3) bytes.
#include "platform/catalog/CatalogFiles.h"
#include "platform/objectserver/ValueFormats.h"

#include <QDir>
#include <QStringList>

#include <cstddef>
#include <cstdint>
#include <cstdlib>

namespace {

QString lonWorksPath;
QStringList formats{QStringLiteral("RAW"),           QStringLiteral("INT"),
                    QStringLiteral("SNVT_count"),    QStringLiteral("SNVT_hvac_type"),
                    QStringLiteral("SNVT_time_sec"), QStringLiteral("SNVT_temp_diff_p"),
                    QStringLiteral("SNVT_temp_p"),   QStringLiteral("SNVT_temp_setpt")};
// The absolute temperatures stop at absolute zero, below what their two bytes hold.
constexpr qsizetype FirstNarrowed = 6;

}  // namespace

extern "C" int LLVMFuzzerInitialize(int*, char***)
{
    // An installation whose catalog index lists the demo's file sets where they are.
    lonWorksPath = QDir::tempPath() + QStringLiteral("/kr5m-fuzz-value-formats");
    const QString types = lonWorksPath + QStringLiteral("/types");
    QDir().mkpath(types);
    QString error;
    const catalog::files::CatalogIndex index = catalog::files::Scan(types, {QStringLiteral(KR5M_DEMO_TYPES)});
    if (!catalog::files::WriteIndex(types, index, error) || index.fileSets.isEmpty())
        std::abort();
    for (const catalog::files::IndexedFileSet& entry : index.fileSets)
        formats += entry.typeNames;
    return 0;
}

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size)
{
    if (size < 2)
        return 0;
    const qsizetype pick = data[0] % formats.size();
    const uint8_t mode = data[1];
    QString format = formats[pick];
    if (mode & 1)
        format += (mode & 2) ? QStringLiteral("#US") : QStringLiteral("#SI");
    const QByteArray rest(reinterpret_cast<const char*>(data + 2), qsizetype(size - 2));
    if (mode & 4) {
        try {
            lns::formats::Parse(format, QString::fromLatin1(rest), mode >> 3, lonWorksPath);
        } catch (const com::ComError&) {
        }
        return 0;
    }
    if (rest.isEmpty())
        return 0;  // no variable has zero bytes
    QString text;
    try {
        text = lns::formats::Format(format, rest, lonWorksPath);
    } catch (const com::ComError&) {
        return 0;  // a size the type does not take
    }
    try {
        if (lns::formats::Parse(format, text, qint32(rest.size()), lonWorksPath) != rest)
            std::abort();
    } catch (const com::ComError& e) {
        if (pick < FirstNarrowed || !e.description().endsWith(QLatin1String("is out of range.")))
            std::abort();
    }
    return 0;
}
