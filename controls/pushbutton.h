#pragma once

#include <QPushButton>
#include <QString>

// The push button of every window. Its caption reads back exactly as it was
// set (an "&" is shown, never taken as a mnemonic), because the stories window
// decides its mode by comparing captions.
class PushButton final : public QPushButton
{
    Q_OBJECT
    Q_DISABLE_COPY_MOVE(PushButton)

public:
    explicit PushButton(const QString& caption, QWidget* parent = nullptr);

    QString caption() const { return caption_; }
    void setCaption(const QString& caption);

private:
    QString caption_;
};
