#include "controls/pushbutton.h"

PushButton::PushButton(const QString& caption, QWidget* parent) : QPushButton(parent)
{
    setAutoDefault(false);
    setCaption(caption);
}

void PushButton::setCaption(const QString& caption)
{
    caption_ = caption;
    QString shown = caption;
    setText(shown.replace(u'&', QLatin1String("&&")));
    setAccessibleName(caption);
}
