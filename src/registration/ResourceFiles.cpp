#include "registration/ResourceFiles.h"

#include "framework/Connection.h"
#include "framework/Identity.h"
#include "framework/StepRunner.h"
#include "platform/catalog/ResourceCatalog.h"
#include "platform/registry/LonWorksInstallation.h"
#include "platform/toolkit/MessageBox.h"

#include <QCoreApplication>
#include <memory>

using framework::Step;

namespace registration {
namespace {

constexpr int StringResourceTemplate = 150;
constexpr int StringResourceFolder = 151;
constexpr qint32 CatalogAdding = 0;
constexpr qint32 CatalogReading = 1;
constexpr qint32 FileSetKindCheck = 3;

ResourceTableEntry& table()
{
    static ResourceTableEntry entry;
    return entry;
}

bool& presentFlag()
{
    static bool present = false;
    return present;
}

framework::StepFailurePolicy failurePolicy()
{
    return {framework::ApplicationTitle(), toolkit::Icon::Critical, {}, {}};
}

// The box of a missing installation path has nothing to describe.
void requirePath(const QString& path)
{
    if (path.isEmpty())
        throw com::ComError(0, QString(), QString());
}

// One catalog session: open, look up the set, (add,) close. The steps share this state so that a
// retried step sees what the earlier ones did.
struct CatalogSession {
    std::unique_ptr<catalog::ResourceCatalog> catalog;
    qint32 handle = 0;
    bool open = false;
    bool failed = false;  // a catalog result other than success: failure without a box

    framework::Go fail()
    {
        failed = true;
        return Step::Finish;
    }
    void closeQuietly()
    {
        if (catalog && open)
            catalog->CatalogClose(handle);
        open = false;
        catalog.reset();
    }

    // The last step of every session: the catalog closed, a failure when it says so.
    Step closingStep()
    {
        return Step{[this] {
                        open = false;
                        if (catalog->CatalogClose(handle) != catalog::ResultOk)
                            return fail();
                        return Step::Next;
                    },
                    {},
                    {}};
    }

    // The first two steps of every session: the installation path, then the catalog of its types
    // folder opened in the given mode.
    std::vector<Step> openingSteps(QString& path, qint32 mode)
    {
        return {
            Step::Do([&path] {
                path = LonWorksPath();
                requirePath(path);
            }),
            Step{[this, &path, mode] {
                     catalog = std::make_unique<catalog::ResourceCatalog>();
                     if (catalog->CatalogOpen(path + QStringLiteral("\\Types"), mode, handle) != catalog::ResultOk)
                         return fail();
                     open = true;
                     return Step::Next;
                 },
                 {},
                 {}},
        };
    }
};

}  // namespace

const ResourceTableEntry& ResourceTable(int index)
{
    Q_ASSERT(index >= 0 && index < ResourceTableCount);
    Q_UNUSED(index);
    return table();
}

QString LonWorksPath()
{
    return registry::LonWorksPath();
}

void LoadResourceTable()
{
    ResourceTableEntry& entry = table();
    entry.ResourceFolder = LonWorksPath() + framework::LoadResString(StringResourceFolder);
    entry.ProgramIdTemplate = framework::LoadResString(StringResourceTemplate);
    entry.ResourceScope = 4;
}

bool AddResourceFiles(bool remoteAtRegistration)
{
    CatalogSession s;
    QString path;
    std::vector<Step> steps = s.openingSteps(path, CatalogAdding);
    steps.insert(
        steps.end(),
        {
            Step::Do([] { LoadResourceTable(); }),
            Step{[&] {
                     const ResourceTableEntry& entry = ResourceTable(0);
                     QString fileName;
                     qint32 value1 = 0;
                     qint32 value2 = 0;
                     const qint32 found =
                         s.catalog->CatalogFindFileSet(s.handle, entry.ProgramIdTemplate, entry.ResourceScope,
                                                       FileSetKindCheck, 0, fileName, value1, value2);
                     if (found == catalog::ResultOk)
                         return Step::Next;
                     if (found != catalog::ResultNotFound)
                         return s.fail();
                     // The folder above the set's own ("...\types\User"), so that the catalog also sees
                     // sets that sit beside ours.
                     const QString folder =
                         entry.ResourceFolder.left(entry.ResourceFolder.lastIndexOf(QLatin1Char('\\'))).trimmed();
                     if (s.catalog->CatalogAddFolder(s.handle, folder) != catalog::ResultOk)
                         return s.fail();
                     if (s.catalog->CatalogRebuild(s.handle) != catalog::ResultOk)
                         return s.fail();
                     return Step::Next;
                 },
                 {},
                 {}},
            s.closingStep(),
            Step::Do([remoteAtRegistration] {
                if (remoteAtRegistration)
                    toolkit::MsgBox(
                        QCoreApplication::translate(
                            "Registration",
                            "Register this Plug-In on the LNS Server computer to ensure all resource files required "
                            "by this Plug-In are available to the server. Failure to do so may cause unexpected "
                            "errors."),
                        toolkit::Buttons::Ok, toolkit::Icon::Exclamation, framework::ApplicationTitle());
            }),
        });
    // A step ignored after a failure leaves nothing for the next one to work on: that, too, is a failure.
    const bool ran = framework::RunSteps(steps, failurePolicy());
    if (!ran || s.failed || !s.catalog) {
        s.closeQuietly();
        return false;
    }
    return true;
}

bool ResourceFilesPresent()
{
    if (presentFlag())
        return true;
    CatalogSession s;
    QString path;
    std::vector<Step> steps = s.openingSteps(path, CatalogReading);
    steps.insert(steps.end(), {
                                  Step{[&] {
                                           const ResourceTableEntry& entry = ResourceTable(0);
                                           QString fileName;
                                           qint32 value1 = 0;
                                           qint32 value2 = 0;
                                           if (s.catalog->CatalogFindFileSet(
                                                   s.handle, entry.ProgramIdTemplate, entry.ResourceScope,
                                                   FileSetKindCheck, 0, fileName, value1, value2) != catalog::ResultOk)
                                               return s.fail();
                                           return Step::Next;
                                       },
                                       {},
                                       {}},
                                  s.closingStep(),
                              });
    const bool ran = framework::RunSteps(steps, failurePolicy());
    const bool present = ran && !s.failed && s.catalog;
    if (!present)
        s.closeQuietly();
    presentFlag() = present;
    return present;
}

bool ResourcesPresent()
{
    return presentFlag();
}

void ResetResourcesPresent()
{
    presentFlag() = false;
}

}  // namespace registration
