// A device template's interface from the device's XIF and the XFB the installation's converter made of it.
#include "platform/objectserver/SqlState.h"

#include "platform/base/WindowsPath.h"

#include <QFileInfo>
#include <QRegularExpression>
#include <QSet>

namespace lns::sql {
namespace {

[[noreturn]] void refuse(const QString& source, const QString& description)
{
    Raise(ErrImportFailed, source, description);
}

bool isProgramId(const QString& text)
{
    static const QRegularExpression pattern(QStringLiteral("^[0-9A-Fa-f]{16}$"));
    return pattern.match(text).hasMatch();
}

}  // namespace

xif::InterfaceDefinition ReadInterfaceFiles(const QString& xifPath, const QString& source)
{
    // A path may come as the installation writes it ("\Import\MODEL.XIF"); names match whatever their
    // case. One that names a file as it stands is the file system's own, and a "\" in it is part of a name.
    const QString xif = QFileInfo::exists(xifPath) ? xifPath : winpath::Resolve(xifPath);
    if (!QFileInfo(xif).isFile())
        refuse(source, QStringLiteral("The external interface file %1 does not exist.").arg(xifPath));
    const QString xfb = winpath::MatchCase(xif::XfbPathOf(xif));
    try {
        const xif::InterfaceDefinition fromXif = xif::ParseXif(xif);
        xif::InterfaceDefinition definition = xif::ReadXfb(xfb);
        if (fromXif.programId.compare(definition.programId, Qt::CaseInsensitive) != 0)
            refuse(source, QStringLiteral("The program ID %1 of %2 differs from the program ID %3 of %4.")
                               .arg(fromXif.programId, xif, definition.programId, xfb));
        return definition;
    } catch (const com::ComError& e) {
        // Whatever the reader reports, the caller sees a refused import with the reader's words.
        refuse(source, e.description());
    }
}

void ImportInterface(Database& db, qint64 templateId, const xif::InterfaceDefinition& definition, const QString& source)
{
    if (!isProgramId(definition.programId))
        refuse(source, QStringLiteral("'%1' is not a program ID of 16 hexadecimal digits.").arg(definition.programId));
    QSet<QString> names;
    for (const xif::NvDefinition& nv : definition.networkVariables) {
        if (nv.name.isEmpty() || nv.typeName.isEmpty() || nv.size < 1 || nv.size > 255 || names.contains(nv.name))
            refuse(source, QStringLiteral("The network variable '%1' of the interface is not usable.").arg(nv.name));
        names.insert(nv.name);
    }
    names.clear();
    for (const xif::LonMarkObjectDefinition& object : definition.lonMarkObjects) {
        if (object.name.isEmpty() || names.contains(object.name))
            refuse(source, QStringLiteral("The LonMark object '%1' of the interface is not usable.").arg(object.name));
        names.insert(object.name);
    }

    const bool hasInterface =
        !db.row("SELECT program_id FROM templates WHERE id = ?", {templateId})->value(0).toString().isEmpty();
    if (hasInterface &&
        db.row("SELECT COUNT(*) FROM devices WHERE template_id = ?", {templateId})->value(0).toInt() > 0)
        refuse(source, QStringLiteral("The device template has devices; its interface cannot be replaced."));

    db.exec("DELETE FROM component_apps WHERE owner_kind = 3 AND owner_id IN"
            " (SELECT id FROM template_lmos WHERE template_id = ?)",
            {templateId});
    db.exec("DELETE FROM template_lmos WHERE template_id = ?", {templateId});
    db.exec("DELETE FROM template_nvs WHERE template_id = ?", {templateId});
    db.exec("UPDATE templates SET program_id = ? WHERE id = ?", {definition.programId.toUpper(), templateId});
    for (const xif::NvDefinition& nv : definition.networkVariables)
        db.exec("INSERT INTO template_nvs (template_id, nv_index, name, type_name, size, input, config)"
                " VALUES (?, ?, ?, ?, ?, ?, ?)",
                {templateId, nv.index, nv.name, nv.typeName, nv.size, nv.input ? 1 : 0, nv.config ? 1 : 0});
    for (const xif::LonMarkObjectDefinition& object : definition.lonMarkObjects)
        db.exec("INSERT INTO template_lmos (template_id, lmo_index, name, display_name, profile_key)"
                " VALUES (?, ?, ?, ?, ?)",
                {templateId, object.index, object.name, object.displayName.isEmpty() ? object.name : object.displayName,
                 object.profileKey});
}

}  // namespace lns::sql
