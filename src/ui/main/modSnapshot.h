#pragma once
// The configuration window written to files, for a machine where nobody can look at it. With
// KR5M_SNAPSHOT naming a folder, every showing of the window with a thermostat in it writes there,
// before the call that showed it returns:
//   1-heating-cooling.png ... 7-about.png   the whole window on each of its tabs, in tab order
//   values.tsv   one line per field: field, variable, field number (0-based), format read, text
//                shown, units shown beside it (empty where none), "yes" or "no" the model has it
//                (the window disables, and mostly empties, the fields of features the model lacks)
//   log.tsv      the activity log's rows: time, ok or error, action, results
// A folder that cannot be written is reported on standard error; the window goes on as usual.
#include <QString>

class fMain;

namespace modSnapshot {

// Writes the files above into folder (made when missing); the failure's text, empty on success.
QString WriteSnapshot(fMain& window, const QString& folder);

// Watches for the window's showing when KR5M_SNAPSHOT is set; nothing otherwise.
void InstallFromEnvironment();

}  // namespace modSnapshot
