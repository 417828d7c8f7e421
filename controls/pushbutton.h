#pragma once

#include <QPushButton>
#include <QString>

// The push button of every window. Its caption reads back exactly as it was
// set (an "&" is shown, never taken as a mnemonic), because the stories window
// decides its mode by comparing captions.
//
// Return and keypad Enter press the focused button just as Space does: down
// while the key is held, one click when it is let go. The button is never a
// dialog's default, so Return in a text box stays a line break.
class PushButton final : public QPushButton
{
    Q_OBJECT
    Q_DISABLE_COPY_MOVE(PushButton)

public:
    explicit PushButton(const QString& caption, QWidget* parent = nullptr);

    QString caption() const { return caption_; }
    void setCaption(const QString& caption);

protected:
    void keyPressEvent(QKeyEvent* event) override;
    void keyReleaseEvent(QKeyEvent* event) override;

private:
    QString caption_;
};
