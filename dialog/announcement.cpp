#include "announcement.h"

#include <QAccessible>
#include <QWidget>

// Qt 6.8 has announcements, which it hands to each platform's screen
// readers in their own way; before it, each platform has its own file.
#if QT_VERSION >= QT_VERSION_CHECK(6, 8, 0)
void announce(QWidget *source, const QString &news)
{
    if (news.isEmpty())
        return;
    QAccessibleAnnouncementEvent event(source, news);
    QAccessible::updateAccessibility(&event);
}
#endif
