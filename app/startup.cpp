#include "app/startup.h"

#include "windows/form1.h"

#include <QApplication>

namespace Startup {

int run(const QString& programFolder)
{
    Form1 form(programFolder);
    if (!form.Form_Load())
        return 0;
    form.show();
    return QApplication::exec();
}

} // namespace Startup
