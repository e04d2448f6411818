#include "announcement.h"

#include <QAccessible>
#include <QComboBox>

#if QT_VERSION < QT_VERSION_CHECK(6, 8, 0)
// Qt hands a widget's new value, given as text, to UI Automation as a
// notification, which Narrator and NVDA speak wherever the focus is (on a
// Windows older than 10 1709, as a change of the widget's value). The
// widget's own value, if it has one, is left as it is.
void announce(QWidget *source, const QString &news)
{
    if (news.isEmpty())
        return;
    QAccessibleValueChangeEvent event(source, news);
    QAccessible::updateAccessibility(&event);
}
#endif

// UI Automation offers a combo box's chosen item as its value, which screen
// readers say with its name, and Qt tells of each new one as news: anything
// more would be said twice.
void announceChoice(QComboBox *) { }
