#include "announcement.h"
#include "announcement_p.h"

#include <QAccessible>
#include <QPointer>
#include <QStringList>
#include <QTimer>
#include <QWidget>

namespace {
// Orca drops news that comes within a tenth of a second of other news from
// the same program, taking it for a flood, and a run brings its status and
// its animation at once: news that close together is said as one.
class PendingNews : public QObject
{
public:
    explicit PendingNews(QObject *parent)
        : QObject(parent)
    {
        m_timer.setSingleShot(true);
        m_timer.setInterval(150);
        connect(&m_timer, &QTimer::timeout, this, &PendingNews::say);
    }

    void add(QWidget *source, const QString &news)
    {
        if (m_news.isEmpty()) {
            m_source = source;
        } else if (!m_news.last().endsWith(QLatin1Char('.'))
                && !m_news.last().endsWith(QLatin1Char('!'))) {
            // Said as sentences, one after the other.
            m_news.last() += QLatin1Char('.');
        }
        m_news << news;
        if (!m_timer.isActive())
            m_timer.start();
    }

    void say()
    {
        if (m_source && !m_news.isEmpty())
            sayNews(m_source, m_news.join(QLatin1Char(' ')));
        m_news.clear();
        m_timer.stop();
    }

private:
    QPointer<QWidget> m_source;
    QStringList m_news;
    QTimer m_timer;
};

// One for the window, which goes with it.
QPointer<PendingNews> pending;
} // namespace

void announce(QWidget *source, const QString &news)
{
    if (news.isEmpty())
        return;
    if (!pending)
        pending = new PendingNews(source->window());
    pending->add(source, news);
}

void sayPendingNews()
{
    if (pending)
        pending->say();
}

#if QT_VERSION >= QT_VERSION_CHECK(6, 8, 0)
// Qt 6.8 has announcements, which it hands to each platform's screen
// readers in their own way; before it, each platform has its own way.
void sayNews(QWidget *source, const QString &news)
{
    QAccessibleAnnouncementEvent event(source, news);
    QAccessible::updateAccessibility(&event);
}
#endif
