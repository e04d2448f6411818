#include "announcement.h"

#include <QAccessible>
#include <QComboBox>
#include <QCoreApplication>

#include <array>

#if QT_VERSION < QT_VERSION_CHECK(6, 8, 0)

namespace {
// Before Qt 6.8 there are no announcements. What screen readers speak
// unasked is a notification that shows up: each piece of news is one, a
// windowless object of the application's, never a widget of the window.
class Notification : public QAccessibleInterface
{
public:
    bool isValid() const override { return true; }
    QObject *object() const override { return nullptr; }
    QWindow *window() const override { return nullptr; }
    QAccessibleInterface *childAt(int, int) const override { return nullptr; }
    QAccessibleInterface *parent() const override
    {
        return QAccessible::queryAccessibleInterface(QCoreApplication::instance());
    }
    QAccessibleInterface *child(int) const override { return nullptr; }
    int childCount() const override { return 0; }
    int indexOfChild(const QAccessibleInterface *) const override { return -1; }
    QString text(QAccessible::Text t) const override
    {
        return t == QAccessible::Name ? m_news : QString();
    }
    void setText(QAccessible::Text, const QString &) override { }
    QRect rect() const override { return {}; }
    QAccessible::Role role() const override { return QAccessible::Notification; }
    QAccessible::State state() const override { return {}; }

    void setNews(const QString &news) { m_news = news; }

private:
    QString m_news;
};

// A screen reader reads a notification's text after it was told of it: a
// few in turn keep each one's text until it has been read. Registered, they
// belong to Qt's accessibility cache, which deletes them at exit.
Notification *nextNotification()
{
    static std::array<QAccessible::Id, 8> ids = {};
    static std::size_t next = 0;
    QAccessible::Id &id = ids[next];
    next = (next + 1) % ids.size();
    if (!id || !QAccessible::accessibleInterface(id))
        id = QAccessible::registerAccessibleInterface(new Notification);
    return static_cast<Notification *>(QAccessible::accessibleInterface(id));
}
} // namespace

void announce(QWidget *, const QString &news)
{
    if (news.isEmpty())
        return;
    Notification *notification = nextNotification();
    notification->setNews(news);
    QAccessibleEvent event(notification, QAccessible::ObjectShow);
    QAccessible::updateAccessibility(&event);
}

#endif

void announceChoice(QComboBox *list)
{
#if QT_VERSION < QT_VERSION_CHECK(6, 5, 0)
    // Qt offers a combo box's chosen item to AT-SPI as the item its
    // selection holds, and before Qt 6.5 it offers no selection: Orca 43
    // then says the list's caption alone as the focus comes, and nothing as
    // the arrow keys change the item. It says a description after the
    // caption, and news. Orca 48 finds the item in the list's name, and
    // says the changed list again itself: there a changed port is heard
    // twice, which is better than never.
    list->setAccessibleDescription(list->currentText());
    QObject::connect(
            list, &QComboBox::currentTextChanged, list, &QComboBox::setAccessibleDescription);
    QObject::connect(list, &QComboBox::textActivated, list,
            [list](const QString &item) { announce(list, item); });
#else
    // The selection says it, and anything more has Orca 48 say the list
    // again with the item it had before.
    Q_UNUSED(list);
#endif
}
