#include "report/apptitle.h"

namespace AppTitle {
namespace {
QString current;
}

QString shortTitle(QStringView name)
{
    // A name without a blank has no word to lose; it is kept whole.
    do {
        const qsizetype blank = name.lastIndexOf(u' ');
        if (blank < 0)
            break;
        name = name.first(blank);
    } while (name.size() > 40);
    return name.toString();
}

void setAppTitle()
{
    current = shortTitle(productName);
}

QString appTitle()
{
    return current;
}

} // namespace AppTitle
