#pragma once
// The profile as a document: what its JSON holds, read with every refusal that needs no device and no
// item table (the item names and values are checked against the configuration model afterwards), and
// written in a fixed key order with numbers in their shortest form.
#include <QJsonValue>
#include <QString>

#include <utility>
#include <vector>

namespace profiles {

inline constexpr const char* FormatName = "KR5M-HU profile";
inline constexpr int FormatVersion = 1;

struct ProfileDocument {
    QString name;  // optional: what the history calls an apply of it
    QString programId;
    qint16 model = 0;
    qint16 units = 0;  // 0 metric, 1 imperial
    // Item name and value (a number or an enumeration name), by name.
    std::vector<std::pair<QString, QJsonValue>> values;
};

// "metric" / "imperial".
QString UnitsName(qint16 units);

// Raises ErrProfileRefused naming what is wrong.
ProfileDocument ReadProfile(const QString& json);
QString WriteProfile(const ProfileDocument& profile);

}  // namespace profiles
