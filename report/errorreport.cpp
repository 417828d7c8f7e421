#include "report/errorreport.h"

#include "report/messagebox.h"

#include <new>
#include <stdexcept>

namespace ErrorReport {

QString location(QStringView window, QStringView procedure)
{
    return QStringLiteral("in Quillrace2021/08/31.") + window.toString() + u'.' +
           procedure.toString() + u' ';
}

QString message(const QString& description, const QString& location, int line)
{
    return description + QStringLiteral("\r\n") + location + QStringLiteral("at line ") +
           QString::number(line) + QStringLiteral("\r\r") +
           QStringLiteral("Please email screenshot of this message to ") +
           supportAddress.toString();
}

QString describe(const std::exception_ptr& failure)
{
    try {
        std::rethrow_exception(failure);
    } catch (const std::bad_alloc&) {
        return QStringLiteral("Out of memory");
    } catch (const std::exception& e) {
        return QString::fromUtf8(e.what());
    } catch (...) {
        return QStringLiteral("Unknown failure");
    }
}

} // namespace ErrorReport

void reportError(const QString& description, const QString& location, int line,
                 const QWidget* owner)
{
    MessageBox::show({ErrorReport::message(description, location, line),
                      QStringLiteral("Application Error"), QMessageBox::Warning, QMessageBox::Ok,
                      QMessageBox::Ok, owner});
}

void Steps::report(const std::exception_ptr& failure) const noexcept
{
    reportError(ErrorReport::describe(failure), location_, currentLine_, owner_);
}
