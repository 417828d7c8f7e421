#pragma once

#include <QString>

#include <exception>
#include <utility>

class QWidget;

// The one failure report of the program, and the numbered steps that use it.
//
// A handler that does real work names its window and procedure once and runs
// its steps with their line numbers:
//
//     Steps step(u"Form1", u"PushButton1_Click", this);
//     step(100, [&] { PushButton1->setEnabled(false); });
//     if (step.test(114, [&] { return RichTextBox2->text().isEmpty(); }))
//         return;
//
// A step that throws is reported ("Application Error" box) with its line, and
// the handler goes on with the next step. A failure anywhere below a step (the
// store, the comparison, an appearance routine) surfaces at that step's line.
//
// The rule for everything Qt calls: a handler with no report of its own never
// throws into Qt. An exception unwinding through a signal's dispatch or an
// event handler is undefined behaviour, so every entry point that a signal,
// a timer or an event reaches either runs its work in Steps or cannot throw.

namespace ErrorReport {

// Support address named in the last line of every report.
inline constexpr QStringView supportAddress = u"support@quillrace.example";

// "in Quillrace2021/08/31.<window>.<procedure> "
QString location(QStringView window, QStringView procedure);

// The report's text: description, CR LF, location, "at line ", the line, CR CR,
// and the request for a screenshot.
QString message(const QString& description, const QString& location, int line);

// The description a caught failure gives for itself.
QString describe(const std::exception_ptr& failure);

} // namespace ErrorReport

// Shows the report in a box titled "Application Error" (warning icon, OK), over
// the owner's window, and returns when the user has closed it.
void reportError(const QString& description, const QString& location, int line,
                 const QWidget* owner);

class Steps
{
public:
    // `owner` is the window the procedure belongs to; its reports show over it.
    Steps(QStringView window, QStringView procedure, const QWidget* owner)
        : location_(ErrorReport::location(window, procedure)), owner_(owner)
    {}

    // Runs one numbered step; a failure is reported and swallowed.
    template <class Step> void operator()(int line, Step&& step)
    {
        currentLine_ = line;
        try {
            std::forward<Step>(step)();
        } catch (...) {
            report(std::current_exception());
        }
    }

    // A numbered condition. When the test itself fails, the report is shown
    // and the steps it governs run as if it had held: the result is true.
    template <class Test> bool test(int line, Test&& condition)
    {
        currentLine_ = line;
        try {
            return std::forward<Test>(condition)();
        } catch (...) {
            report(std::current_exception());
            return true;
        }
    }

private:
    // A report that itself fails ends the program rather than reach Qt.
    void report(const std::exception_ptr& failure) const noexcept;

    QString location_;
    const QWidget* owner_;
    int currentLine_ = 0;
};
