#pragma once
// Registering the plug-in with the platform (its server registration and its registry description)
// and removing it again.
#include <QString>

namespace registration {

enum class RegisterOutcome {
    Registered,
    Updated,
    NewerRegistered,
    ServerRegistrationFailed,
    RegistryWriteFailed,  // nothing changed: the key and the server registration are as they were
    RegistryUnreadable,   // the machine hive's file is not a readable registry; nothing was tried
    Busy,                 // another registration or deregistration held on for the whole wait; nothing tried
};

struct VersionPair {
    qint16 major = 0;
    qint16 minor = 0;
    bool outOfRange = false;  // a number that does not fit 16 bits (major and minor then mean nothing)
};
// "1.5.0" gives 1 / 50 (a one-digit minor gets a 0 appended), "1.12.0" gives 1 / 12, "" gives 0 / 0.
VersionPair ReadVersionPair(const QString& version);
// True when the registered version is newer than ours (ours has a smaller major, or an equal major
// and a smaller minor). A registered version out of range counts as newer: it cannot be compared,
// and overwriting a registration nobody understands would lose it.
bool RegisteredIsNewer(const VersionPair& registered, const VersionPair& ours);

// Registration, deregistration and the registration window's actions run one at a time per user
// (a lock file beside the activation file, held for the whole run). One that finds another running
// waits for it at most this long (60 s unless set), then gives up saying so.
void SetRegistrationWait(int ms);

// Every failure is told: in a box when interactive, else on standard error.
RegisterOutcome RegisterPlugIn(bool interactive);

enum class RemovalOutcome {
    Removed,               // server registration and registry key removed
    NotRegistered,         // server registration removed; there was no registry key
    ServerRemovalFailed,   // nothing changed
    RegistryDeleteFailed,  // the key could not be deleted; the server registration was put back
};
RemovalOutcome RemovePlugInRegistration(bool interactive);
// True when the plug-in is no longer registered afterwards (also when it was not registered). False,
// with the registration kept whole, when another registration held on for the whole wait, the
// machine hive cannot be read, (modes 0 and 1) the commands of a network could not be removed, or
// the removal failed; said in a box when interactive, else on standard error.
bool DeregisterPlugIn(qint16 mode, bool interactive);

// Starts the program's own executable with "/regserver" or "/unregserver" and waits for it to end;
// false with the reason when it could not be started or did not succeed.
bool RunServerRegistration(bool unregister, QString* reason);

}  // namespace registration
