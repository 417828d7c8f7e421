#pragma once

#include <QObject>
#include <QString>
#include <QVariant>
#include <QVariantList>

// The main window's skin component. Callers reach its members by number, each
// number named by Member.
// A skin file holds a Qt style sheet. Loading refuses a file that cannot be
// read or does not parse, so a bad skin never half-applies.
class SkinFramework final : public QObject
{
    Q_OBJECT
    Q_DISABLE_COPY_MOVE(SkinFramework)

public:
    enum Member : int {
        Options = 1,     // property: option flags (a 32-bit integer)
        LoadSkin = 2,    // method: the skin file's path, then an ini name ("")
        ApplyWindow = 3, // method: apply the loaded skin to the window with this handle
        Colours = 5,     // property: true lets the skin colour the window
        Member10 = 10,   // property kept for callers that set it; of no use here
    };

    explicit SkinFramework(QObject* parent = nullptr) : QObject(parent) {}

    // Each throws std::runtime_error with a description of what went wrong; a
    // number that names no member of its kind fails as unsupported.
    QVariant call(Member member, const QVariantList& arguments);
    QVariant get(Member member) const;
    void put(Member member, const QVariant& value);

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
