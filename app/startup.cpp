#include "app/startup.h"

#include "report/apptitle.h"
#include "report/errorreport.h"
#include "report/messagebox.h"
#include "stories/accessconversion.h"
#include "stories/jetreaderprotocol.h"
#include "stories/randomgen.h"
#include "stories/storystore.h"
#include "windows/appearance.h"
#include "windows/form1.h"
#include "windows/skinframework.h"

#include <QApplication>
#include <QFileInfo>
#include <QLabel>
#include <QTime>

namespace Startup {

QString missingLibraryMessage(const QString& programFolder)
{
    return StoryStore::storyFilePath(programFolder) + QStringLiteral(" not found.");
}

int run(const QString& programFolder)
{
    Form1 form(programFolder);
    if (!form.Form_Load())
        return 0;
    form.show();
    return QApplication::exec();
}

} // namespace Startup

bool Form1::Form_Load()
{
    Steps step(u"Form1", u"Form_Load");
    step(102, [&] {
        setWindowTitle(AppTitle::productName.toString());
        setWindowIcon(Appearance::programIcon());
        AppTitle::setAppTitle();
    });
    step(104, [&] { applySkin(); });
    // A failing existence test runs what it governs: the message and the end.
    if (step.test(106, [&] { return !StoryStore::storyFileExists(programFolder_); })) {
        step(108, [&] {
            MessageBox::show({Startup::missingLibraryMessage(programFolder_), AppTitle::appTitle(),
                              QMessageBox::NoIcon, QMessageBox::Ok, QMessageBox::Ok});
        });
        return false; // 110
    }
    Appearance::loadHandCursor(step, 112, 114, programFolder_, *pointer);
    step(116, [&] { seedRandom(QTime::currentTime().msecsSinceStartOfDay() / 1000.0); });
    // An Access library becomes one of the program's own before it is opened.
    std::optional<AccessConversion::Result> converted;
    step(140, [&] { // 138 creates the connection
        converted = AccessConversion::convertIfAccess(
            StoryStore::storyFilePath(programFolder_),
            Appearance::programFile(programFolder_, QLatin1String(JetReader::programName)));
        store_.open(programFolder_);
    });
    step(142, [&] { blnArmed = false; });
    step(144, [&] { Appearance::setBackColor(Label1, Appearance::white); });
    // Its own step: a failure to tell is never taken for a failed open.
    if (converted)
        step(146, [&] {
            MessageBox::show(
                {AccessConversion::convertedMessage(
                     QFileInfo(StoryStore::storyFilePath(programFolder_)).fileName(), *converted),
                 AppTitle::appTitle(), QMessageBox::Information, QMessageBox::Ok, QMessageBox::Ok});
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
    Steps step(u"Form1", u"Form_QueryUnload");
    step(100, [&] { store_.close(); }); // 102 and 104: close and release the connection
    step(106, [&] { QCoreApplication::processEvents(); });
    step(108, [&] { QCoreApplication::processEvents(); });
}

void Form1::Form_Unload() noexcept
{
    QCoreApplication::exit(0);
}
