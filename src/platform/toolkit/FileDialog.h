#pragma once
// The common file-open and file-save dialogs, behind one seam so that tests choose the file.
#include <QString>
#include <optional>

namespace toolkit {

struct FileDialogRequest {
    QString title;
    QString initialFolder;
    QString fileName;          // proposed name
    QString filter;            // "Description|pattern|Description|pattern", as the common dialog takes it
    int filterIndex = 1;       // 1-based
    QString defaultExtension;  // "csv" or "*.csv"
    bool fileMustExist = false;
};

class FileDialogService {
public:
    virtual ~FileDialogService() = default;
    // The chosen path, or nothing when the user cancelled.
    virtual std::optional<QString> openFile(const FileDialogRequest& request) = 0;
    virtual std::optional<QString> saveFile(const FileDialogRequest& request) = 0;
};

std::optional<QString> GetOpenFileName(const FileDialogRequest& request);
std::optional<QString> GetSaveFileName(const FileDialogRequest& request);
void SetFileDialogService(FileDialogService* service);  // nullptr restores the window dialogs

// "Comma separated values (*.csv) |*.csv | All Files (*.*) | *.*" as Qt name filters, each shown as
// its description with the patterns in parentheses ("Comma separated values (*.csv)"); the dialog
// matches them regardless of case ("*.XIF" also takes "a.xif"), as the Windows dialog does.
QStringList QtNameFilters(const QString& commonDialogFilter);

}  // namespace toolkit
