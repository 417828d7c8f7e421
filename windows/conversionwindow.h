#pragma once

#include "library/accessconversion.h"

#include <QDialog>
#include <QString>
#include <QTimer>

#include <chrono>

class PushButton;
class QLabel;
class QProgressBar;

// Says that the library is being converted from Microsoft Access, counting the
// stories read, or that another copy of the program converts it; with Cancel.
// It belongs to no other window: it comes before the main window is shown. It
// shows itself only when the conversion has not ended after `delay`, and goes
// with the object, which the conversion's end destroys.
class ConversionWindow final : public QDialog
{
    Q_OBJECT
    Q_DISABLE_COPY_MOVE(ConversionWindow)

public:
    static constexpr std::chrono::milliseconds delay{500};

    explicit ConversionWindow(const QString& libraryName);
    ~ConversionWindow() override;

    void tell(const AccessConversion::Progress& progress);
    // Cancel was pressed, or the window asked to close.
    bool cancelled() const { return cancelled_; }

protected:
    void closeEvent(QCloseEvent* event) override;
    void reject() override; // Escape

private:
    void cancel();

    QString libraryName_;
    QLabel* text_;
    QProgressBar* bar_;
    PushButton* cancel_;
    QTimer shower_;
    bool cancelled_ = false;
};
