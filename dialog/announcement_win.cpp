#include "announcement.h"
#include "announcement_p.h"

#include <QAccessible>
#include <QComboBox>

#if QT_VERSION < QT_VERSION_CHECK(6, 8, 0)
// Qt hands a widget's new value, given as text, to UI Automation as a
// notification, which Narrator and NVDA speak wherever the focus is (on a
// Windows older than 10 1709, as a change of the widget's value). The
// widget's own value, if it has one, is left as it is.
void sayNews(QWidget *source, const QString &news)
{
    QAccessibleValueChangeEvent event(source, news);
    QAccessible::updateAccessibility(&event);
}
#endif

// UI Automation offers a combo box's chosen item as its value, which screen
// readers say with its name, and Qt tells of each new one as news: anything
// more would be said twice.
void announceChoice(QComboBox *) { }

// Screen readers read a dialog's texts themselves, and name it after its
// title: another name would be said besides. The news before it comes first.
void nameMessageBox(QMessageBox *)
{
    sayPendingNews();
}
