#include "announcement.h"
#include "announcement_p.h"

#include <QAccessible>
#include <QComboBox>
#include <QCoreApplication>
#include <QMessageBox>
#include <QTextDocument>
#include <QTextDocumentFragment>

#include <array>

#if QT_VERSION < QT_VERSION_CHECK(6, 8, 0)

namespace {
// Before Qt 6.8 there are no announcements. What screen readers speak
// unasked is a notification that shows up: each piece of news is one, a
// windowless object of the application's, never a widget of the window.
class Notification : public QAccessibleInterface
{
public:
    explicit Notification(const QString &news)
        : m_news(news)
    { }

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

private:
    QString m_news;
};
} // namespace

// A screen reader reads a notification's text after it was told of it, and
// may keep what it read of an object: each piece of news is a new one, and
// the oldest of a few goes as it comes. Registered, they belong to Qt's
// accessibility cache, which deletes those left at exit.
//
// The id, and with it the object's path on the bus, must be one no object
// had before. Qt hands out again the id of the object registered last once
// that object is gone, such as a list of the file chooser just closed, and
// the screen reader still holds that object's role for the path: Orca 48
// took a run's news for a list and left it unsaid. So a stand-in takes that
// id first, the notification gets the next, never used, and the stand-in
// goes.
void sayNews(QWidget *, const QString &news)
{
    static std::array<QAccessible::Id, 8> ids = {};
    static std::size_t oldest = 0;
    const QAccessible::Id standIn = QAccessible::registerAccessibleInterface(new Notification({}));
    auto *notification = new Notification(news);
    const QAccessible::Id id = QAccessible::registerAccessibleInterface(notification);
    QAccessible::deleteAccessibleInterface(standIn);
    if (ids[oldest] && QAccessible::accessibleInterface(ids[oldest]))
        QAccessible::deleteAccessibleInterface(ids[oldest]);
    ids[oldest] = id;
    oldest = (oldest + 1) % ids.size();
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

void nameMessageBox(QMessageBox *box)
{
    // Orca 48 reads a box by its name and the texts in it, but leaves out a
    // text of fewer than three words, taking it for a control's caption:
    // without a name it says "Programming SUCCESSFUL" of neither box. Orca
    // 43 leaves out the text that is the box's name, and says the name.
    const QString text = box->text();
    box->setAccessibleName(
            Qt::mightBeRichText(text) ? QTextDocumentFragment::fromHtml(text).toPlainText() : text);
    sayPendingNews();
}
