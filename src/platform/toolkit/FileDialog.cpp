#include "platform/toolkit/FileDialog.h"

#include <QApplication>
#include <QFileDialog>
#include <QRegularExpression>

namespace toolkit {
namespace {

class WindowFileDialogs : public FileDialogService {
public:
    std::optional<QString> openFile(const FileDialogRequest& r) override { return run(r, false); }
    std::optional<QString> saveFile(const FileDialogRequest& r) override { return run(r, true); }

private:
    static std::optional<QString> run(const FileDialogRequest& r, bool save)
    {
        QFileDialog dialog(QApplication::activeWindow(), r.title, r.initialFolder);
        dialog.setAcceptMode(save ? QFileDialog::AcceptSave : QFileDialog::AcceptOpen);
        dialog.setFileMode(save ? QFileDialog::AnyFile
                                : (r.fileMustExist ? QFileDialog::ExistingFile : QFileDialog::AnyFile));
        // The overwrite question is the caller's own.
        dialog.setOption(QFileDialog::DontConfirmOverwrite, true);
        const QStringList filters = QtNameFilters(r.filter);
        if (!filters.isEmpty()) {
            dialog.setNameFilters(filters);
            dialog.selectNameFilter(filters.value(qMax(0, r.filterIndex - 1)));
        }
        QString ext = r.defaultExtension;
        ext.remove(QStringLiteral("*.")).remove(QLatin1Char('.'));
        if (!ext.isEmpty())
            dialog.setDefaultSuffix(ext);
        if (!r.fileName.isEmpty())
            dialog.selectFile(r.fileName);
        if (dialog.exec() != QDialog::Accepted || dialog.selectedFiles().isEmpty())
            return std::nullopt;
        return dialog.selectedFiles().first();
    }
};

WindowFileDialogs& windowService()
{
    static WindowFileDialogs service;
    return service;
}

FileDialogService*& current()
{
    static FileDialogService* service = nullptr;
    return service;
}

}  // namespace

QStringList QtNameFilters(const QString& commonDialogFilter)
{
    QStringList out;
    const QStringList parts = commonDialogFilter.split(QLatin1Char('|'));
    for (int i = 0; i + 1 < parts.size(); i += 2) {
        QString description = parts[i].trimmed();
        QStringList patterns;
        // Written as given: the dialog matches file names regardless of case (the model is not
        // asked for QDir::CaseSensitive), so "*.XIF" takes "a.xif" as the Windows dialog does.
        for (const QString& p : parts[i + 1].split(QLatin1Char(';'), Qt::SkipEmptyParts))
            patterns << p.trimmed();
        // Qt reads the patterns from the last parentheses of the text.
        description.remove(QRegularExpression(QStringLiteral("\\s*\\([^)]*\\)\\s*$")));
        out << QStringLiteral("%1 (%2)").arg(description, patterns.join(QLatin1Char(' ')));
    }
    return out;
}

std::optional<QString> GetOpenFileName(const FileDialogRequest& request)
{
    return (current() ? current() : &windowService())->openFile(request);
}

std::optional<QString> GetSaveFileName(const FileDialogRequest& request)
{
    return (current() ? current() : &windowService())->saveFile(request);
}

void SetFileDialogService(FileDialogService* service)
{
    current() = service;
}

}  // namespace toolkit
