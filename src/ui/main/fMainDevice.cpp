// Reading a device into the window: its template label, its state and test, the access objects on
// its variables, the first reads, and the resource files that format the values.
#include "ui/main/fMain.h"

#include "binding/CNvCtrlTable.h"
#include "binding/Collections.h"
#include "binding/Specific.h"
#include "framework/Identity.h"
#include "framework/StepRunner.h"
#include "platform/catalog/ResourceCatalog.h"
#include "platform/toolkit/Events.h"
#include "platform/toolkit/MessageBox.h"
#include "registration/ResourceFiles.h"
#include "ui/log/fLog.h"
#include "ui/progress/fProgress.h"

using framework::Go;
using framework::Step;
using framework::StepFailurePolicy;
using toolkit::Answer;
using toolkit::Buttons;
using toolkit::Icon;
using toolkit::MsgBox;

namespace {

const QString ModuleName = QStringLiteral("fMain ");

}  // namespace

// ---- Device initialisation and reading

const lns::Ptr<lns::AppDevice>& fMain::Device() const
{
    // A LonMark object whose device could not be reached leaves none; the step that needs it fails
    // with the runtime's own words and its procedure's box takes over.
    if (!TheDevice)
        throw com::ComError(
            91, QStringLiteral("fMain"),
            Sentence("Runtime", QT_TRANSLATE_NOOP("Runtime", "Object variable or With block variable not set")));
    return TheDevice;
}

void fMain::unloadProgress()
{
    fProgress::Unload(m_session);
}

void fMain::setStatus(const QString& text)
{
    fProgress::Of(m_session).DisplayStatus(text);
}

bool fMain::SetDevTemplateLabel()
{
    QString name;
    const std::vector<Step> steps{
        Step::Do([&] { name = Device()->DeviceTemplate()->TemplateName(); }),
        Step::Do([&] {
            const qsizetype bracket = name.indexOf(QLatin1Char('['));
            if (bracket >= 0)
                name = name.left(bracket);
        }),
        Step::Do([&] {
            ui.lblDeviceTemplate->setText(framework::Identity().ManufacturerName + QStringLiteral(" [") + name +
                                          QStringLiteral(" (") + Device()->DeviceProgramId() + QStringLiteral(")]"));
        }),
    };
    return framework::RunSteps(
        steps, StepFailurePolicy{ModuleName + QStringLiteral("SetDevTemplateLabel"), Icon::Critical,
                                 [this](const com::ComError&) { unloadProgress(); }, [this] { unloadProgress(); }});
}

bool fMain::InitDevice()
{
    QString stateText;
    DeviceOnline = false;
    qint32 stateCode = 0;
    qint32 testResult = 0;
    // The steps that the branches of the device state go on with.
    const QString ReadMode = QStringLiteral("ReadMode"), Commissioned = QStringLiteral("Commissioned"),
                  Test = QStringLiteral("Test"), State = QStringLiteral("State"),
                  ShowState = QStringLiteral("ShowState");
    const std::vector<Step> steps{
        Step::Do([&] { m_Nvs = Device()->DeviceInterface()->InterfaceNetworkVariables(); }),
        Step::Do([&] {
            Specific::BuildNvTables(m_session, m_Nvs);
            Specific::BuildDataItems(m_session, ui.windowControls());
            // Nothing is read yet: a read that is abandoned must not leave the last device's values
            // on show as this one's.
            for (const auto& item : tables().DataItems)
                ShowInField(*item);
        }),
        Step::Do([&] { ui.StatusBarPanel[2]->setText(m_session.Link().CurrentObjectName); }),
        Step{[&] {
                 if (m_session.Link().CurrentSystem->SystemNetworkMode() != 1)
                     return Go::To(Commissioned);
                 stateText = tr("Offnet");
                 return Go::To(ShowState);
             },
             [&](const com::ComError& e) {
                 stateText = e.description();
                 // The branch the failed test guards: off-net.
                 stateText = tr("Offnet");
                 return Go::To(ShowState);
             },
             ReadMode},
        Step{[&] {
                 if (Device()->DeviceCommissioned())
                     return Go::To(Test);
                 stateText = tr("Not Commissioned yet");
                 return Go::To(ShowState);
             },
             [&](const com::ComError& e) {
                 stateText = e.description();
                 return Go::To(Test);
             },
             Commissioned},
        Step{[&] {
                 setStatus(tr("Testing the device..."));
                 testResult = Device()->TestDevice();
                 if (testResult == 0)
                     return Go::To(State);
                 stateText = QStringLiteral("?");
                 return Go::To(ShowState);
             },
             [&](const com::ComError&) {
                 stateText = QStringLiteral("?");
                 return Go::To(ShowState);
             },
             Test},
        Step{[&] {
                 setStatus(tr("Reading the device state..."));
                 stateCode = Device()->DeviceState();
                 if (stateText.isEmpty()) {
                     switch (stateCode) {
                     case 2: stateText = tr("Unconfigured"); break;
                     case 3: stateText = tr("App'less"); break;
                     case 4:
                         stateText = tr("Cnfg Online");
                         DeviceOnline = true;
                         break;
                     case 6: stateText = tr("Cnfg Offline"); break;
                     case 12: stateText = tr("Soft Offline"); break;
                     case 140: stateText = tr("Cnfg Bypass"); break;
                     default: stateText = QStringLiteral("?"); break;
                     }
                 }
                 return Go::To(ShowState);
             },
             [&](const com::ComError& e) {
                 stateText = e.description();
                 return Go::To(ShowState);
             },
             State},
        Step::Do(ShowState, [&] { ui.StatusBarPanel[1]->setText(stateText); }),
        Step{[&] { return InitNvTable() ? Step::Next : Step::Finish; }, {}, {}},
        Step{[&] { return ReadInitValues() ? Step::Next : Step::Finish; }, {}, {}},
        Step::Do([&] { ShowValues(); }),
    };
    bool completedAll = false;
    std::vector<Step> all = steps;
    // Ignore anywhere else: the failure's description becomes the state text, and on to the next step.
    for (Step& step : all)
        if (!step.ignore)
            step.ignore = [&](const com::ComError& e) {
                stateText = e.description();
                return Step::Next;
            };
    all.push_back(Step::Do([&] { completedAll = true; }));
    const bool ran = framework::RunSteps(
        all, StepFailurePolicy{ModuleName + QStringLiteral("InitDevice"), Icon::Critical,
                               [this](const com::ComError&) { unloadProgress(); }, [this] { unloadProgress(); }});
    unloadProgress();
    return ran && completedAll;
}

bool fMain::InitNvTable()
{
    toolkit::SetMousePointer(toolkit::MousePointer::Hourglass);
    std::vector<Step> steps;
    for (const auto& item : tables().DataItems)
        steps.push_back(Step::Do([item] { item->Initialize(); }));
    const bool ok = framework::RunSteps(
        steps, StepFailurePolicy{ModuleName + QStringLiteral("InitNvTable"), Icon::Critical, {}, {}});
    toolkit::SetMousePointer(toolkit::MousePointer::Default);
    return ok;
}

bool fMain::ReadInitValues()
{
    toolkit::SetMousePointer(toolkit::MousePointer::Hourglass);
    std::vector<Step> steps;
    for (const auto& table : tables().NvTables) {
        steps.push_back(Step::Do([table] { table->GetNetworkValue(); }));
        // The row is logged even after an ignored failure, with whatever the object holds.
        steps.push_back(Step::Do([this, table] {
            fLog::Of(m_session).LogCommand(QStringLiteral("Reading ") + table->Name,
                                           table->NvAsArray ? table->NvAsString() : QString());
        }));
    }
    const bool ok = framework::RunSteps(
        steps, StepFailurePolicy{ModuleName + QStringLiteral("ReadInitValues"), Icon::Critical,
                                 [this](const com::ComError& e) { fLog::Of(m_session).LogError(e.description()); },
                                 [this] {
                                     toolkit::SetMousePointer(toolkit::MousePointer::Default);
                                     unloadProgress();
                                 }});
    if (!ok)
        return false;
    toolkit::SetMousePointer(toolkit::MousePointer::Default);
    unloadProgress();
    return true;
}

bool fMain::DrfLookUp()
{
    QString programId;
    lns::Ptr<lns::LonMarkObjects> objects;
    catalog::ResourceCatalog catalog;
    catalog::FileSets fileSets;
    catalog::FunctionalProfiles profiles;
    qint32 handle = 0;
    bool catalogOpen = false;
    bool failed = false;

    const auto closeCatalog = [&] {
        if (catalogOpen) {
            catalogOpen = false;
            if (catalog.CatalogClose(handle) != catalog::ResultOk)
                MsgBox(tr("Error closing the catalog"), Buttons::Ok, Icon::Critical, framework::ApplicationTitle());
        }
    };

    const StepFailurePolicy policy{ModuleName + QStringLiteral("DrfLookUp"), Icon::Critical, {}, {}};
    const std::vector<Step> opening{
        Step::Do([&] { setStatus(QStringLiteral("Complete DRF look-up in progress...")); }),
        Step::Do([&] {
            programId = Device()->DeviceProgramId();
            objects = Device()->DeviceInterface()->InterfaceLonMarkObjects();
        }),
        Step{[&] {
                 const QString path = registration::LonWorksPath();
                 if (catalog.CatalogOpen(path + QStringLiteral("\\Types"), 1, handle) != catalog::ResultOk) {
                     failed = true;
                     return Step::Finish;
                 }
                 catalogOpen = true;
                 return Step::Next;
             },
             {},
             {}},
    };
    bool ran = framework::RunSteps(opening, policy);
    if (ran && !failed) {
        // One step per LonMark object: Ignore goes on with the next object.
        std::vector<Step> lookUps;
        qint32 count = 0;
        bool fileSetUnopenable = false;
        // Ignore after a listed file set that cannot be opened has nothing to skip to: the modes it
        // describes cannot be known, so the look-up ends in failure and the caller asks about it.
        const auto ignoreUnopenable = [&](const com::ComError&) {
            if (!fileSetUnopenable)
                return Step::Next;
            failed = true;
            return Step::Finish;
        };
        ran = framework::RunSteps({Step::Do([&] { count = objects ? objects->LonMarkObjectsCount() : 0; })}, policy);
        for (qint32 i = 1; ran && i <= count; ++i) {
            lookUps.push_back(Step::Do([&, i] {
                fileSetUnopenable = false;
                const lns::Ptr<lns::LonMarkObject> object = objects->LonMarkObjectsItem(i);
                const qint16 key = object->LonMarkObjectProfileKey();
                for (qint16 scope = 6; scope >= 3; --scope) {
                    QString fileName;
                    qint32 value1 = 0, value2 = 0;
                    if (catalog.CatalogFindFileSet(handle, programId, scope, 4, 0, fileName, value1, value2) !=
                        catalog::ResultOk)
                        continue;
                    qint32 fileSet = 0;
                    if (fileSets.FileSetOpen(fileName, 4, value1, 0, fileSet) != catalog::ResultOk) {
                        fileSets.FileSetClose(fileSet);
                        // A listed file set that cannot be opened: the failure box, with nothing to describe.
                        fileSetUnopenable = true;
                        throw com::ComError(0, QStringLiteral("DrfLookUp"), QString());
                    }
                    const bool found = profiles.FileSetFindProfile(fileSets, fileSet, key) == catalog::ResultOk;
                    if (found) {
                        object->SetLonMarkObjectMode(scope);
                        setStatus(QStringLiteral("Set ") + object->LonMarkObjectDisplayName() +
                                  QStringLiteral(" mode = ") + QString::number(scope));
                    }
                    fileSets.FileSetClose(fileSet);
                    if (found)
                        break;
                }
            }));
            lookUps.back().ignore = ignoreUnopenable;
        }
        if (ran)
            ran = framework::RunSteps(lookUps, policy);
    }
    if (!ran || failed) {
        closeCatalog();
        unloadProgress();
        return false;
    }
    closeCatalog();
    return true;
}
