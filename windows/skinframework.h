#pragma once

#include <QObject>
#include <QString>
#include <QVariant>
#include <QVariantList>

// The main window's skin component. Callers reach its members by number, as
// they always have:
//   2  method   load the skin: the skin file's path, then an ini name ("")
//   1  property option flags (a 32-bit integer)
//   5  property colours: true lets the skin colour the window
//  10  property kept for callers that set it; this component has no use for it
//   3  method   apply the loaded skin to the window with this handle
// A skin file holds a Qt style sheet. Loading refuses a file that cannot be
// read or does not parse, so a bad skin never half-applies.
class SkinFramework final : public QObject
{
    Q_OBJECT
    Q_DISABLE_COPY_MOVE(SkinFramework)

public:
    explicit SkinFramework(QObject* parent = nullptr) : QObject(parent) {}

    // Each throws std::runtime_error with a description of what went wrong.
    QVariant call(int member, const QVariantList& arguments);
    QVariant get(int member) const;
    void put(int member, const QVariant& value);

    QString styleSheet() const { return styleSheet_; }

    // True when `sheet` parses as a Qt style sheet.
    static bool parses(const QString& sheet);

private:
    void load(const QString& path);
    void applyTo(quintptr handle) const;

    QString styleSheet_;
    bool loaded_ = false;
    qint32 options_ = 0;
    bool colours_ = false;
    bool member10_ = false;
};
