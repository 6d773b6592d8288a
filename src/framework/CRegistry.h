#pragma once
// The few registry operations the program needs: text values of the local-machine hive, per-user
// settings of the plug-in, enumeration of a machine key's subkeys, and recursive deletion.
//
// Reads never fail (any problem reads as empty); writes and deletion report through their result
// (false: nothing was written), and a caller that does not care may ignore it.
#include <QList>
#include <QString>
#include <utility>

namespace framework {

class CRegistry {
public:
    QString MachineSetting(const QString& keyPath, const QString& valueName);
    bool SetMachineSetting(const QString& keyPath, const QString& valueName, const QString& text);
    // Several text values of one key in one write: all of them, or none, the key left as it was.
    bool SetMachineSettings(const QString& keyPath, const QList<std::pair<QString, QString>>& values);
    QString AppSetting(const QString& section, const QString& valueName);
    bool SetAppSetting(const QString& section, const QString& valueName, const QString& text);
    bool DeleteMachineKey(const QString& keyPath);
    QString FindFirstMachineKey(const QString& keyPath);
    QString GetNextMachineKey();

private:
    QString m_enumKey;
    qint32 m_nextIndex = 0;
    bool m_enumOpen = false;
};

// "SOFTWARE\LonWorks\LCA\Plug-Ins\" + PlugInName.
QString PlugInKey();

}  // namespace framework
