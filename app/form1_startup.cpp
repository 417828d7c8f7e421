// Start-up and shutdown of the main window: Form_Load with its skin, the close
// request and the unload.

#include "windows/form1.h"

#include "library/accessconversion.h"
#include "library/jetreaderprotocol.h"
#include "library/libraryfolder.h"
#include "report/apptitle.h"
#include "report/errorreport.h"
#include "report/messagebox.h"
#include "stories/randomgen.h"
#include "stories/storystore.h"
#include "windows/appearance.h"
#include "windows/conversionwindow.h"
#include "windows/skinframework.h"

#include <QApplication>
#include <QFileInfo>
#include <QLabel>
#include <QTime>

#include <memory>

bool Form1::Form_Load()
{
    Steps step(u"Form1", u"Form_Load", this);
    step(102, [&] {
        setWindowTitle(AppTitle::productName.toString());
        setWindowIcon(Appearance::programIcon());
        AppTitle::setAppTitle();
    });
    step(104, [&] { applySkin(); });
    // A failing existence test runs what it governs: the message and the end.
    // The folder is settled before the sample is copied into it, so that the
    // message names the path looked at even when the copy fails.
    if (step.test(106, [&] {
            libraryFolder_ = LibraryFolder::choose(programFolder_);
            LibraryFolder::copySampleIfMissing(libraryFolder_, programFolder_);
            return !StoryStore::storyFileExists(libraryFolder_);
        })) {
        step(108, [&] {
            MessageBox::show({StoryStore::missingMessage(libraryFolder_), AppTitle::appTitle(),
                              QMessageBox::NoIcon, QMessageBox::Ok, QMessageBox::Ok, this});
        });
        return false; // 110
    }
    Appearance::loadHandCursor(step, 112, 114, programFolder_, *pointer);
    step(116, [&] { seedRandom(QTime::currentTime().msecsSinceStartOfDay() / 1000.0); });
    // An Access library becomes one of the program's own before it is opened.
    std::optional<AccessConversion::Result> converted;
    step(140, [&] { // 138 creates the connection
        const QString library = StoryStore::storyFilePath(libraryFolder_);
        // A conversion that takes a while is shown working, with Cancel.
        std::unique_ptr<ConversionWindow> working;
        AccessConversion::Options options;
        options.progress = [&](const AccessConversion::Progress& progress) {
            if (!working)
                working = std::make_unique<ConversionWindow>(QFileInfo(library).fileName());
            working->tell(progress);
        };
        options.cancelled = [&] { return working && working->cancelled(); };
        converted = AccessConversion::convertIfAccess(
            library, Appearance::programFile(programFolder_, QLatin1String(JetReader::programName)),
            options);
        working.reset();
        store_.open(libraryFolder_);
    });
    step(142, [&] { blnArmed = false; });
    step(144, [&] { Appearance::setBackColor(Label1, Appearance::white); });
    // Its own step: a failure to tell is never taken for a failed open.
    if (converted)
        step(146, [&] {
            MessageBox::show(
                {AccessConversion::convertedMessage(
                     QFileInfo(StoryStore::storyFilePath(libraryFolder_)).fileName(), *converted),
                 AppTitle::appTitle(), QMessageBox::Information, QMessageBox::Ok, QMessageBox::Ok,
                 this});
        });
    return true;
}

void Form1::applySkin()
{
    const QString skinFile = Appearance::programFile(programFolder_, QStringLiteral("x/o.cjs"));
    if (!QFileInfo(skinFile).isFile())
        return;
    Appearance::applySystemColours(this);
    SkinFramework1->call(SkinFramework::LoadSkin, {skinFile, QString()});
    SkinFramework1->put(SkinFramework::Options,
                        SkinFramework1->get(SkinFramework::Options).toInt() | 1);
    SkinFramework1->put(SkinFramework::Colours, true);
    SkinFramework1->put(SkinFramework::Member10, true);
    SkinFramework1->call(SkinFramework::ApplyWindow, {QVariant::fromValue<quintptr>(winId())});
}

void Form1::Form_QueryUnload()
{
    Steps step(u"Form1", u"Form_QueryUnload", this);
    step(100, [&] { store_.close(); }); // 102 and 104: close and release the connection
    step(106, [&] { QCoreApplication::processEvents(); });
    step(108, [&] { QCoreApplication::processEvents(); });
}

void Form1::Form_Unload() noexcept
{
    QCoreApplication::exit(0);
}
