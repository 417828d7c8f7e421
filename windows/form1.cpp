#include "windows/form1.h"

#include "controls/pushbutton.h"
#include "controls/richtextbox.h"
#include "report/errorreport.h"
#include "windows/appearance.h"
#include "windows/blockedcloserequests.h"
#include "windows/form2.h"
#include "windows/form3.h"
#include "windows/mousepointer.h"
#include "windows/skinframework.h"
#include "windows/twips.h"

#include <QCloseEvent>
#include <QCoreApplication>
#include <QLabel>
#include <QTimer>

#include <algorithm>
#include <cmath>

Form1::Form1(const QString& programFolder, QWidget* parent)
    : QWidget(parent, Qt::Window | Qt::CustomizeWindowHint | Qt::WindowTitleHint |
                          Qt::WindowSystemMenuHint | Qt::WindowMinimizeButtonHint |
                          Qt::WindowCloseButtonHint),
      programFolder_(programFolder),
      // The close state reads the store and the stories window, and sends
      // the close requests it keeps back through the event loop.
      closing_({[this] { return store_.actionUnderway(); },
                [this] { return !stories_ || stories_->mayDiscard(); },
                [this] { QMetaObject::invokeMethod(this, &Form1::close, Qt::QueuedConnection); },
                [this] {
                    if (stories_)
                        QMetaObject::invokeMethod(stories_, &Form3::close, Qt::QueuedConnection);
                }})
{
    setObjectName(QStringLiteral("Form1"));
    setWindowTitle(QStringLiteral("Form1"));
    setFixedSize(Twips::toPixels(8040), Twips::toPixels(7155));
    setFont(Appearance::arialBold(9));
    Appearance::setBackColor(this, Appearance::white);

    const auto box = [this](const char* name, const QString& accessibleName, QRect geometry) {
        auto* box = new RichTextBox(this);
        box->setObjectName(QLatin1String(name));
        box->setAccessibleName(accessibleName);
        box->setGeometry(geometry);
        return box;
    };
    RichTextBox1 = box("RichTextBox1", QStringLiteral("Story"), Twips::rect(120, 1620, 7800, 2490));
    RichTextBox1->setReadOnly(true);
    RichTextBox1->setTextInteractionFlags(Qt::TextSelectableByMouse | Qt::TextSelectableByKeyboard);
    // A scroll bar that appears would have a long story laid out a second time.
    RichTextBox1->setVerticalScrollBarPolicy(Qt::ScrollBarAlwaysOn);
    // A story of megabytes is shown once its first parts are laid out.
    RichTextBox1->setParagraphParts(RichTextBox::partLength);
    RichTextBox2 =
        box("RichTextBox2", QStringLiteral("Typing"), Twips::rect(120, 4200, 7800, 2490));

    Label1 = new QLabel(QStringLiteral("Time:"), this);
    Label1->setObjectName(QStringLiteral("Label1"));
    Label1->setGeometry(Twips::rect(120, 6780, 7800, 255));
    Label1->setAlignment(Qt::AlignCenter);
    Label1->setFrameStyle(QFrame::Box | QFrame::Plain);
    Label1->setLineWidth(1);
    Appearance::setBackColor(Label1, Appearance::windowBackground);

    const auto button = [this](const char* name, const QString& caption, QRect geometry) {
        auto* button = new PushButton(caption, this);
        button->setObjectName(QLatin1String(name));
        button->setGeometry(geometry);
        button->setFont(Appearance::arialBold(11.25));
        return button;
    };
    PushButton4 = button("PushButton4", QStringLiteral("Start"), Twips::rect(120, 90, 3840, 405));
    PushButton1 = button("PushButton1", QStringLiteral("Stop"), Twips::rect(4080, 90, 3840, 405));
    PushButton3 =
        button("PushButton3", QStringLiteral("Change Story"), Twips::rect(120, 1110, 7800, 405));
    PushButton2 =
        button("PushButton2", QStringLiteral("Font Decrease"), Twips::rect(120, 600, 3840, 405));
    PushButton5 =
        button("PushButton5", QStringLiteral("Font Increase"), Twips::rect(4080, 600, 3840, 405));
    PushButton1->setEnabled(false);

    setTabOrder(RichTextBox1, RichTextBox2);
    setTabOrder(RichTextBox2, PushButton4);
    setTabOrder(PushButton4, PushButton1);
    setTabOrder(PushButton1, PushButton3);
    setTabOrder(PushButton3, PushButton2);
    setTabOrder(PushButton2, PushButton5);

    Timer1 = new QTimer(this);
    Timer1->setObjectName(QStringLiteral("Timer1"));
    SkinFramework1 = new SkinFramework(this);
    SkinFramework1->setObjectName(QStringLiteral("SkinFramework1"));

    pointer = new MousePointer(*this);
    pointer->hover(this, MousePointer::Default);
    for (PushButton* b : {PushButton1, PushButton2, PushButton3, PushButton4, PushButton5})
        pointer->hover(b, MousePointer::Custom);

    connect(PushButton4, &QPushButton::clicked, this, &Form1::PushButton4_Click);
    connect(PushButton1, &QPushButton::clicked, this, &Form1::PushButton1_Click);
    connect(PushButton2, &QPushButton::clicked, this, &Form1::PushButton2_Click);
    connect(PushButton5, &QPushButton::clicked, this, &Form1::PushButton5_Click);
    connect(PushButton3, &QPushButton::clicked, this, &Form1::PushButton3_Click);
    connect(RichTextBox2, &RichTextBox::change, this, &Form1::RichTextBox2_Change);
    connect(Timer1, &QTimer::timeout, this, &Form1::Timer1_Timer);

    // A close request that waits for the store is asked again once the last
    // action, with the reports that follow its failures, is over.
    store_.setIdleObserver([this]() noexcept { closing_.storeIdle(); });
    closeRequests_ = std::make_unique<BlockedCloseRequests>(*this);
    QCoreApplication::instance()->installEventFilter(this);

    // Stored start-up position: the middle of the screen.
    Appearance::centreOnScreen(*this);
}

Form1::~Form1()
{
    closeRequests_.reset();
    store_.setIdleObserver({});
    delete form2_.data(); // loaded and never closed
}

Form2& Form1::results()
{
    if (!form2_) {
        form2_ = new Form2(programFolder_, this);
        form2_->Form_Load();
    }
    return *form2_;
}

void Form1::stepFontSize(double points)
{
    // Sizes are stepped in four-decimal fixed point, from the size the box
    // reports, and kept within limits Qt can draw (it refuses zero and less).
    const auto size = std::llround(RichTextBox1->fontSize() * 10000) + std::llround(points * 10000);
    RichTextBox1->setFontSize(std::clamp(size / 10000.0, smallestFontSize, largestFontSize));
}

void Form1::PushButton2_Click()
{
    Steps step(u"Form1", u"PushButton2_Click", this);
    step(100, [&] { stepFontSize(-1); });
}

void Form1::PushButton5_Click()
{
    Steps step(u"Form1", u"PushButton5_Click", this);
    step(100, [&] { stepFontSize(+1); });
}

void Form1::closeEvent(QCloseEvent* event)
{
    if (closing_.mainRequested() != CloseState::Outcome::Closes)
        return event->ignore();
    Form_QueryUnload();
    event->accept();
    Form_Unload();
}

bool Form1::eventFilter(QObject* watched, QEvent* event)
{
    if (watched != QCoreApplication::instance() || event->type() != QEvent::Quit || !isVisible())
        return QWidget::eventFilter(watched, event);
    event->setAccepted(close());
    return true;
}

void Form1::PushButton3_Click()
{
    Steps step(u"Form1", u"PushButton3_Click", this);
    step(100, [&] {
        Form3 stories(store_, programFolder_, this, &closing_);
        stories_ = &stories;
        stories.exec();
    });
}
