#include "windows/conversionwindow.h"

#include "controls/pushbutton.h"
#include "report/apptitle.h"
#include "windows/appearance.h"
#include "windows/twips.h"

#include <QCloseEvent>
#include <QLabel>
#include <QProgressBar>

ConversionWindow::ConversionWindow(const QString& libraryName)
    : QDialog(nullptr, Qt::Dialog | Qt::CustomizeWindowHint | Qt::WindowTitleHint |
                           Qt::WindowSystemMenuHint | Qt::WindowCloseButtonHint),
      libraryName_(libraryName)
{
    setObjectName(QStringLiteral("ConversionWindow"));
    setWindowTitle(AppTitle::appTitle());
    setFont(Appearance::arialBold(9));
    setFixedSize(Twips::toPixels(6600), Twips::toPixels(1980));
    Appearance::applySystemColours(this);
    setCursor(Qt::BusyCursor);

    text_ = new QLabel(this);
    text_->setObjectName(QStringLiteral("Label1"));
    text_->setWordWrap(true);
    text_->setGeometry(Twips::rect(120, 120, 6360, 720));
    bar_ = new QProgressBar(this);
    bar_->setObjectName(QStringLiteral("ProgressBar1"));
    bar_->setAccessibleName(QStringLiteral("Stories read"));
    bar_->setTextVisible(false);
    bar_->setGeometry(Twips::rect(120, 900, 6360, 300));
    cancel_ = new PushButton(QStringLiteral("Cancel"), this);
    cancel_->setObjectName(QStringLiteral("PushButton1"));
    cancel_->setFont(Appearance::arialBold(11.25));
    cancel_->setGeometry(Twips::rect(4440, 1440, 2040, 405));
    cancel_->setCursor(Qt::ArrowCursor);
    connect(cancel_, &QPushButton::clicked, this, &ConversionWindow::cancel);
    tell({});

    shower_.setSingleShot(true);
    connect(&shower_, &QTimer::timeout, this, [this] {
        Appearance::centreOnScreen(*this);
        show();
        cancel_->setFocus();
    });
    shower_.start(delay);
}

ConversionWindow::~ConversionWindow() = default;

void ConversionWindow::tell(const AccessConversion::Progress& progress)
{
    if (progress.waiting) {
        text_->setText(QStringLiteral("Another copy of the program is converting this library. "
                                      "This copy goes on when that one is done."));
        bar_->setRange(0, 0); // busy, for as long as the other copy takes
        return;
    }
    QString text = QStringLiteral("Converting %1, a Microsoft Access story library, into a "
                                  "library of this program")
                       .arg(libraryName_);
    if (progress.claimed > 0)
        text += QStringLiteral(": %1 of %2 stories read").arg(progress.read).arg(progress.claimed);
    text_->setText(text + u'.');
    // The bar counts in thousandths, which an int holds for any count.
    bar_->setRange(0, 1000);
    bar_->setValue(progress.claimed > 0 ? int(progress.read * 1000 / progress.claimed) : 0);
}

void ConversionWindow::cancel()
{
    cancelled_ = true;
    cancel_->setEnabled(false);
    text_->setText(QStringLiteral("Cancelling the conversion."));
}

void ConversionWindow::closeEvent(QCloseEvent* event)
{
    // The conversion's end closes the window, by destroying it.
    event->ignore();
    cancel();
}

void ConversionWindow::reject()
{
    cancel();
}
